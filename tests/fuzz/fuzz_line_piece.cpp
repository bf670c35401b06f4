// Cuts the input into line pieces the way the internet file's reader does and checks
// every piece against the input. The first two bytes choose the buffer room.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "framework/line_piece.h"

#include "tests/fuzz/fuzz_check.h"

namespace {

std::string WithoutCarriageReturns(std::string_view text)
{
    std::string result;
    for (const char ch : text)
        if (ch != '\r')
            result += ch;
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    // Mode 0: one room for every call; 1: room 1, the smallest the reader passes;
    // 2: a new room for each call, as the reader shrinks it while a line fills up.
    const unsigned mode = data[0] % 3;
    const size_t fixedRoom = 1 + (data[1] | ((data[0] & 0xF0) << 4)) % 1023;
    unsigned seed = data[1] * 2654435761u + data[0];
    const std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);

    std::string joined;
    size_t pos = 0;
    while (pos < input.size()) {
        size_t room = fixedRoom;
        if (mode == 1) {
            room = 1;
        } else if (mode == 2) {
            seed = seed * 1103515245u + 12345u;
            room = 1 + (seed >> 16) % 1023;
        }
        // Exactly room bytes on the heap, so that a write past them is seen by ASan.
        std::unique_ptr<char[]> out(new char[room]);
        const std::string_view rest = input.substr(pos);
        const LinePieceStep step = CopyLinePiece(rest, out.get(), room);
        const std::string_view piece(out.get(), step.written);

        CHECK(step.written <= room, "a piece fits the room it was given");
        CHECK(step.consumed <= rest.size(), "a piece takes no more than the input holds");
        CHECK(step.consumed > 0, "every call makes progress while input remains");
        CHECK(piece.find('\r') == std::string_view::npos, "carriage returns are never stored");
        const size_t lineFeed = piece.find('\n');
        CHECK(lineFeed == std::string_view::npos || lineFeed + 1 == piece.size(),
              "a line feed can only be the last byte of a piece");
        CHECK(step.lineEnded == (!piece.empty() && piece.back() == '\n'),
              "lineEnded is set exactly when the piece ends in a line feed");
        CHECK(!step.lineEnded || rest[step.consumed - 1] == '\n',
              "a piece ends right after the line feed it stored");
        CHECK(step.lineEnded || step.written == room || step.consumed == rest.size(),
              "a piece stops early only at a line feed or a full room");
        CHECK(WithoutCarriageReturns(rest.substr(0, step.consumed)) == piece,
              "the piece is the consumed input without its carriage returns");

        joined.append(piece);
        pos += step.consumed;
    }
    CHECK(joined == WithoutCarriageReturns(input),
          "all pieces together are the input without its carriage returns");
    return 0;
}
