// The control's text rules on arbitrary bytes: Base64 encoding decodes back to the same
// bytes, in exactly the RFC 4648 length and alphabet; decoding arbitrary text either fails
// or gives bytes whose encoding is that text; the dialog's data URL loses at most one "/";
// a logged URL keeps no query or fragment, and a log line is one line.
#include <cstdint>
#include <string>

#include "engine/data_url.h"
#include "engine/run_log_text.h"
#include "trust/base64.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string encoded = Base64Encode(bytes);
    CHECK(encoded.size() == (size + 2) / 3 * 4, "four characters per started group of three bytes");
    CHECK(encoded.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=") ==
              std::string::npos,
          "only the alphabet and padding");
    std::string back;
    CHECK(Base64Decode(encoded, &back) && back == bytes, "decodes to the same bytes");

    std::string decoded;
    if (Base64Decode(bytes, &decoded))
        CHECK(Base64Encode(decoded) == bytes, "an accepted text is the one encoding of its bytes");

    const std::string url = DataUrlForDialog(bytes);
    CHECK(url == bytes || (url.size() + 1 == bytes.size() && bytes.back() == '/' && bytes.compare(0, url.size(), url) == 0),
          "at most one trailing slash removed");

    const std::string logged = LoggedUrl(bytes);
    CHECK(logged.find_first_of("?#") == std::string::npos, "no query or fragment logged");
    CHECK(logged.size() <= bytes.size(), "never more than the URL");
    const std::string line = RunLogLine({2026, 1, 2, 3, 4, 5}, "step", -1, bytes);
    CHECK(line.find('\n') == line.size() - 1, "one line");
    for (const char c : line.substr(0, line.size() - 1))
        CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f, "no control character");
    return 0;
}
