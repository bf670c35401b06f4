#include "framework/line_piece.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// Position of the first CR or LF among the n bytes, or n. A word at a time: the C
// library's byte search is a plain loop on some platforms, and lists are long.
size_t FindLineBreak(const char* bytes, size_t n)
{
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHighs = 0x8080808080808080ull;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, sizeof word);
        const uint64_t lf = word ^ (kOnes * '\n');
        const uint64_t cr = word ^ (kOnes * '\r');
        if ((((lf - kOnes) & ~lf) | ((cr - kOnes) & ~cr)) & kHighs)
            break;
    }
    while (i < n && bytes[i] != '\n' && bytes[i] != '\r')
        ++i;
    return i;
}

}  // namespace

LinePieceStep CopyLinePiece(std::string_view input, char* out, size_t room)
{
    LinePieceStep step;
    while (step.consumed < input.size() && step.written < room) {
        // Runs without CR or LF are copied in one go.
        const size_t want = std::min(input.size() - step.consumed, room - step.written);
        const char* from = input.data() + step.consumed;
        const size_t plain = FindLineBreak(from, want);
        std::memcpy(out + step.written, from, plain);
        step.written += plain;
        step.consumed += plain;
        if (plain == want)
            break;
        const char ch = from[plain];
        ++step.consumed;
        if (ch == '\r')
            continue;
        out[step.written++] = '\n';
        step.lineEnded = true;
        break;
    }
    return step;
}
