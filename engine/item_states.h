// What the version check decided for a listed file, and how its run ended: the values of
// UpdateItem's state and result (no Windows headers, so that the run's report is built on
// the host too).
#pragma once

// Values of UpdateItem::m_nUpdateState.
enum UpdateState {
    kUpdateFile = 1,    // download and install
    kNoUpdate = 4,      // current, or not to be touched
    kInstalledNewer = 5 // ask before replacing the newer installed file
};

// Values of UpdateItem::m_nResult.
enum ItemResult {
    kResultInstalled = 1,       // downloaded; after installation: installed
    kResultNothingDone = 2,
    kResultDownloadFailed = 3,
    kResultInstallFailed = 4,
    kResultRegisterFailed = 5,
    kResultDeclined = 7
};
