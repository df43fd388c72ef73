#include "hex.h"

namespace {
constexpr char digits[] = "0123456789ABCDEF";
}

void appendHex(std::string &out, const unsigned char *data, std::size_t size)
{
    const std::size_t start = out.size();
    out.resize(start + 2 * size);
    char *cursor = out.data() + start;
    for (std::size_t i = 0; i < size; ++i) {
        *cursor++ = digits[data[i] >> 4];
        *cursor++ = digits[data[i] & 0x0F];
    }
}

std::string toHex(std::string_view bytes)
{
    std::string out;
    appendHex(out, reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
    return out;
}

std::string upperCased(std::string_view text)
{
    std::string out(text);
    for (char &c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

bool isHexText(std::string_view text)
{
    for (const char c : text) {
        const bool digit = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
        if (!digit)
            return false;
    }
    return true;
}
