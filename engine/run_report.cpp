#include "engine/run_report.h"

#include <cstdio>

#include "engine/item_states.h"

namespace {

// Code page 949's trail bytes are never a quote, a backslash or a control character, so
// the bytes are escaped one by one.
void AppendString(std::string* out, const std::string& text)
{
    out->push_back('"');
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out->push_back('\\');
            out->push_back(c);
        } else if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out->append(escaped);
        } else {
            out->push_back(c);
        }
    }
    out->push_back('"');
}

// 14 digits as an ISO 8601 UTC time; empty stays empty.
std::string UtcText(const std::string& d)
{
    if (d.size() != 14)
        return std::string();
    return d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2) + "T" + d.substr(8, 2) + ":" + d.substr(10, 2) +
           ":" + d.substr(12, 2) + "Z";
}

}  // namespace

const char* DecisionName(int decision)
{
    switch (decision) {
    case kDecisionUpdate:
        return "update";
    case kDecisionNewerInstalled:
        return "newer-installed";
    case kDecisionSkipped:
        return "skipped";
    default:
        return "current";
    }
}

const char* ResultName(int result)
{
    switch (result) {
    case kResultInstalled:
        return "installed";
    case kResultDownloadFailed:
        return "download-failed";
    case kResultInstallFailed:
        return "install-failed";
    case kResultRegisterFailed:
        return "register-failed";
    case kResultDeclined:
        return "declined";
    default:
        return "nothing-done";
    }
}

std::string ReportQuery(const RunReport& r, const std::string& windowsVersion)
{
    // Only letters, digits and . - _ , pass; anything else becomes '_'.
    const auto plain = [](const std::string& text) {
        std::string out = text.substr(0, 64);
        for (char& c : out)
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
                  c == '_' || c == ','))
                c = '_';
        return out;
    };
    int updated = 0, failed = 0;
    std::string codes;
    for (const RunFile& f : r.files) {
        if (f.decision != kDecisionUpdate)
            continue;
        if (f.result == kResultInstalled) {
            ++updated;
        } else {
            ++failed;
            codes += (codes.empty() ? "" : ",") + std::to_string(f.code);
        }
    }
    return "id=" + plain(r.identity) + "&v=" + plain(r.version) + "&os=" + plain(windowsVersion) +
           "&signed=" + plain(r.listSigned) + "&outcome=" + plain(r.outcome) + "&code=" + std::to_string(r.code) +
           "&updated=" + std::to_string(updated) + "&failed=" + std::to_string(failed) + "&codes=" + plain(codes);
}

int FileDecisionOf(int updateState, bool atFirst)
{
    if (updateState == kUpdateFile)
        return kDecisionUpdate;
    if (updateState == kInstalledNewer)
        return kDecisionNewerInstalled;
    return atFirst ? kDecisionSkipped : kDecisionCurrent;
}

std::string RunReportJson(const RunReport& r)
{
    std::string out = "{\"outcome\":";
    AppendString(&out, r.outcome);
    out += ",\"code\":" + std::to_string(r.code) + ",\"meaning\":";
    AppendString(&out, r.meaning);
    out += ",\"text\":";
    AppendString(&out, r.text);
    out += ",\"identity\":";
    AppendString(&out, r.identity);
    out += ",\"version\":";
    AppendString(&out, r.version);
    out += ",\"listSigned\":";
    AppendString(&out, UtcText(r.listSigned));
    out += ",\"listExpires\":";
    AppendString(&out, UtcText(r.listExpires));
    out += ",\"helperExit\":" + std::to_string(r.helperExit) + ",\"files\":[";
    for (size_t i = 0; i < r.files.size(); ++i) {
        const RunFile& f = r.files[i];
        out += i ? ",{\"path\":" : "{\"path\":";
        AppendString(&out, f.path);
        out += ",\"decision\":";
        AppendString(&out, DecisionName(f.decision));
        out += ",\"result\":";
        AppendString(&out, ResultName(f.result));
        out += ",\"code\":" + std::to_string(f.code) + "}";
    }
    out += "]}";
    return out;
}
