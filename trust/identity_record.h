// How a module keeps its identity where a release check reads it back from its bytes: this
// tag followed by "name=...;kind=...;progid=...;helper=...;control={...};proppage={...};
// typelib={...};dispatch={...};events={...}" (the build writes it; no Windows headers).
#pragma once

#define VEXA_IDENTITY_RECORD_TAG "VEXA-IDENTITY:"
