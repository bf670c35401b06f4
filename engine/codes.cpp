#include "engine/codes.h"

namespace {

// Errors first, in the order of RunError, so that ErrorRow indexes them; then DoUpdate's
// results and the helper's exits.
constexpr CodeRow kRows[] = {
    {"error", 10, "LocalFile", "", "the staged file could not be created (the system's text names the file)",
     "check the install folder's disk and permissions on the visitor's machine"},
    {"error", 11, "NotOnServer", "서버에 다운로드할 파일이 존재하지 않습니다.", "the server answered 404 for a listed file",
     "publish every file the list names under the data URL"},
    {"error", 20, "ListUnreadable", "리스트에서 데이타를 가져올수 없습니다.", "the list's entries could not be read into the run",
     "republish the list with vexa-publish"},
    {"error", 21, "NoUpdateSection", "업데이트 목록정보가 없습니다.", "the list has no [UPDATE FILES] section",
     "republish the list with vexa-publish"},
    {"error", 32, "CopyFailed", "", "a file could not be put in place (the system's text says why; a full disk too)",
     "ask the visitor to free disk space or close the programs using the files"},
    {"error", 35, "ReadOnlyAttribute", "읽기전용파일의 속성을 변경하지 못했습니다.", "a read-only target could not be made writable",
     "ask the visitor to check the file's permissions"},
    {"error", 36, "Declined", "업데이트 취소", "the visitor declined a question (a newer or read-only file)",
     "none: the visitor chose to keep the file"},
    {"error", 37, "InUse", "", "a target is in use by another program (the system's text)",
     "ask the visitor to close the program and run the page again"},
    {"error", 41, "ServerError", "업데이트 서버에서 오류가 발생했습니다.", "the server answered 500 for the list or a file",
     "check the update server's error log"},
    {"error", 42, "ListFetch", "", "the list could not be fetched (the system's text: refused, reset, timed out)",
     "check that the list URL answers a GET and a POST"},
    {"error", 42, "ListTooLong", "업데이트 목록이 허용된 크기(32MB)를 넘습니다.", "the list is longer than 32 MiB",
     "split the modules into smaller lists"},
    {"error", 42, "ListRedirectRefused", "허용되지 않은 주소로 옮겨 가라는 서버의 응답을 따르지 않았습니다.",
     "the list's server redirected to a host the control is not locked to", "serve the list from a locked site without redirects elsewhere"},
    {"error", 43, "BadUrl", "서버주소가 올바르지 않습니다.", "a list or file URL could not be read",
     "fix the page's URLs or the list's file names"},
    {"error", 45, "Download", "", "a file could not be downloaded (the system's text: refused, reset, timed out)",
     "check the data URL and the server's reachability"},
    {"error", 45, "DownloadRedirectRefused", "허용되지 않은 주소로 옮겨 가라는 서버의 응답을 따르지 않았습니다.",
     "a file's server redirected to a host the control is not locked to", "serve the files from a locked site without redirects elsewhere"},
    {"error", 45, "DownloadException", "파일을 다운받는중에 예외가 발생했습니다.", "a download failed in another way (another status)",
     "check the server's answer for the file (the access log's status)"},
    {"error", 46, "EmptyList", "업데이트 서버로부터 자료가 비어있습니다.", "the list is empty", "publish the list again"},
    {"error", 47, "DigestFailed", "다운받은 파일이 손상되었거나 변조되었습니다.", "a file's bytes are not the ones its SHA256= names",
     "publish the list and the files together; look for tampering on the way"},
    {"error", 47, "DigestUnavailable", "파일의 무결성을 확인할 수 없습니다.",
     "a file's digest could not be computed (no cryptography provider), or a keyed list names no digest",
     "publish with digests (the default); the visitor's system lacks SHA-256 otherwise"},
    {"error", 48, "ListUnsigned", "업데이트 목록의 서명을 확인할 수 없습니다.",
     "a keyed control got a list without a valid signature by one of its keys, or without its #@for, #@signed or #@expires line",
     "sign the list with a key the release carries, with vexa-publish --for"},
    {"error", 48, "ListExpired", "업데이트 목록의 유효기간이 지났습니다.", "the signed list is past its expiry",
     "sign the list again with a later --expires"},
    {"error", 48, "ListForOther", "다른 프로그램이나 채널을 위한 업데이트 목록입니다.",
     "the signed list's #@for names another identity, or a channel other than its URL's file name",
     "sign with --for NAME (list.txt) or --for NAME/CHANNEL (CHANNEL.txt) of this release's identity"},
    {"error", 48, "ListKeyRevoked", "업데이트 목록에 서명한 키가 폐기되었습니다.",
     "the list's only valid signatures are by keys a list taken before revoked", "sign with a key that is not revoked"},
    {"error", 49, "ListOlder", "이전에 받은 것보다 오래된 업데이트 목록입니다.",
     "the signed list was signed before the newest list this control took (a replayed or rolled-back list)",
     "publish the newest list; to withdraw a release, sign the older content again"},
    {"error", 51, "NoList", "서버에 업데이트 목록 파일이 없거나 URL 주소가 틀렸습니다.",
     "no list at the URL (404, or no Content-Length: chunked or empty)", "serve the list with a Content-Length at the page's URL"},
    {"error", 53, "StagingFolder", "파일을 저장할 폴더를 생성할수 없습니다.", "the staging folder could not be created",
     "check the install folder's path and permissions"},
    {"error", 53, "StagingFolderRefused", "업데이트 폴더가 연결 지점이거나 파일입니다.",
     "the staging folder (the install folder's Update) is a junction, a link or a file: refused, nothing written",
     "remove what is at <install folder>\\Update on the visitor's machine; look for tampering"},
    {"error", 60, "LoadFailed", "라이브러리파일을 로드하지 못했습니다.", "a component to register could not be loaded",
     "publish the component with its dependencies"},
    {"error", 61, "NotRegistrable", "레지스트리에 등록가능한 파일이 아닙니다.", "a component to register has no DllRegisterServer",
     "drop the register flag for that file"},
    {"error", 62, "NoEntryPoint", "엔트리포인트를 찾을수 없습니다.", "a component to unregister has no DllUnregisterServer",
     "drop the unregister flag for that file"},
    {"error", 63, "RegistrationFailed", "레지스트리 등록/해제를 하지못했습니다.", "a component's registration returned a failure",
     "check the component's own registration"},
    {"DoUpdate", kDoUpdateDone, "kDoUpdateDone", "",
     "the run ended: updated, nothing to do, failed (the window showed which), or handed over to the helper",
     "none; the window and the run's error code tell the outcome"},
    {"DoUpdate", kDoUpdateRefused, "kDoUpdateRefused", "", "a URL missing, malformed or not of the control's sites; nothing ran",
     "give both URLs on a site the release is locked to"},
    {"DoUpdate", kDoUpdateCancelled, "kDoUpdateCancelled", "", "the dialog was cancelled (the progress window never ends so)",
     "none"},
    {"DoUpdate", kDoUpdateNotStarted, "kDoUpdateNotStarted", "",
     "no window, a run already going on on this machine (this control, another control or page), or the host quit during the run",
     "call DoUpdate once per page, after the last run returned"},
    {"helper exit", kHelperInstalled, "kHelperInstalled", "", "every file to update ended installed (or none needed it)", "none"},
    {"helper exit", kHelperUsage, "kHelperUsage", "", "not two or three arguments; nothing ran",
     "start the helper only from the control"},
    {"helper exit", kHelperBadArgument, "kHelperBadArgument", "", "an argument is not Base64, or a URL is empty; nothing ran",
     "start the helper only from the control"},
    {"helper exit", kHelperNoControl, "kHelperNoControl", "", "the control is not in the machine's registration; nothing ran",
     "have the visitor install the control again (the page's codebase)"},
    {"helper exit", kHelperNoWindow, "kHelperNoWindow", "", "the progress window could not be created",
     "the visitor's desktop refused a window; run the page again"},
    {"helper exit", kHelperStopped, "kHelperStopped", "", "the run stopped before the installation (list or staging folder)",
     "see the list's errors above"},
    {"helper exit", kHelperNotAllInstalled, "kHelperNotAllInstalled", "", "at least one file to update did not end installed",
     "see the files' errors above"},
    {"helper exit", kHelperUntrusted, "kHelperUntrusted", "", "a URL is malformed or not of a locked build's sites; nothing ran",
     "give URLs on a site the release is locked to"},
};

constexpr size_t ErrorRows()
{
    size_t errors = 0;
    for (const CodeRow& row : kRows)
        errors += row.kind[0] == 'e';
    return errors;
}
static_assert(ErrorRows() == static_cast<size_t>(RunError::RegistrationFailed) + 1, "a row for every RunError");

}  // namespace

const CodeRow* AllCodes(size_t* count)
{
    *count = sizeof(kRows) / sizeof(kRows[0]);
    return kRows;
}

const CodeRow& ErrorRow(RunError error)
{
    return kRows[static_cast<size_t>(error)];
}
