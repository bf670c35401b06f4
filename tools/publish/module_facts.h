// What a built module says about itself, read from its bytes: the release version of its
// version resource, the sites it is locked to and the list keys it accepts.
#pragma once

#include <string>
#include <vector>

struct ModuleFacts {
    std::string version;                // a.b.c.d
    std::vector<std::string> sites;     // empty: not locked
    std::vector<std::string> keyIds;    // as signature lines name them; empty: not keyed
    std::string identity;               // "name=...;kind=...;progid=...;helper=...;control={...};..."
};

// False, with the reason, when the bytes are not a module of this product (no version
// resource, no site record or identity record, or more than one; a private key in it).
bool ReadModuleFacts(const std::string& bytes, ModuleFacts* facts, std::string* error);
