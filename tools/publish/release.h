// A release as the publishing tool sees it: the description of where each file of the
// release folder goes and what happens to it, and the update list made from it.
#pragma once

#include <string>
#include <vector>

struct ReleaseFile {
    std::string source;       // file name in the release folder (UTF-8)
    std::string target;       // target path on the user's machine (UTF-8, may hold macros)
    std::vector<std::string> flags;  // REG, UNREG, ATFIRST, RUN, RUNSILENT, NOVERSION
    int line = 0;             // in the description
};

struct ReleaseDescription {
    std::string installFolder;  // empty: the control's own folder
    std::vector<ReleaseFile> files;
};

// Reads a description; false with the line and reason in *error when it is malformed.
bool ParseDescription(const std::string& text, ReleaseDescription* out, std::string* error);

// What the tool found out about one file before writing its entry.
struct ReleaseFacts {
    std::string bytes;        // the file's content
    long long modified = 0;   // seconds since 1970, UTC
};

struct ListResult {
    std::string list;                   // code page 949, CR LF line ends
    std::vector<std::string> refusals;  // each makes the list unusable
    std::vector<std::string> warnings;  // the list is written; the format will misread these
};

// Builds the list. zone is a TZ name such as "Asia/Seoul": the users' local time, in which
// the list's times are written. With digests, every entry carries "|SHA256=" and the
// digest of its file, which a control that knows the word checks after the download.
ListResult BuildList(const ReleaseDescription& description, const std::vector<ReleaseFacts>& facts,
                     const std::string& zone, bool digests = true);

// UTF-8 to code page 949; false when a character has no code page 949 form.
bool ToCp949(const std::string& utf8, std::string* cp949);
