#include "tools/publish/module_facts.h"

#include "trust/trusted_sites.h"
#include "tools/publish/list_signing.h"
#include "tools/publish/pe_version.h"

bool ReadModuleFacts(const std::string& bytes, ModuleFacts* facts, std::string* error)
{
    *facts = ModuleFacts();
    if (!ReadPeFileVersion(bytes, &facts->version, error))
        return false;
    const std::string tag = VEXA_SITE_RECORD_TAG;
    const size_t record = bytes.find(tag);
    if (record == std::string::npos || bytes.find(tag, record + 1) != std::string::npos) {
        *error = record == std::string::npos ? "no site record: not a VexaUpdater module" : "more than one site record";
        return false;
    }
    const size_t start = record + tag.size();
    const size_t end = bytes.find('\0', start);
    if (end == std::string::npos) {
        *error = "the site record does not end";
        return false;
    }
    facts->sites = SplitSiteRecord(bytes.substr(start, end - start));
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
