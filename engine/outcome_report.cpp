// What a run did, for the page and for the operator's server.
#include "engine/codes.h"
#include "engine/file_version_info.h"
#include "engine/form_request.h"
#include "framework/module.h"
#include "trust/module_ids.h"
#include "ui/progress_dialog.h"

namespace {

// The code table's row for a recorded error: the one with its text, else the code's first.
const CodeRow* RowOf(int code, const std::string& text)
{
    size_t count = 0;
    const CodeRow* rows = AllCodes(&count);
    const CodeRow* first = nullptr;
    for (size_t i = 0; i < count; ++i) {
        if (std::string(rows[i].kind) != "error" || rows[i].code != code)
            continue;
        if (!first)
            first = &rows[i];
        if (!text.empty() && text == rows[i].text)
            return &rows[i];
    }
    return first;
}

std::string WindowsVersion()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info))
        return std::string();
    char text[40] = {};
    wsprintfA(text, "%lu.%lu.%lu", info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber);
    return text;
}

}  // namespace

std::string ModuleVersionText()
{
    FileVersionInfo info;
    VS_FIXEDFILEINFO fixed = {};
    if (!info.Load(ThisModulePath().c_str()) || !info.GetFixedInfo(&fixed))
        return std::string();
    char text[32] = {};
    wsprintfA(text, "%u.%u.%u.%u", HIWORD(fixed.dwFileVersionMS), LOWORD(fixed.dwFileVersionMS),
              HIWORD(fixed.dwFileVersionLS), LOWORD(fixed.dwFileVersionLS));
    return text;
}

RunReport UpdateProgressDialog::Outcome() const
{
    RunReport report;
    report.identity = m_identityName;
    report.version = ModuleVersionText();
    report.files = m_runFiles;
    report.listSigned = m_listSigned;
    report.listExpires = m_listExpires;
    const bool finished = m_runState == Completed || m_runState == UpToDate;
    int fileCode = 0;
    bool fileFailed = false;
    for (const RunFile& file : report.files) {
        const bool failed = file.result != kResultInstalled && file.decision == kDecisionUpdate;
        fileFailed = fileFailed || failed;
        if (failed && !fileCode)
            fileCode = file.code;
    }
    report.code = finished ? fileCode : m_lastErrorCode;
    const bool refused =
        report.code == ErrorRow(RunError::ListUnsigned).code || report.code == ErrorRow(RunError::ListOlder).code;
    if (m_handedOver)
        report.outcome = "handed-over";
    else if (!finished)
        report.outcome = refused ? "refused" : "failed";
    else if (fileFailed)
        report.outcome = "failed";
    else
        report.outcome = m_filesToUpdate > 0 ? "installed" : "up-to-date";
    if (const CodeRow* row = report.code ? RowOf(report.code, m_lastErrorText.Str()) : nullptr) {
        report.meaning = row->meaning;
        report.text = *row->text ? row->text : m_lastErrorText.Str();
    }
    return report;
}

void UpdateProgressDialog::SendOutcomeReport(const RunReport& report)
{
    if (m_reportUrl.empty())
        return;
    const std::string url =
        m_reportUrl + (m_reportUrl.find('?') == std::string::npos ? "?" : "&") + ReportQuery(report, WindowsVersion());
    const NetworkBounds bounds{kReportTimeoutMs, 0, GetTickCount() + kReportTimeoutMs};
    try {
        CInternetSession session;
        if (!session.IsOpen())
            return;
        // The same reading, lock and redirect rules as every other request; one try.
        const FormRequest sent = SendRequest(session, url.c_str(), m_trustedSites, RequestShape::Probe, bounds);
        (void)sent;
    } catch (const CInternetException&) {
        // A report that cannot be made changes nothing of the run.
    }
}
