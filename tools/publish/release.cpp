#include "tools/publish/release.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <set>

#include "engine/list_format.h"
#include "tools/publish/pe_version.h"
#include "tools/publish/sha256.h"

namespace {

const LeadByteTable& Cp949() {
    static const LeadByteTable table = LeadByteTable::FromRange(0x81, 0xFE);
    return table;
}

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

const char* const kFlags[] = {"REG", "UNREG", "ATFIRST", "RUN", "RUNSILENT", "NOVERSION"};

bool Has(const std::vector<std::string>& flags, const char* flag)
{
    for (const std::string& f : flags)
        if (f == flag)
            return true;
    return false;
}

std::string LocalTime(long long seconds, const std::string& zone)
{
    // The list's times are the users' local time: the zone is switched for the call only.
    const char* previous = std::getenv("TZ");
    const std::string saved = previous ? previous : "";
    setenv("TZ", zone.c_str(), 1);
    tzset();
    const time_t when = static_cast<time_t>(seconds);
    struct tm local = {};
    localtime_r(&when, &local);
    if (previous)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    char text[32];
    strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

}  // namespace

bool ToCp949(const std::string& utf8, std::string* cp949)
{
    cp949->clear();
    iconv_t cd = iconv_open("CP949", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string in = utf8;
    char* inPtr = in.data();
    size_t inLeft = in.size();
    std::string out(in.size() * 2 + 4, '\0');
    char* outPtr = out.data();
    size_t outLeft = out.size();
    const size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (done == static_cast<size_t>(-1) || inLeft != 0)
        return false;
    out.resize(out.size() - outLeft);
    *cp949 = out;
    return true;
}

bool ParseDescription(const std::string& text, ReleaseDescription* out, std::string* error)
{
    *out = ReleaseDescription();
    size_t start = 0;
    for (int number = 1; start <= text.size(); ++number) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#')
            continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            *error = "line " + std::to_string(number) + ": expected \"FILE = TARGET [; FLAGS]\" or \"install = FOLDER\"";
            return false;
        }
        const std::string left = Trim(line.substr(0, equals));
        std::string right = line.substr(equals + 1);
        if (left == "install") {
            out->installFolder = Trim(right);
            continue;
        }
        ReleaseFile file;
        file.line = number;
        file.source = left;
        const size_t semicolon = right.find(';');
        std::string flags = semicolon == std::string::npos ? "" : right.substr(semicolon + 1);
        file.target = Trim(right.substr(0, semicolon));
        for (size_t at = 0; at < flags.size();) {
            const size_t word = flags.find_first_not_of(" \t\r", at);
            if (word == std::string::npos)
                break;
            const size_t stop = flags.find_first_of(" \t\r", word);
            file.flags.push_back(flags.substr(word, stop == std::string::npos ? std::string::npos : stop - word));
            at = stop == std::string::npos ? flags.size() : stop;
        }
        if (file.source.empty() || file.target.empty()) {
            *error = "line " + std::to_string(number) + ": a file and its target are both needed";
            return false;
        }
        out->files.push_back(file);
    }
    if (out->files.empty()) {
        *error = "the description names no file";
        return false;
    }
    return true;
}

