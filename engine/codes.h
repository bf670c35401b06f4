// Every code the product gives, in one table: what DoUpdate returns to a page, the error code
// a run records with its Korean text (code page 949 in the modules), and the helper's exit
// codes, each with a short English meaning and what an operator should do about it. The
// code sets them by name; the README's table is held against this one by a test. No Windows
// headers: the table is also compiled on the host.
#pragma once

#include <cstddef>

// A run's errors. Several may share a code: the code says the step, the text the cause.
enum class RunError {
    LocalFile,
    NotOnServer,
    ListUnreadable,
    NoUpdateSection,
    CopyFailed,
    ReadOnlyAttribute,
    Declined,
    InUse,
    ServerError,
    ListFetch,
    ListTooLong,
    ListRedirectRefused,
    BadUrl,
    Download,
    DownloadRedirectRefused,
    DownloadException,
    EmptyList,
    DigestFailed,
    DigestUnavailable,
    ListUnsigned,
    ListExpired,
    ListForOther,
    ListKeyRevoked,
    ListOlder,
    NoList,
    StagingFolder,
    StagingFolderRefused,
    LoadFailed,
    NotRegistrable,
    NoEntryPoint,
    RegistrationFailed,
};

// What DoUpdate returns to the page.
enum DoUpdateResult {
    kDoUpdateDone = 0,        // the run ended (updated, nothing to do, failed) or was handed over
    kDoUpdateRefused = -1,    // a URL missing, malformed or not of a locked control's sites
    kDoUpdateCancelled = 1,   // the dialog was cancelled (the progress window never ends so)
    kDoUpdateNotStarted = 2,  // no window, a run going on on this machine, or the host quit during it
};

// The helper program's exit codes.
enum HelperExit {
    kHelperInstalled = 0,
    kHelperUsage = 1,
    kHelperBadArgument = 2,
    kHelperNoControl = 3,
    kHelperNoWindow = 4,
    kHelperStopped = 5,
    kHelperNotAllInstalled = 6,
    kHelperUntrusted = 7,
};

struct CodeRow {
    const char* kind;     // "DoUpdate", "error" or "helper exit"
    int code;
    const char* name;     // the name the code sets it by
    const char* text;     // an error's Korean text; "" where the system's own text is given
    const char* meaning;  // in English
    const char* action;   // what an operator should do
};

// The whole table, in the README's order: errors by code, then DoUpdate's results, then
// the helper's exits.
const CodeRow* AllCodes(size_t* count);
// One error's row.
const CodeRow& ErrorRow(RunError error);
