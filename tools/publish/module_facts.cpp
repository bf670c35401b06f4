#include "tools/publish/module_facts.h"

#include "trust/identity_record.h"
#include "trust/trusted_sites.h"
#include "tools/publish/list_signing.h"
#include "tools/publish/pe_version.h"

namespace {

// The text after the one occurrence of tag, up to its terminating zero.
bool ReadRecord(const std::string& bytes, const std::string& tag, const char* what, std::string* text,
                std::string* error)
{
    const size_t record = bytes.find(tag);
    if (record == std::string::npos || bytes.find(tag, record + 1) != std::string::npos) {
        *error = std::string(record == std::string::npos ? "no " : "more than one ") + what + " record" +
                 (record == std::string::npos ? ": not a VexaUpdater module" : "");
        return false;
    }
    const size_t start = record + tag.size();
    const size_t end = bytes.find('\0', start);
    if (end == std::string::npos) {
        *error = std::string("the ") + what + " record does not end";
        return false;
    }
    *text = bytes.substr(start, end - start);
    return true;
}

}  // namespace

bool ReadModuleFacts(const std::string& bytes, ModuleFacts* facts, std::string* error)
{
    *facts = ModuleFacts();
    if (!ReadPeFileVersion(bytes, &facts->version, error))
        return false;
    std::string sites;
    if (!ReadRecord(bytes, VEXA_SITE_RECORD_TAG, "site", &sites, error) ||
        !ReadRecord(bytes, VEXA_IDENTITY_RECORD_TAG, "identity", &facts->identity, error))
        return false;
    facts->sites = SplitSiteRecord(sites);
    if (bytes.find("PRIVATE KEY-----") != std::string::npos) {
        *error = "it carries a private key";
        return false;
    }
    // The keys are kept as PEM text, one string each.
    const std::string begin = "-----BEGIN PUBLIC KEY-----", finish = "-----END PUBLIC KEY-----";
    for (size_t at = bytes.find(begin); at != std::string::npos; at = bytes.find(begin, at + 1)) {
        const size_t stop = bytes.find(finish, at);
        if (stop == std::string::npos)
            break;
        const std::string id = PublicKeyId(bytes.substr(at, stop + finish.size() - at) + "\n");
        if (id.empty()) {
            *error = "a list key that is not an RSA public key of 2048 to 4096 bits";
            return false;
        }
        facts->keyIds.push_back(id);
    }
    return true;
}
