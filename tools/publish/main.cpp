// vexa-publish: writes the update list for a release folder. See --help.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "tools/publish/list_signing.h"
#include "tools/publish/module_facts.h"
#include "tools/publish/release.h"
#include "tools/publish/report_stats.h"

namespace {

const char kHelp[] =
    "usage: vexa-publish [--time-zone ZONE] [--output LIST] [--no-sha256]\n"
    "                    [--sign PRIVATE-KEY.pem]... --for NAME[/CHANNEL] [--expires DAYS]\n"
    "                    [--revoke KEY-ID]... [--report URL] [--signed-at YYYY-MM-DDTHH:MM:SSZ]\n"
    "                    DESCRIPTION RELEASE-FOLDER\n"
    "       vexa-publish --verify PUBLIC-KEY.pem [--warn-days N] LIST\n"
    "       vexa-publish --stats [--since YYYY-MM-DD] ACCESS-LOG...\n"
    "       vexa-publish --inspect MODULE\n"
    "       vexa-publish --key-id PUBLIC-KEY.pem\n"
    "\n"
    "Writes the update list that VexaUpdater reads, for the files of RELEASE-FOLDER, as\n"
    "DESCRIPTION says where each one goes. Serve the list and the release folder's files\n"
    "side by side: the control downloads each file as <data URL>/<file name>.\n"
    "\n"
    "DESCRIPTION (UTF-8) has one line per file, and may name the install folder:\n"
    "    # comment\n"
    "    install = %Program Files%\\VexaPay\n"
    "    VexaSign.dll = %System%\\VexaSign.dll ; REG\n"
    "    VexaPay.exe = %App Path%\\VexaPay.exe ; RUNSILENT\n"
    "    readme.txt = %App Path%\\readme.txt ; ATFIRST\n"
    "The file name of each target must be the release file's name. Flags: REG or UNREG\n"
    "(register the installed file), ATFIRST (install only when missing), RUN or RUNSILENT\n"
    "(start it, the latter with /silent), NOVERSION (compare by size and time even when\n"
    "the file has a version resource). Macros: %Windows% %System% %Program Files%\n"
    "%App Path% %AX Path%.\n"
    "\n"
    "Each entry gets the file's version (from its version resource), its size, its\n"
    "modification time in the users' time zone (--time-zone, default Asia/Seoul) and the\n"
    "word SHA256= with the file's digest, which the control checks after each download\n"
    "(--no-sha256 leaves it out; older controls ignore it). The list\n"
    "is written in code page 949 with CR LF line ends (--output, default: standard output),\n"
    "and every entry is read back with the control's own parsing rules before it is kept.\n"
    "\n"
    "--sign KEY.pem signs the list with that RSA private key (2048 to 4096 bits, PEM, as\n"
    "`openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:3072` writes); give it once per\n"
    "key to carry several signatures (key rotation). A signed list names whom it is for,\n"
    "--for NAME (the release identity's name; the control fetches it as list.txt) or\n"
    "NAME/CHANNEL (fetched as CHANNEL.txt), and gets \"#@for\", \"#@signed\" (now, UTC, or\n"
    "--signed-at) and \"#@expires\" lines (UTC, --expires DAYS from now, default 30), one\n"
    "\"#@revoke KEY-ID\" line per --revoke (at most 8), and one \"#@signature\" line per key.\n"
    "--report URL adds \"#@report URL\": after each run from the list, the control (or its\n"
    "helper) sends one GET there with the run's outcome (a URL relative to the list's is\n"
    "taken from it; the control's site lock judges it like every request).\n"
    "A keyed control refuses a list for another name or channel, past its expiry, signed\n"
    "before the newest list it took, or signed only by a key a list it took revoked.\n"
    "--verify PUBLIC.pem LIST checks a list the way a control keyed with that key does (but\n"
    "for no control's memory), prints whom it is for and the days left before it expires, and\n"
    "says why it fails; it exits 3 when fewer than --warn-days N (default 7) remain, so that\n"
    "a scheduled job warns before visitors stop updating.\n"
    "--stats LOG... reads web server access logs (the combined format) and prints, for the\n"
    "runs reported to a list's --report URL, the runs by outcome, by control version and by\n"
    "Windows version, and the top error codes with their meanings; --since limits it to\n"
    "reports from that day on.\n"
    "--inspect MODULE prints what a built control or helper was built with, one fact per\n"
    "line: \"version a.b.c.d\", \"identity name=...;kind=...;progid=...;helper=...;control=...\"\n"
    "(its names and ids), \"site S\" per trusted site and \"key ID\" per list key (none of\n"
    "either: not locked, not keyed). A module that carries a private key is refused (8).\n"
    "--key-id PUBLIC.pem prints the key's identifier as signature lines and --inspect name it.\n"
    "\n"
    "Refused (nothing is written): a \"|\" in a path, a target over 259 bytes, a target whose\n"
    "file name is not the release file's, a target starting with \"#\", a character that\n"
    "code page 949 cannot hold, an unknown or contradictory flag, the same target twice.\n"
    "Warned about (the list is written): \"RUN\" in capitals inside a path, which the control\n"
    "reads as the run flag; a module without a version resource.\n"
    "\n"
    "Exit codes: 0 written (warnings go to standard error), 1 wrong usage, 2 the description\n"
    "cannot be read or is malformed, 3 a release file is missing or unreadable, 4 an entry\n"
    "was refused (with --verify: the list expires within --warn-days), 5 the list cannot be\n"
    "written, 6 the list does not verify (--verify), 7 a key\n"
    "cannot be read or used, 8 not a VexaUpdater module (--inspect).\n";

bool ReadFile(const std::string& path, std::string* bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream all;
    all << in.rdbuf();
    *bytes = all.str();
    return !in.bad();
}

}  // namespace

