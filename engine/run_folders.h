// The folders a run makes for itself: the staging folder and the machine's log folder. An
// elevated run's must carry nobody else's permissions, and one that is a link is never used.
#pragma once

#include <string>

// Full control for the system and administrators, reading for users, nothing inherited (SDDL).
extern const char kElevatedStagingFolderSddl[];

// An existing folder that is no link (no reparse point).
bool IsPlainFolder(const std::string& folder);

// Creates the folder (its parent must exist); restricted, when the run is an administrator's,
// with kElevatedStagingFolderSddl. False when it was not created.
bool CreateRunFolder(const std::string& folder, bool restricted);
