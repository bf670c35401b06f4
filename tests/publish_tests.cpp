// The publishing tool: its lists read back, with the control's own rules, as exactly the
// entries described; its refusals, warnings and exit codes; the version reader on real
// and broken modules.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <utime.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/list_format.h"
#include "trust/list_acceptance.h"
#include "trust/list_signature.h"
#include "tools/publish/list_signing.h"
#include "tools/publish/pe_version.h"
#include "tools/publish/release.h"
#include "tools/publish/report_stats.h"

namespace {

const LeadByteTable& Cp949()
{
    static const LeadByteTable table = LeadByteTable::FromRange(0x81, 0xFE);
    return table;
}

// A whole file of the Windows build's output.
std::string BuiltFile(const std::string& folder, const std::string& name)
{
    std::ifstream in(folder + "/" + name, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string Fixture(const std::string& name) { return BuiltFile(VEXA_FIXTURES, name); }

std::string Key(const std::string& name) { return BuiltFile(VEXA_TEST_KEYS, name); }

// 2026-12-01 01:30:00 UTC: 10:30 in Seoul, 20:30 the day before in New York.
constexpr long long kModified = 1796088600;

struct Expected {
    std::string target;  // code page 949
    std::string version;
    int size;
    std::string time;    // digits only
    bool reg, atFirst, run, runSilent;
};

std::vector<Expected> ReadBack(const std::string& list, std::string* install)
{
    std::vector<Expected> entries;
    ListLineReader reader(list, Cp949());
    ListSection section;
    std::string_view line;
    while (reader.Next(&section, &line)) {
        if (section == ListSection::Folders) {
            *install = std::string(FolderLineValue(line, Cp949()));
            continue;
        }
        const EntryFields f = SplitEntryLine(line, Cp949());
        entries.push_back({f.targetPath, f.version, f.fileSize, f.fileTime, f.registerFlag, f.atFirst, f.run, f.runSilent});
    }
    return entries;
}

std::string Cp(const std::string& utf8)
{
    std::string out;
    EXPECT_TRUE(ToCp949(utf8, &out));
    return out;
}

TEST(PublishList, ReadsBackAsExactlyTheDescribedEntries)
{
    const std::string module = Fixture("versioned_2_1_65535_40000.exe");
    ASSERT_FALSE(module.empty()) << "the PE fixtures are built (" << VEXA_FIXTURES << ")";
    ReleaseDescription release;
    std::string error;
    ASSERT_TRUE(ParseDescription("# sample\n"
                                 "install = %Program Files%\\VexaPay\n"
                                 "VexaPay.exe = %App Path%\\VexaPay.exe ; RUNSILENT\n"
                                 "VexaSign.dll = %System%\\VexaSign.dll ; REG\n"
                                 "Old.dll = %System%\\Old.dll ; UNREG NOVERSION\n"
                                 "readme.txt = %App Path%\\문서\\readme.txt ; ATFIRST\n"
                                 "tool.exe = %App Path%\\tool.exe ; RUN\n",
                                 &release, &error))
        << error;
    const std::vector<ReleaseFacts> facts = {
        {module, kModified}, {Fixture("versioned_1_0_3_2.dll"), kModified}, {Fixture("versioned_1_0_9_0.dll"), kModified},
        {"hello", kModified}, {Fixture("unversioned.dll"), kModified},
    };
    struct Zone {
        const char* zone;
        const char* time;
    };
    for (const Zone z : {Zone{"Asia/Seoul", "20261201103000"}, Zone{"America/New_York", "20261130203000"}}) {
        SCOPED_TRACE(z.zone);
        const ListResult list = BuildList(release, facts, z.zone);
        EXPECT_TRUE(list.refusals.empty()) << list.refusals.front();
        std::string install;
        const std::vector<Expected> got = ReadBack(list.list, &install);
        EXPECT_EQ(install, "%Program Files%\\VexaPay") << "the install folder";
        const Expected want[] = {
            {"%App Path%\\VexaPay.exe", "2.1.65535.40000", static_cast<int>(module.size()), z.time, false, false, false, true},
            {"%System%\\VexaSign.dll", "1.0.3.2", static_cast<int>(facts[1].bytes.size()), z.time, true, false, false, false},
            {"%System%\\Old.dll", "", static_cast<int>(facts[2].bytes.size()), z.time, true, false, false, false},
            {Cp("%App Path%\\문서\\readme.txt"), "", 5, z.time, false, true, false, false},
            {"%App Path%\\tool.exe", "", static_cast<int>(facts[4].bytes.size()), z.time, false, false, true, false},
        };
        ASSERT_EQ(got.size(), 5u) << "five entries";
        for (size_t i = 0; i < 5; ++i) {
            SCOPED_TRACE(want[i].target);
            EXPECT_EQ(got[i].target, want[i].target) << "target";
            EXPECT_EQ(got[i].version, want[i].version) << "version";
            EXPECT_EQ(got[i].size, want[i].size) << "size";
            EXPECT_EQ(got[i].time, want[i].time) << "time in the users' zone";
            EXPECT_EQ(std::vector<bool>({got[i].reg, got[i].atFirst, got[i].run, got[i].runSilent}),
                      std::vector<bool>({want[i].reg, want[i].atFirst, want[i].run, want[i].runSilent}))
                << "REG, ATFIRST, RUN, RUNSILENT";
        }
        EXPECT_NE(list.list.find("\r\n"), std::string::npos) << "CR LF line ends";
        ASSERT_EQ(list.warnings.size(), 1u) << "only the module without a version is warned about";
        EXPECT_NE(list.warnings[0].find("tool.exe"), std::string::npos);
    }
}

TEST(PublishList, RefusesWhatTheFormatCannotCarryAndWarnsAboutWhatItMisreads)
{
    struct Case {
        std::string line;
        const char* refusal;  // part of the refusal; null: none
        const char* warning;  // part of the warning; null: none
    };
    const std::string longName = std::string(250, 'n') + ".dll";
    const Case cases[] = {
        {"a.dll = %System%\\a|b\\a.dll", "holds a \"|\"", nullptr},
        {longName + " = %System%\\" + longName, "at most 259", nullptr},
        {"a.dll = %System%\\b.dll", "name the release file the same", nullptr},
        {"a.dll = #tmp\\a.dll", "comment", nullptr},
        {"a.dll = %System%\\a.dll ; RUN RUNSILENT", "RUN and RUNSILENT together", nullptr},
        {"a.dll = %System%\\a.dll ; REG UNREG", "REG and UNREG together", nullptr},
        {"a.dll = %System%\\a.dll ; REGISTER", "unknown flag \"REGISTER\"", nullptr},
        {"a.dll = %System%\\\xE2\x98\x83\\a.dll", "code page 949 cannot hold", nullptr},
        {"a.dll = %App Path%\\RUNTIME\\a.dll", nullptr, "RUN flag from \"RUN\" in the path"},
        {"a.dll = %App Path%\\run\\a.dll", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ReleaseDescription release;
        std::string error;
        ASSERT_TRUE(ParseDescription(c.line + "\n", &release, &error)) << error;
        const std::vector<ReleaseFacts> facts(release.files.size(), ReleaseFacts{"data", kModified});
        const ListResult list = BuildList(release, facts, "Asia/Seoul");
        if (c.refusal) {
            ASSERT_EQ(list.refusals.size(), 1u) << "refused";
            EXPECT_NE(list.refusals[0].find(c.refusal), std::string::npos) << list.refusals[0];
            EXPECT_NE(list.refusals[0].find("line 1"), std::string::npos) << "names the line";
        } else {
            EXPECT_TRUE(list.refusals.empty()) << list.refusals.front();
        }
        bool warned = false;
        for (const std::string& w : list.warnings)
            warned |= c.warning && w.find(c.warning) != std::string::npos;
        EXPECT_EQ(warned, c.warning != nullptr) << "the warning";
    }
    ReleaseDescription twice;
    std::string error;
    ASSERT_TRUE(ParseDescription("a.dll = %System%\\a.dll\na.dll = %System%\\a.dll\n", &twice, &error));
    const ListResult list = BuildList(twice, {{"x", kModified}, {"x", kModified}}, "Asia/Seoul");
    ASSERT_EQ(list.refusals.size(), 1u);
    EXPECT_NE(list.refusals[0].find("line 2"), std::string::npos) << "the second entry for one target: " << list.refusals[0];
}

TEST(PublishList, MalformedDescriptionsAreRefusedWithTheirLine)
{
    struct Case {
        const char* text;
        const char* error;
    };
    for (const Case c : {Case{"", "names no file"}, Case{"# only a comment\n", "names no file"},
                         Case{"a.dll\n", "line 1: expected"}, Case{"\n\na.dll =\n", "line 3: a file and its target"},
                         Case{" = %System%\\a.dll\n", "line 1: a file and its target"}}) {
        ReleaseDescription release;
        std::string error;
        EXPECT_FALSE(ParseDescription(c.text, &release, &error)) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

TEST(PublishList, EveryEntryCarriesItsFilesDigestUnlessAskedNotTo)
{
    struct Vector {
        std::string bytes;
        const char* digest;
    };
    // The published test vectors (FIPS 180-2), and lengths around the padding's edges.
    const Vector vectors[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    ReleaseDescription release;
    std::string error;
    ASSERT_TRUE(ParseDescription("e.txt = %App Path%\\e.txt\nabc.txt = %App Path%\\abc.txt ; RUN\n"
                                 "n.txt = %App Path%\\n.txt\nm.txt = %App Path%\\m.txt ; REG\n",
                                 &release, &error));
    std::vector<ReleaseFacts> facts;
    for (const Vector& v : vectors)
        facts.push_back({v.bytes, kModified});
    for (bool digests : {true, false}) {
        const ListResult list = BuildList(release, facts, "Asia/Seoul", digests);
        ASSERT_TRUE(list.refusals.empty()) << list.refusals.front();
        ListLineReader reader(list.list, Cp949());
        ListSection section;
        std::string_view line;
        size_t i = 0;
        while (reader.Next(&section, &line) && i < 4) {
            const EntryFields f = SplitEntryLine(line, Cp949());
            EXPECT_EQ(f.sha256, digests ? vectors[i].digest : "") << "entry " << i << (digests ? "" : " without digests");
            EXPECT_EQ(f.run, i == 1) << "the word sets no flag of its own: entry " << i;
            EXPECT_EQ(f.registerFlag, i == 3) << "entry " << i;
            ++i;
        }
        EXPECT_EQ(i, 4u);
    }
}

TEST(PeVersion, ReadsModulesAndRefusesWhatIsNotOne)
{
    struct Case {
        std::string bytes;
        const char* version;  // null: refused
        const char* what;
    };
    const std::string good = Fixture("versioned_1_0_3_2.dll");
    ASSERT_FALSE(good.empty()) << "the PE fixtures are built";
    const Case cases[] = {
        {good, "1.0.3.2", "a DLL"},
        {Fixture("versioned_1_0_3_0.ocx"), "1.0.3.0", "an OCX"},
        {Fixture("recorder.exe"), nullptr, "a program without resources"},
        {Fixture("unversioned.dll"), nullptr, "a module without a version resource"},
        {Fixture("fixed_info_missing.dll"), nullptr, "a version resource without its fixed part"},
        {"hello", nullptr, "text"},
        {"MZ", nullptr, "a bare MZ"},
        {good.substr(0, 1024), nullptr, "a module cut short"},
    };
    for (const Case& c : cases) {
        std::string version, error;
        EXPECT_EQ(ReadPeFileVersion(c.bytes, &version, &error), c.version != nullptr) << c.what << ": " << error;
        if (c.version) {
            EXPECT_EQ(version, c.version) << c.what;
        } else {
            EXPECT_FALSE(error.empty()) << "says why: " << c.what;
        }
    }
}

// The command line, as the people who publish run it.
int RunPublish(const std::string& arguments, std::string* out = nullptr)
{
    const std::string capture = ::testing::TempDir() + "publish-out.txt";
    const int status = std::system((std::string(VEXA_PUBLISH) + " " + arguments + " >" + capture + " 2>&1").c_str());
    if (out) {
        std::ifstream in(capture);
        std::ostringstream all;
        all << in.rdbuf();
        *out = all.str();
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(PublishCommand, ExitCodesAndMessages)
{
    const std::string dir = ::testing::TempDir() + "publish-cli";
    std::system(("rm -rf " + dir + " && mkdir -p " + dir + "/release").c_str());
    auto write = [](const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; };
    write(dir + "/release/a.dll", Fixture("versioned_1_0_3_2.dll"));
    write(dir + "/good.txt", "a.dll = %System%\\a.dll ; REG\n");
    write(dir + "/missing.txt", "b.dll = %System%\\b.dll\n");
    write(dir + "/refused.txt", "a.dll = %System%\\x|a.dll\n");
    write(dir + "/broken.txt", "a.dll\n");
    struct Case {
        std::string arguments;
        int code;
        const char* says;
    };
    const Case cases[] = {
        {"--help", 0, "Exit codes"},
        {"--help", 0, "--no-sha256"},
        {"", 1, "a description and a release folder are needed"},
        {"--bogus x y", 1, "unknown option"},
        {dir + "/good.txt " + dir + "/release extra", 1, "one description"},
        {dir + "/none.txt " + dir + "/release", 2, "cannot read"},
        {dir + "/broken.txt " + dir + "/release", 2, "line 1"},
        {dir + "/missing.txt " + dir + "/release", 3, "cannot read the release file"},
        {dir + "/refused.txt " + dir + "/release", 4, "refused"},
        {"--output " + dir + "/no/such/list.txt " + dir + "/good.txt " + dir + "/release", 5, "cannot write"},
        {"--output " + dir + "/list.txt " + dir + "/good.txt " + dir + "/release", 0, ""},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(RunPublish(c.arguments, &out), c.code) << c.arguments << "\n" << out;
        EXPECT_NE(out.find(c.says), std::string::npos) << c.arguments << "\n" << out;
    }
    std::ifstream list(dir + "/list.txt", std::ios::binary);
    std::ostringstream all;
    all << list.rdbuf();
    EXPECT_NE(all.str().find("%System%\\a.dll|1.0.3.2|"), std::string::npos) << "the written list: " << all.str();
    EXPECT_EQ(std::ifstream(dir + "/list.txt.tmp").good(), false) << "no temporary left";
}

// Signing and checking with the control's line rules: what the tool signs verifies, with
// either line end and the signature lines anywhere; any other change, another key or the
// expiry refuses it, with the reason.
TEST(ListSigning, SignsWhatTheParserReadsAndVerifiesItTheSameWay)
{
    const std::string list = "[FILE PATH]\r\nInstall=C:\\app\r\n[UPDATE FILES]\r\n%App Path%\\a.dll||5|\r\n";
    std::string signedList = list, error;
    const ListHeader header = {"VexaUpdater", "", kModified, kModified + 86400, {}, ""};
    ASSERT_TRUE(SignList(&signedList, {Key("test-a.key"), Key("test-b.key")}, header, &error)) << error;
    std::string lf = signedList;
    lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
    const size_t first = signedList.find("#@signature ");
    const std::string signatureLines = signedList.substr(first);
    std::string moved = signedList.substr(0, first);
    moved.insert(moved.find("[UPDATE FILES]"), signatureLines);
    std::string changed = signedList;
    changed[changed.find("||5|") + 2] = '6';
    struct Case {
        std::string list;
        const char* key;
        long long now;
        const char* why;  // empty: verifies
    };
    const Case cases[] = {
        {signedList, "test-a.pem", kModified, ""},
        {signedList, "test-b.pem", kModified, ""},
        {lf, "test-a.pem", kModified, ""},
        {moved, "test-b.pem", kModified, ""},
        {changed, "test-a.pem", kModified, "changed after signing"},
        {signedList, "test-other.pem", kModified, "no signature by key"},
        {signedList, "test-a.pem", kModified + 86400, "expired"},
        {list, "test-a.pem", kModified, "no signature by key"},
    };
    for (const Case& c : cases) {
        std::string why;
        const bool verified = VerifyList(c.list, Key(c.key), c.now, &why);
        EXPECT_EQ(verified, std::string(c.why).empty()) << c.key << ": " << why;
        EXPECT_NE(why.find(c.why), std::string::npos) << "the reason: " << why;
    }
    EXPECT_EQ(SplitSignedList(signedList).signatures.size(), 2u) << "one signature line per key";
    // The identifier as the README defines it, computed by OpenSSL's own command line.
    std::string opensslId;
    if (FILE* digest = popen(("openssl pkey -pubin -in '" + std::string(VEXA_TEST_KEYS) + "/test-a.pem" +
                              "' -outform DER | openssl dgst -sha256 -r").c_str(), "r")) {
        char hex[65] = {};
        if (fread(hex, 1, 64, digest) == 64)
            opensslId.assign(hex, 16);
        pclose(digest);
    }
    ASSERT_EQ(opensslId.size(), 16u) << "openssl computed the key's digest";
    EXPECT_EQ(SplitSignedList(signedList).signatures[0].keyId, opensslId) << "named by its key";
    std::string digits;
    EXPECT_TRUE(ReadListExpiry(SplitSignedList(signedList).signedText, &digits)) << "the expiry is signed";
    EXPECT_EQ(digits, "20261202013000") << "a day after signing, UTC";
    EXPECT_FALSE(SignList(&signedList, {Key("test-a.pem")}, header, &error)) << "a public key cannot sign";
}

// --verify warns a scheduled job before a list expires: exit 3 inside --warn-days, 0 outside.
TEST(ListSigning, VerifyWarnsBeforeTheExpiry)
{
    const long long now = static_cast<long long>(std::time(nullptr));
    std::string list = "[UPDATE FILES]\r\n", error;
    ASSERT_TRUE(SignList(&list, {Key("test-a.key")}, {"VexaUpdater", "", now, now + 10 * 86400 + 3600, {}, ""}, &error)) << error;
    const std::string path = ::testing::TempDir() + "expiring.txt";
    std::ofstream(path, std::ios::binary) << list;
    const std::string verify = "--verify " + std::string(VEXA_TEST_KEYS) + "/test-a.pem ";
    const std::pair<std::string, int> rows[] = {
        {"", 0}, {"--warn-days 10 ", 0}, {"--warn-days 11 ", 3}, {"--warn-days x ", 1}};
    for (const auto& [warn, code] : rows) {
        std::string out;
        EXPECT_EQ(RunPublish(verify + warn + path, &out), code) << warn << out;
        EXPECT_EQ(out.find("10 day(s)") != std::string::npos, code != 1) << "the days left: " << out;
    }
}

// --stats over access log lines: only report GETs count, --since drops older days, codes are
// counted once per run (the first code and the failed files' others).
TEST(ReportStats, CountsTheReportedRunsOfAnAccessLog)
{
    const std::string head = "1.2.3.4 - - [";
    const std::string report = "\"GET /update/report?id=VexaPay&v=1.0.0.7&os=10.0.19045&signed=20261201093000";
    const std::string lines[] = {
        head + "09/Dec/2026:23:59:59 +0000] " + report + "&outcome=failed&code=47&updated=0&failed=1&codes=47 HTTP/1.1\" 200 2",
        head + "10/Dec/2026:01:00:00 +0000] " + report + "&outcome=installed&code=0&updated=2&failed=0&codes= HTTP/1.1\" 404 0",
        head + "10/Dec/2026:02:00:00 +0000] " + report + "&outcome=failed&code=11&updated=1&failed=2&codes=11,47 HTTP/1.1\" 200 2",
        head + "10/Dec/2026:03:00:00 +0000] \"GET /update/list.txt HTTP/1.1\" 200 9",
        head + "10/Dec/2026:04:00:00 +0000] \"GET /update/report?outcome=failed HTTP/1.1\" 200 2",
        "garbage",
    };
    ReportStats all, since;
    for (const std::string& line : lines) {
        CountReportLine(line, "", &all);
        CountReportLine(line, "2026-12-10", &since);
    }
    EXPECT_EQ(all.runs, 3);
    EXPECT_EQ(since.runs, 2) << "the 9th is before --since";
    EXPECT_EQ(ReportStatsText(since), "runs reported: 2\n"
                                      "by outcome\n  1  failed\n  1  installed\n"
                                      "by control version\n  2  1.0.0.7\n"
                                      "by Windows version\n  2  10.0.19045\n"
                                      "top error codes\n  1  11  the server answered 404 for a listed file\n"
                                      "  1  47  a file's bytes are not the ones its SHA256= names\n");
    EXPECT_EQ(all.codes[47], 2) << "one per run that reported it";
}

// What a keyed control takes, given the claims of a list and what it remembers: each row a
// list judged against a memory, and what it leaves remembered.
TEST(ListAcceptance, ListsAreForOneControlNeverOlderAndNeverByARevokedKey)
{
    const std::string a = "aaaaaaaaaaaaaaaa", b = "bbbbbbbbbbbbbbbb", now = "20261210000000";
    const ListClaims plain = {"Acme", "", "20261201000000", "20270101000000", {}, ""};
    ListClaims beta = plain, older = plain, revokesA = plain, expired = plain;
    beta.channel = "beta";
    older.signedAt = "20261130000000";
    revokesA.revokes = {a};
    expired.expires = "20261209000000";
    const ListMemory empty, newest = {"20261201000000", a, {}}, aRevoked = {"", "", {a}};
    const ListMemory futureByA = {"20301231000000", a, {}}, futureByRevokedA = {"20301231000000", a, {a}};
    struct Case {
        std::vector<std::string> signers;
        const ListClaims* claims;
        ListMemory memory;
        std::string name, channel;
        ListVerdict verdict;
        const char* what;
    };
    const Case cases[] = {
        {{a}, &plain, empty, "Acme", "", ListVerdict::Accepted, "the first list"},
        {{a}, &plain, empty, "ACME", "", ListVerdict::Accepted, "names in any case"},
        {{}, &plain, empty, "Acme", "", ListVerdict::Unsigned, "no valid signer"},
        {{a}, nullptr, empty, "Acme", "", ListVerdict::Unsigned, "claims that do not read"},
        {{a}, &plain, empty, "Other", "", ListVerdict::OtherControl, "another identity"},
        {{a}, &beta, empty, "Acme", "", ListVerdict::OtherControl, "another channel than the URL's"},
        {{a}, &plain, empty, "Acme", "beta", ListVerdict::OtherControl, "the default channel at beta.txt"},
        {{a}, &beta, empty, "Acme", "beta", ListVerdict::Accepted, "its own channel"},
        {{a}, &expired, empty, "Acme", "", ListVerdict::Expired, "past its expiry"},
        {{a}, &plain, newest, "Acme", "", ListVerdict::Accepted, "the newest again"},
        {{a}, &older, newest, "Acme", "", ListVerdict::Older, "signed before the newest"},
        {{a}, &plain, aRevoked, "Acme", "", ListVerdict::KeyRevoked, "only by a revoked key"},
        {{a, b}, &plain, aRevoked, "Acme", "", ListVerdict::Accepted, "also by a key not revoked"},
        {{b}, &plain, futureByA, "Acme", "", ListVerdict::Older, "a time set ahead binds while its key stands"},
        {{b}, &revokesA, futureByA, "Acme", "", ListVerdict::Accepted, "the list revoking that key is taken"},
        {{b}, &plain, futureByRevokedA, "Acme", "", ListVerdict::Accepted, "a revoked key's time binds nothing"},
    };
    for (const Case& c : cases) {
        const ListJudgement j = JudgeList(c.signers, c.claims, c.memory, c.name, c.channel, now);
        EXPECT_EQ(j.verdict, c.verdict) << c.what;
        if (j.verdict == ListVerdict::Accepted) {
            EXPECT_EQ(j.memory.newestSigned, c.claims->signedAt) << c.what;
            EXPECT_TRUE(j.memory.newestSigner != a || c.memory.revoked.empty()) << c.what << ": signer not revoked";
        }
    }
    EXPECT_EQ(JudgeList({b}, &revokesA, empty, "Acme", "", now).memory.revoked, std::vector<std::string>{a})
        << "a list's revocations are remembered";
}

// The claims as the control reads them, and the channel a URL asks for.
TEST(ListAcceptance, ClaimsAndChannelsReadStrictly)
{
    const std::string head = "#@signed 2026-12-01T00:00:00Z\n#@expires 2027-01-01T00:00:00Z\n";
    const std::string revoke = "#@revoke 0123456789abcdef\n";
    std::string nineRevokes;
    for (int i = 0; i < 9; ++i)
        nineRevokes += revoke;
    struct Case {
        std::string text;
        bool reads;
        const char* name;
        const char* channel;
    };
    const Case cases[] = {
        {"#@for Acme\n" + head, true, "Acme", ""},
        {"#@for Acme/pay-2_b\n" + head + revoke, true, "Acme", "pay-2_b"},
        {head, false, "", ""},
        {"#@for Acme\n#@for Acme\n" + head, false, "", ""},
        {"#@for 1Acme\n" + head, false, "", ""},
        {"#@for Ac-me\n" + head, false, "", ""},
        {"#@for Acme/\n" + head, false, "", ""},
        {"#@for " + std::string(32, 'A') + "\n" + head, false, "", ""},
        {"#@for Acme\n#@expires 2027-01-01T00:00:00Z\n", false, "", ""},
        {"#@for Acme\n#@signed 2027-02-01T00:00:00Z\n#@expires 2027-01-01T00:00:00Z\n", false, "", ""},
        {"#@for Acme\n" + head + "#@revoke 0123\n", false, "", ""},
        {"#@for Acme\n" + head + nineRevokes, false, "", ""},
        {"#@for Acme\n" + head + "#@report /update/report\n", true, "Acme", ""},
        {"#@for Acme\n" + head + "#@report /a\n#@report /b\n", false, "", ""},
        {"#@for Acme\n" + head + "#@report /a b\n", false, "", ""},
    };
    for (const Case& c : cases) {
        ListClaims claims;
        EXPECT_EQ(ReadListClaims(c.text, &claims), c.reads) << c.text;
        EXPECT_EQ(claims.name, c.name) << c.text;
        EXPECT_EQ(claims.channel, c.channel) << c.text;
    }
    const std::pair<const char*, const char*> urls[] = {
        {"https://pay.example/update/list.txt", ""}, {"https://pay.example/update/LIST.TXT?v=2", ""},
        {"https://pay.example/update/Beta.txt#x", "beta"}, {"https://pay.example/update/beta", "beta"},
        {"https://pay.example/a.b/list.old.txt", "list.old"},
    };
    for (const auto& [url, channel] : urls)
        EXPECT_EQ(ListChannelOfUrl(url), channel) << url;
}

}  // namespace