ListResult BuildList(const ReleaseDescription& description, const std::vector<ReleaseFacts>& facts,
                     const std::string& zone, bool digests)
{
    ListResult result;
    std::string install;
    if (!ToCp949(description.installFolder, &install))
        result.refusals.push_back("install folder: a character that code page 949 cannot hold");
    else if (install.find('|') != std::string::npos)
        result.refusals.push_back("install folder: holds a \"|\"");

    result.list = "# written by vexa-publish\r\n";
    if (!description.installFolder.empty())
        result.list += "[FILE PATH]\r\nInstall Path=" + install + "\r\n";
    result.list += "[UPDATE FILES]\r\n";

    std::set<std::string> targets;
    for (size_t i = 0; i < description.files.size(); ++i) {
        const ReleaseFile& file = description.files[i];
        const std::string where = "line " + std::to_string(file.line) + " (" + file.source + "): ";
        auto refuse = [&](const std::string& why) { result.refusals.push_back(where + why); };
        std::string target;
        if (!ToCp949(file.target, &target)) {
            refuse("a character of the target that code page 949 cannot hold");
            continue;
        }
        for (const std::string& flag : file.flags) {
            bool known = false;
            for (const char* k : kFlags)
                known |= flag == k;
            if (!known)
                refuse("unknown flag \"" + flag + "\" (known: REG UNREG ATFIRST RUN RUNSILENT NOVERSION)");
        }
        if (Has(file.flags, "RUN") && Has(file.flags, "RUNSILENT"))
            refuse("RUN and RUNSILENT together");
        if (Has(file.flags, "REG") && Has(file.flags, "UNREG"))
            refuse("REG and UNREG together");
        if (target.find('|') != std::string::npos) {
            refuse("the target holds a \"|\", which separates the fields");
            continue;
        }
        if (target.size() > 259) {
            refuse("the target is " + std::to_string(target.size()) + " bytes; a path holds at most 259");
            continue;
        }
        if (target[0] == '#')
            refuse("a target starting with \"#\" would be read as a comment");
        std::string folder, name;
        SplitTargetPath(target, &folder, &name, Cp949());
        std::string source;
        ToCp949(file.source, &source);
        if (name != source)
            refuse("the target's file name is \"" + file.target.substr(file.target.rfind('\\') + 1) +
                   "\", but the control downloads the file by that name: name the release file the same");
        if (!targets.insert(target).second)
            refuse("a second entry for the same target");

        const ReleaseFacts& fact = facts[i];
        std::string version, why;
        if (!Has(file.flags, "NOVERSION") && !ReadPeFileVersion(fact.bytes, &version, &why))
            version.clear();
        const std::string time = LocalTime(fact.modified, zone);
        std::string line = target + "|" + version + "|" + std::to_string(fact.bytes.size()) + "|" + time;
        for (const char* flag : {"REG", "UNREG", "ATFIRST", "RUN", "RUNSILENT"})
            if (Has(file.flags, flag))
                line += std::string("|") + flag;
        const std::string digest = digests ? Sha256Hex(fact.bytes) : std::string();
        if (digests)
            line += "|SHA256=" + digest;

        // The entry read back as the control reads it.
        const EntryFields read = SplitEntryLine(line, Cp949());
        if (read.targetPath != target || read.version != version ||
            read.fileSize != static_cast<int>(fact.bytes.size()) ||
            read.fileTime != NormalizeFileTimeField(time, Cp949()) || read.sha256 != digest)
            refuse("the entry does not read back as written: " + line);
        const bool wantRun = Has(file.flags, "RUN"), wantSilent = Has(file.flags, "RUNSILENT");
        if (read.run != wantRun || read.runSilent != wantSilent)
            result.warnings.push_back(where + "the control will read the " + (read.runSilent ? "RUNSILENT" : "RUN") +
                                      " flag from \"RUN\" in the path; the file will be started");
        if (read.registerFlag != (Has(file.flags, "REG") || Has(file.flags, "UNREG")) ||
            read.atFirst != Has(file.flags, "ATFIRST"))
            result.warnings.push_back(where + "the control will read other flags than the description gives");
        if (version.empty() && !Has(file.flags, "NOVERSION") && (name.size() > 4) &&
            (name.compare(name.size() - 4, 4, ".dll") == 0 || name.compare(name.size() - 4, 4, ".exe") == 0 ||
             name.compare(name.size() - 4, 4, ".ocx") == 0))
            result.warnings.push_back(where + "no version resource (" + why + "): compared by size and time");
        result.list += line + "\r\n";
    }

    // The whole list read back: the same entries in the same order.
    ListLineReader reader(result.list, Cp949());
    ListSection section;
    std::string_view line;
    size_t entries = 0;
    while (reader.Next(&section, &line))
        entries += section == ListSection::Files;
    if (result.refusals.empty() && entries != description.files.size())
        result.refusals.push_back("the list reads back with " + std::to_string(entries) + " entries instead of " +
                                  std::to_string(description.files.size()));
    return result;
}
