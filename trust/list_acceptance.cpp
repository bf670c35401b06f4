#include "trust/list_acceptance.h"

#include <algorithm>

namespace {

bool Has(const std::vector<std::string>& ids, const std::string& id)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool SameLetters(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x - 'A' + 'a' : x) == (y >= 'A' && y <= 'Z' ? y - 'A' + 'a' : y);
           });
}

}  // namespace

ListJudgement JudgeList(const std::vector<std::string>& signers, const ListClaims* claims, const ListMemory& memory,
                        const std::string& name, const std::string& channel, const std::string& now)
{
    ListJudgement out;
    if (signers.empty() || !claims)
        return out;
    // The key the list is taken on: the first valid signer that is not revoked.
    const auto signer = std::find_if(signers.begin(), signers.end(),
                                     [&](const std::string& id) { return !Has(memory.revoked, id); });
    if (signer == signers.end()) {
        out.verdict = ListVerdict::KeyRevoked;
        return out;
    }
    if (!SameLetters(claims->name, name) || !SameLetters(claims->channel, channel)) {
        out.verdict = ListVerdict::OtherControl;
        return out;
    }
    if (claims->expires <= now) {
        out.verdict = ListVerdict::Expired;
        return out;
    }
    // A time set by a key revoked since (a leaked key's list dated ahead) binds nothing.
    const bool binding = !Has(memory.revoked, memory.newestSigner) && !Has(claims->revokes, memory.newestSigner);
    if (binding && claims->signedAt < memory.newestSigned) {
        out.verdict = ListVerdict::Older;
        return out;
    }
    out.verdict = ListVerdict::Accepted;
    out.memory = memory;
    out.memory.newestSigned = claims->signedAt;
    out.memory.newestSigner = *signer;
    for (const std::string& id : claims->revokes)
        if (!Has(out.memory.revoked, id) && out.memory.revoked.size() < kMaxRememberedRevocations)
            out.memory.revoked.push_back(id);
    return out;
}
