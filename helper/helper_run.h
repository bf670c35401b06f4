// VexaEx.exe: the update run for the systems on which the control hands over (NT 6 and
// later). Arguments: LIST-URL DATA-URL [TITLE], each the Base64 of the control's text in
// its code page; an empty title leaves the third argument out. A locked build holds the
// same sites as the control it ships with and judges every URL and redirect by them.
#pragma once

// Exit codes of the helper program.
enum HelperExit {
    kHelperInstalled = 0,         // every file to update ended installed (or none needed it)
    kHelperUsage = 1,             // not two or three arguments; nothing ran
    kHelperBadArgument = 2,       // an argument is not Base64, or a URL is empty; nothing ran
    kHelperNoControl = 3,         // the control's registration was not found; nothing ran
    kHelperNoWindow = 4,          // the progress window could not be created
    kHelperStopped = 5,           // the run stopped before the installation
    kHelperNotAllInstalled = 6,   // at least one file to update did not end installed
    kHelperUntrusted = 7,         // a locked build: a URL is malformed or not of its sites; nothing ran
};

int RunHelper(int argc, char** argv);
