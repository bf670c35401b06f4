// How the internet file's line reader cuts a byte stream into pieces: a piece ends after
// a line feed (which it keeps) or when the caller's buffer is full; carriage returns are
// dropped. Free of Windows headers so that it also builds on the host.
#pragma once

#include <cstddef>
#include <string_view>

struct LinePieceStep {
    size_t consumed = 0;    // bytes taken from the input
    size_t written = 0;     // bytes stored into the output
    bool lineEnded = false; // a line feed was stored
};

// Copies from input into out (room bytes free) until a line feed is stored or out is full.
LinePieceStep CopyLinePiece(std::string_view input, char* out, size_t room);
