// The update list: folder lines set the install and staging folders, entry lines become
// items of the run.
#include "engine/list_format.h"
#include "ui/progress_dialog.h"

namespace {

CString Text(std::string_view view) { return CString(std::string(view)); }

}  // namespace

BOOL UpdateProgressDialog::ParseUpdateList()
{
    ClearLastError();
    Notify(WM_UPDATE_PROGRESS, PROGRESS_STEP, m_progress);
    if (m_listText.IsEmpty()) {
        m_lastErrorCode = 46;
        m_lastErrorText = "업데이트 서버로부터 자료가 비어있습니다.";
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
        m_lastErrorCode = 21;
        m_lastErrorText = "업데이트 목록정보가 없습니다.";
        return FALSE;
    }
    const CString text = ExpandPathMacros(line);
    const EntryFields fields = SplitEntryLine(text.View());

    UpdateItem item;
    item.m_strTargetPath = fields.targetPath;
    item.m_strVersion = fields.version;
    item.m_nFileSize = fields.fileSize;
    item.m_strFileTime = fields.fileTime;
    item.m_bRegister = fields.registerFlag;
    item.m_bAtFirst = fields.atFirst;
    item.m_bRun = fields.run;
    item.m_bRunSilent = fields.runSilent;

    std::string folder, name;
    SplitTargetPath(fields.targetPath, &folder, &name);
    item.m_strTargetDir = folder;
    item.m_strFileName = name;
    item.m_strStagePath.Format("%s\\Update\\%s", m_installFolder.GetString(), name.c_str());
    item.m_strDownloadURL.Format("%s/%s", m_dataUrl.GetString(), name.c_str());
    item.m_nUpdateState = kUpdateFile;
    AddUpdateItem(item);
    return TRUE;
}
