// Writes pixels as a PNG file (8-bit RGBA, stored without compression): enough for the
// screenshots the tests save, with no library behind it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// rgba: width * height pixels, top row first, bytes in the order R, G, B, A.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba);
