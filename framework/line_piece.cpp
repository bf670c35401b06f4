#include "framework/line_piece.h"

#include <algorithm>
#include <cstring>

LinePieceStep CopyLinePiece(std::string_view input, char* out, size_t room)
{
    LinePieceStep step;
    while (step.consumed < input.size() && step.written < room) {
        // Runs without CR or LF are copied in one go.
        const size_t want = std::min(input.size() - step.consumed, room - step.written);
        const char* from = input.data() + step.consumed;
        size_t plain = 0;
        while (plain < want && from[plain] != '\r' && from[plain] != '\n')
            ++plain;
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
