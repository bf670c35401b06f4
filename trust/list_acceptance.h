// Whether a keyed control takes a signed list, given what it remembers of the lists it took
// before: lists are for one control and one channel, never older than the newest taken,
// and never vouched for only by a revoked key. Plain values, so that the rule is tested and
// fuzzed on the host; the control and the helper keep the memory in their registry.
#pragma once

#include <string>
#include <vector>

#include "trust/list_signature.h"

// What a control keeps per identity (times as 14 digits, UTC).
struct ListMemory {
    std::string newestSigned;          // the channel's newest signing time taken ("" none)
    std::string newestSigner;          // the key id that signed it
    std::vector<std::string> revoked;  // key ids revoked by lists taken, every channel
};
// Revocations kept at most; a list's revocations past this are not kept.
constexpr size_t kMaxRememberedRevocations = 64;

enum class ListVerdict {
    Accepted,
    Unsigned,      // no valid signature by a built-in key, or its claims do not read
    KeyRevoked,    // the only valid signatures are by revoked keys
    OtherControl,  // for another identity or channel
    Expired,
    Older,         // signed before the newest list taken
};

struct ListJudgement {
    ListVerdict verdict = ListVerdict::Unsigned;
    ListMemory memory;  // what to remember when accepted
};

// signers: the ids of the built-in keys whose signature over the text checked out; claims:
// null when the text's claims do not read. name and channel: whom the control is, and which
// channel its list URL asks for; now as 14 digits, UTC.
ListJudgement JudgeList(const std::vector<std::string>& signers, const ListClaims* claims, const ListMemory& memory,
                        const std::string& name, const std::string& channel, const std::string& now);
