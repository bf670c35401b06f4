// The update list: folder lines set the install and staging folders, entry lines become
// items of the run.
#include <utility>

#include "engine/list_format.h"
#include "ui/progress_dialog.h"

namespace {

CString Text(std::string_view view) { return CString(std::string(view)); }

std::string Joined(const CString& head, std::string_view middle, std::string_view tail)
{
    const std::string_view first(head.GetString());
    std::string text;
    text.reserve(first.size() + middle.size() + tail.size());
    text.append(first).append(middle).append(tail);
    return text;
}

}  // namespace

BOOL UpdateProgressDialog::ParseUpdateList()
{
    ClearLastError();
    Notify(WM_UPDATE_PROGRESS, PROGRESS_STEP, m_progress);
    if (m_listText.IsEmpty()) {
        RecordError(RunError::EmptyList);
        return FALSE;
    }
    // The machine's folders do not change during a run: ask once.
    QuerySystemFolders();

    ListLineReader reader(m_listText.View());
    ListSection section;
    std::string_view line;
    while (reader.Next(&section, &line)) {
        if (section == ListSection::Files) {
            ParseUpdateEntry(Text(line));
            continue;
        }
        m_installFolder = ExpandPathMacros(Text(FolderLineValue(line)));
        m_stagingFolder.Format("%s\\%s", m_installFolder.GetString(), "Update");
    }
    if (m_installFolder.IsEmpty() || m_stagingFolder.IsEmpty()) {
        m_installFolder = m_moduleFolder;
        m_stagingFolder.Format("%s\\%s", m_installFolder.GetString(), "Update");
    }
    return TRUE;
}

BOOL UpdateProgressDialog::ParseUpdateEntry(CString line)
{
    if (line.IsEmpty()) {
        RecordError(RunError::NoUpdateSection);
        return FALSE;
    }
    const CString text = ExpandPathMacros(std::move(line));
    EntryFields fields = SplitEntryLine(text.View());

    UpdateItem item;
    std::string folder, name;
    SplitTargetPath(fields.targetPath, &folder, &name);
    item.m_strTargetPath = std::move(fields.targetPath);
    item.m_strVersion = std::move(fields.version);
    item.m_nFileSize = fields.fileSize;
    item.m_strFileTime = std::move(fields.fileTime);
    item.m_bRegister = fields.registerFlag;
    item.m_bAtFirst = fields.atFirst;
    item.m_bRun = fields.run;
    item.m_bRunSilent = fields.runSilent;
    item.m_strSha256 = std::move(fields.sha256);
    item.m_strTargetDir = std::move(folder);
    // Built as text is printed: each part up to its first NUL byte.
    const std::string_view fileName(name.c_str());
    item.m_strStagePath = Joined(m_installFolder, "\\Update\\", fileName);
    item.m_strDownloadURL = Joined(m_dataUrl, "/", fileName);
    item.m_strFileName = std::move(name);
    item.m_nUpdateState = kUpdateFile;
    AddUpdateItem(std::move(item));
    return TRUE;
}
