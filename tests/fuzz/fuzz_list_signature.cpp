// The signature lines' reading on arbitrary lists (a keyed control then parses exactly the
// signed text): line ends read alike with or without carriage returns, only signature
// lines are taken out, whole, and none is left behind; an expiry reads only as 14 digits.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/list_format.h"
#include "trust/list_acceptance.h"
#include "trust/list_signature.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

std::vector<std::pair<int, std::string>> Parsed(const std::string& text)
{
    std::vector<std::pair<int, std::string>> lines;
    ListLineReader reader(text);
    ListSection section;
    std::string_view line;
    while (reader.Next(&section, &line))
        lines.emplace_back(static_cast<int>(section), std::string(line));
    return lines;
}

// The signed text as a plain reference computes it: the lines found by the parser's own
// multibyte-aware search, signature lines left out.
std::string ReferenceSignedText(const std::string& plain)
{
    std::string out;
    size_t pos = 0;
    while (pos < plain.size()) {
        const size_t feed = MbFind(plain, "\n", pos, LeadByteTable::Ansi());
        const size_t end = feed == kNotFound ? plain.size() : feed + 1;
        const std::string line = plain.substr(pos, end - pos);
        if (line.compare(0, kSignaturePrefix.size(), kSignaturePrefix) != 0)
            out += line;
        pos = end;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string plain;
    for (char c : text)
        if (c != '\r')
            plain.push_back(c);
    const SignedList split = SplitSignedList(text);
    CHECK(split.signedText.find('\r') == std::string::npos, "carriage returns are not signed");
    CHECK(split.signedText.size() <= plain.size(), "only lines are taken out");
    CHECK(SplitSignedList(plain).signedText == split.signedText, "LF and CR LF lists are signed alike");
    CHECK(ReferenceSignedText(plain) == split.signedText, "lines are split as the parser's search splits them");
    // Every line the parser reads in the signed text is in the list as served (the reader
    // appends a line end of its own, which a last lead byte may take in).
    const std::string served = plain + "\r\n";
    for (const auto& line : Parsed(split.signedText))
        CHECK(served.find(line.second) != std::string::npos, "the parser reads nothing the list does not hold");
    const SignedList again = SplitSignedList(split.signedText);
    CHECK(again.signatures.empty() && again.malformed == 0, "no signature line is left in the signed text");
    CHECK(again.signedText == split.signedText, "the signed text is stable");
    for (const ListSignature& signature : split.signatures)
        CHECK(signature.keyId.size() == kKeyIdLength && !signature.signature.empty(), "a signature reads whole");
    std::string digits;
    if (ReadListExpiry(split.signedText, &digits)) {
        CHECK(digits.size() == 14 && digits.find_first_not_of("0123456789") == std::string::npos, "14 digits");
        CHECK(ExpiresLine(digits).size() == kExpiresPrefix.size() + 20, "it writes back in its form");
    }
    // Claims that read are well-formed and judged without fault; the lines they write read back.
    ListClaims claims;
    if (ReadListClaims(split.signedText, &claims)) {
        CHECK(IsValidListName(claims.name, false) && claims.signedAt <= claims.expires, "claims read whole");
        CHECK(claims.revokes.size() <= kMaxRevokeLines, "revocations are bounded");
        ListClaims back;
        const std::string written = ForLine(claims.name, claims.channel) + "\n" + SignedLine(claims.signedAt) + "\n" +
                                    ExpiresLine(claims.expires) + "\n";
        CHECK(ReadListClaims(written, &back) && back.name == claims.name && back.channel == claims.channel,
              "written claims read back");
        const ListJudgement j = JudgeList({"0123456789abcdef"}, &claims, ListMemory(), claims.name, claims.channel,
                                          "00000000000000");
        CHECK(j.verdict == ListVerdict::Accepted && j.memory.newestSigned == claims.signedAt, "a fresh control takes it");
    }
    return 0;
}
