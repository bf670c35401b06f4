// Signed update lists: the byte rules shared by the control, the helper and the publishing
// tool. Plain functions without Windows headers, so that they can be tested and fuzzed on
// the host.
//
// A signed list carries, anywhere in it, lines of the form
//     #@signature KEY-ID BASE64
// (KEY-ID: the first 16 hex digits of the SHA-256 of the key's DER SubjectPublicKeyInfo;
// BASE64: an RSA PKCS#1 v1.5 signature over SHA-256), and exactly one line
//     #@expires YYYY-MM-DDTHH:MM:SSZ
// (UTC), and exactly one of each of
//     #@for NAME            or  #@for NAME/CHANNEL   (whose control, and which of its lists)
//     #@signed YYYY-MM-DDTHH:MM:SSZ                    (when it was signed, UTC)
// with at most kMaxRevokeLines lines "#@revoke KEY-ID" (keys the control must no longer take)
// and at most one "#@report URL" (where the control reports each run's outcome).
// All start with '#', so the list's parser takes them for comments. What is signed
// is the list as the parser reads it (carriage returns removed) without its signature
// lines; lines are split exactly as the parser splits them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "framework/hex_text.h"
#include "framework/mbcs.h"

constexpr std::string_view kSignaturePrefix = "#@signature ";
constexpr std::string_view kExpiresPrefix = "#@expires ";
constexpr std::string_view kForPrefix = "#@for ";
constexpr std::string_view kSignedPrefix = "#@signed ";
constexpr std::string_view kRevokePrefix = "#@revoke ";
constexpr std::string_view kReportPrefix = "#@report ";
constexpr size_t kMaxReportUrl = 1024;
// Identity names and channels: a letter, then letters and digits (channels also '-' and
// '_'), at most 31 characters.
constexpr size_t kMaxNameLength = 31;
constexpr size_t kMaxRevokeLines = 8;
constexpr size_t kKeyIdLength = 16;
// A list with more signature lines than this is refused unchecked: a publisher signs with
// one key, two while rotating; a hostile list must not buy hours of checks.
constexpr size_t kMaxSignatureLines = 8;

struct ListSignature {
    std::string keyId;      // 16 lower-case hex digits
    std::string signature;  // the signature's bytes, most significant first
};

struct SignedList {
    std::string signedText;                 // the text without its signature lines
    std::vector<ListSignature> signatures;  // the lines that read well
    int malformed = 0;                      // signature lines that do not
};

// Carriage returns removed, then every signature line taken out.
SignedList SplitSignedList(std::string_view text, const LeadByteTable& table = LeadByteTable::Ansi());

// The same in place: text becomes the signed text (no second copy of a long list); the
// signature lines that read well are added to signatures, the others counted in malformed.
void TakeOutSignatureLines(std::string* text, std::vector<ListSignature>* signatures, int* malformed,
                           const LeadByteTable& table = LeadByteTable::Ansi());

// The expiry the signed text names, as 14 digits YYYYMMDDHHMMSS (UTC, so that times compare
// as text). False when there is none, more than one, or it is malformed.
bool ReadListExpiry(std::string_view signedText, std::string* digits,
                    const LeadByteTable& table = LeadByteTable::Ansi());

// What a signed text says of itself, beyond its expiry.
struct ListClaims {
    std::string name;                  // #@for's NAME
    std::string channel;               // its CHANNEL; empty for the default one
    std::string signedAt;              // #@signed as 14 digits
    std::string expires;               // #@expires as 14 digits
    std::vector<std::string> revokes;  // #@revoke key ids
    std::string report;                // #@report URL (absolute, or relative to the list's); optional
};

// False when a line is missing, repeated or malformed, or there are too many revocations.
bool ReadListClaims(std::string_view signedText, ListClaims* claims,
                    const LeadByteTable& table = LeadByteTable::Ansi());

// True for a report URL a list may carry: one printable word of at most kMaxReportUrl.
bool IsValidReportUrl(std::string_view url);

// True for a valid identity name (channel: false) or channel name (channel: true).
bool IsValidListName(std::string_view text, bool channel);

// The channel a list URL asks for: its file name up to the last '.', without the query,
// lower-cased; "list" (list.txt, the usual name) is the default channel, "".
std::string ListChannelOfUrl(std::string_view url);

// The lines as a publisher writes them (without their line end).
std::string SignatureLine(const std::string& keyId, const std::string& signature);
std::string ExpiresLine(const std::string& digits);  // digits: YYYYMMDDHHMMSS
std::string SignedLine(const std::string& digits);
std::string ForLine(const std::string& name, const std::string& channel);
std::string RevokeLine(const std::string& keyId);
std::string ReportLine(const std::string& url);
