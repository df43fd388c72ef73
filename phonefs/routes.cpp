#include "routes.h"

#include "charset/ansicodepage.h"

#include <array>

namespace {

constexpr signed char NotADigit = -1;

constexpr std::array<signed char, 256> makeDigitValues()
{
    std::array<signed char, 256> values{};
    for (auto &value : values)
        value = NotADigit;
    for (int c = '0'; c <= '9'; ++c)
        values[c] = static_cast<signed char>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) {
        values[c] = static_cast<signed char>(c - 'A' + 10);
        values[c - 'A' + 'a'] = static_cast<signed char>(c - 'A' + 10);
    }
    return values;
}

constexpr std::array<signed char, 256> DigitValues = makeDigitValues();

inline int digitValue(char c)
{
    return DigitValues[static_cast<unsigned char>(c)];
}

} // namespace

QByteArray EncodeHex(QByteArrayView bytes)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    QByteArray hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto value = static_cast<unsigned char>(c);
        if (value >= 16)
            hex += Digits[value >> 4];
        hex += Digits[value & 15];
    }
    return hex;
}

QByteArray EncodeHex(QStringView text)
{
    return EncodeHex(AnsiCodePage::fromText(text));
}

std::optional<int> HexPairValue(QByteArrayView pair)
{
    if (pair.size() < 2)
        return std::nullopt;
    const int high = digitValue(pair[0]);
    const int low = digitValue(pair[1]);
    if (high == NotADigit || low == NotADigit)
        return std::nullopt;
    return high * 16 + low;
}

std::optional<QByteArray> DecodeHex(QByteArrayView hex)
{
    if (hex.size() % 2 != 0)
        return std::nullopt;
    QByteArray bytes(hex.size() / 2, Qt::Uninitialized);
    char *out = bytes.data();
    const char *in = hex.data();
    const char *const end = in + hex.size();
    // One pass, one allocation: whole 131070-digit chunks come through here.
    int invalid = 0;
    for (; in != end; in += 2) {
        const int high = digitValue(in[0]);
        const int low = digitValue(in[1]);
        invalid |= high | low;
        *out++ = static_cast<char>(high * 16 + low);
    }
    if (invalid < 0)
        return std::nullopt;
    return bytes;
}

bool IsSkippedName(QByteArrayView name)
{
    return !name.contains('.') || name == "..";
}