int main(int argc, char** argv)
{
    std::string zone = "Asia/Seoul", output, description, folder, verifyKey;
    std::vector<std::string> signKeys;
    long long expiresDays = 30;
    ListHeader header;
    header.signedUnix = static_cast<long long>(std::time(nullptr));
    bool forGiven = false;
    long long warnDays = 7;
    bool digests = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kHelp;
            return 0;
        }
        if (arg == "--no-sha256") {
            digests = false;
        } else if (arg == "--sign" && i + 1 < argc) {
            signKeys.push_back(argv[++i]);
        } else if (arg == "--inspect" && i + 1 < argc) {
            std::string bytes, error;
            ModuleFacts facts;
            if (!ReadFile(argv[++i], &bytes)) {
                std::cerr << "vexa-publish: cannot read " << argv[i] << "\n";
                return 3;
            }
            if (!ReadModuleFacts(bytes, &facts, &error)) {
                std::cerr << "vexa-publish: " << argv[i] << ": " << error << "\n";
                return 8;
            }
            std::cout << "version " << facts.version << "\n";
            std::cout << "identity " << facts.identity << "\n";
            for (const std::string& site : facts.sites)
                std::cout << "site " << site << "\n";
            for (const std::string& key : facts.keyIds)
                std::cout << "key " << key << "\n";
            return 0;
        } else if (arg == "--key-id" && i + 1 < argc) {
            std::string pem;
            const std::string id = ReadFile(argv[++i], &pem) ? PublicKeyId(pem) : std::string();
            if (id.empty()) {
                std::cerr << "vexa-publish: " << argv[i] << ": not an RSA public key of 2048 to 4096 bits\n";
                return 7;
            }
            std::cout << id << "\n";
            return 0;
        } else if (arg == "--verify" && i + 1 < argc) {
            verifyKey = argv[++i];
        } else if (arg == "--expires" && i + 1 < argc) {
            char* end = nullptr;
            expiresDays = std::strtoll(argv[++i], &end, 10);
            if (!end || *end || expiresDays < 0 || expiresDays > 3650) {
                std::cerr << "vexa-publish: --expires takes 0 to 3650 days\n";
                return 1;
            }
        } else if (arg == "--stats") {
            // vexa-publish --stats [--since DAY] LOG...: the rest of the line.
            std::string since;
            ReportStats stats;
            int logs = 0;
            for (++i; i < argc; ++i) {
                if (std::string(argv[i]) == "--since" && i + 1 < argc) {
                    since = argv[++i];
                    continue;
                }
                std::ifstream in(argv[i], std::ios::binary);
                if (!in) {
                    std::cerr << "vexa-publish: cannot read " << argv[i] << "\n";
                    return 2;
                }
                ++logs;
                for (std::string line; std::getline(in, line);)
                    CountReportLine(line, since, &stats);
            }
            if (logs == 0) {
                std::cerr << "vexa-publish: --stats takes one or more access logs (see --help)\n";
                return 1;
            }
            std::cout << ReportStatsText(stats);
            return 0;
        } else if (arg == "--warn-days" && i + 1 < argc) {
            char* end = nullptr;
            warnDays = std::strtoll(argv[++i], &end, 10);
            if (!end || *end || warnDays < 0 || warnDays > 3650) {
                std::cerr << "vexa-publish: --warn-days takes 0 to 3650 days\n";
                return 1;
            }
        } else if (arg == "--for" && i + 1 < argc) {
            const std::string whom = argv[++i];
            const size_t slash = whom.find('/');
            header.name = whom.substr(0, slash);
            header.channel = slash == std::string::npos ? std::string() : whom.substr(slash + 1);
            forGiven = true;
        } else if (arg == "--report" && i + 1 < argc) {
            header.report = argv[++i];
        } else if (arg == "--revoke" && i + 1 < argc) {
            header.revokes.push_back(argv[++i]);
            const std::string& id = header.revokes.back();
            if (id.size() != kKeyIdLength || id.find_first_not_of("0123456789abcdef") != std::string::npos) {
                std::cerr << "vexa-publish: --revoke takes a key id (16 lower-case hex digits, --key-id prints it)\n";
                return 1;
            }
        } else if (arg == "--signed-at" && i + 1 < argc) {
            std::tm t = {};
            const char* end = strptime(argv[++i], "%Y-%m-%dT%H:%M:%SZ", &t);
            if (!end || *end) {
                std::cerr << "vexa-publish: --signed-at takes YYYY-MM-DDTHH:MM:SSZ\n";
                return 1;
            }
            header.signedUnix = static_cast<long long>(timegm(&t));
        } else if ((arg == "--time-zone" || arg == "--output") && i + 1 < argc) {
            (arg == "--output" ? output : zone) = argv[++i];
        } else if (!arg.empty() && arg[0] == '-') {
            std::cerr << "vexa-publish: unknown option " << arg << " (see --help)\n";
            return 1;
        } else if (description.empty()) {
            description = arg;
        } else if (folder.empty()) {
            folder = arg;
        } else {
            std::cerr << "vexa-publish: one description and one release folder (see --help)\n";
            return 1;
        }
    }
    if (!verifyKey.empty()) {
        // vexa-publish --verify KEY LIST: the list is the one argument.
        if (description.empty() || !folder.empty()) {
            std::cerr << "vexa-publish: --verify takes a key and one list (see --help)\n";
            return 1;
        }
        std::string pem, list, why;
        if (!ReadFile(verifyKey, &pem) || PublicKeyId(pem).empty()) {
            std::cerr << "vexa-publish: " << verifyKey << ": not an RSA public key of 2048 to 4096 bits\n";
            return 7;
        }
        if (!ReadFile(description, &list)) {
            std::cerr << "vexa-publish: cannot read " << description << "\n";
            return 2;
        }
        ListClaims claims;
        const long long now = static_cast<long long>(std::time(nullptr));
        if (!VerifyList(list, pem, now, &why, &claims)) {
            std::cerr << "vexa-publish: " << description << ": " << why << "\n";
            return 6;
        }
        // Whole days left before the expiry (UTC).
        std::tm expires = {};
        strptime(claims.expires.c_str(), "%Y%m%d%H%M%S", &expires);
        const long long daysLeft = (static_cast<long long>(timegm(&expires)) - now) / 86400;
        std::cout << description << ": signed by key " << PublicKeyId(pem) << " for " << claims.name
                  << (claims.channel.empty() ? "" : "/" + claims.channel) << ", " << daysLeft
                  << " day(s) before it expires\n";
        if (daysLeft < warnDays) {
            std::cerr << "vexa-publish: " << description << ": expires in " << daysLeft << " day(s), under --warn-days "
                      << warnDays << ": publish a freshly signed list\n";
            return 3;
        }
        return 0;
    }
    if (description.empty() || folder.empty()) {
        std::cerr << "vexa-publish: a description and a release folder are needed (see --help)\n";
        return 1;
    }

    std::string text, error;
    ReleaseDescription release;
    if (!ReadFile(description, &text)) {
        std::cerr << "vexa-publish: cannot read " << description << ": " << std::strerror(errno) << "\n";
        return 2;
    }
    if (!ParseDescription(text, &release, &error)) {
        std::cerr << "vexa-publish: " << description << ": " << error << "\n";
        return 2;
    }
    std::vector<ReleaseFacts> facts;
    for (const ReleaseFile& file : release.files) {
        ReleaseFacts fact;
        const std::string path = folder + "/" + file.source;
        struct stat info = {};
        if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || !ReadFile(path, &fact.bytes)) {
            std::cerr << "vexa-publish: line " << file.line << ": cannot read the release file " << path << "\n";
            return 3;
        }
        fact.modified = static_cast<long long>(info.st_mtime);
        facts.push_back(fact);
    }
    ListResult list = BuildList(release, facts, zone, digests);
    for (const std::string& warning : list.warnings)
        std::cerr << "vexa-publish: warning: " << warning << "\n";
    for (const std::string& refusal : list.refusals)
        std::cerr << "vexa-publish: refused: " << refusal << "\n";
    if (!list.refusals.empty())
        return 4;
    if (!signKeys.empty() && !forGiven) {
        std::cerr << "vexa-publish: a signed list names whom it is for: --for NAME[/CHANNEL] (see --help)\n";
        return 1;
    }
    if (!signKeys.empty()) {
        std::vector<std::string> pems;
        for (const std::string& path : signKeys) {
            std::string pem;
            if (!ReadFile(path, &pem)) {
                std::cerr << "vexa-publish: cannot read the key " << path << "\n";
                return 7;
            }
            pems.push_back(pem);
        }
        std::string signError;
        header.expiresUnix = static_cast<long long>(std::time(nullptr)) + expiresDays * 86400;
        if (!SignList(&list.list, pems, header, &signError)) {
            std::cerr << "vexa-publish: " << signError << "\n";
            return 7;
        }
    }
    if (output.empty()) {
        std::cout << list.list;
        return std::cout.flush() ? 0 : 5;
    }
    const std::string temporary = output + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << list.list;
        if (!out.flush()) {
            std::cerr << "vexa-publish: cannot write " << temporary << "\n";
            std::remove(temporary.c_str());
            return 5;
        }
    }
    if (std::rename(temporary.c_str(), output.c_str()) != 0) {
        std::cerr << "vexa-publish: cannot write " << output << ": " << std::strerror(errno) << "\n";
        std::remove(temporary.c_str());
        return 5;
    }
    return 0;
}
