// Hex text as the phone's AT commands carry it: names, paths and file data.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Appends two upper-case hex digits per byte.
void appendHex(std::string &out, const unsigned char *data, std::size_t size);
std::string toHex(std::string_view bytes);

std::string upperCased(std::string_view text);
bool isHexText(std::string_view text);
