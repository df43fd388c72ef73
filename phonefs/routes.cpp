#include "routes.h"

#include "charset/ansicodepage.h"

#include <array>
#include <cstring>

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

// The value of every two-byte digit pair, indexed by the pair's bytes in memory
// order, or -1: one lookup per decoded byte instead of two and a shift.
std::array<qint16, 65536> makePairValues()
{
    std::array<qint16, 65536> values{};
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) {
            const int high = DigitValues[first];
            const int low = DigitValues[second];
            const unsigned char bytes[2] = {static_cast<unsigned char>(first), static_cast<unsigned char>(second)};
            quint16 index;
            std::memcpy(&index, bytes, sizeof index);
            values[index] = static_cast<qint16>(high < 0 || low < 0 ? -1 : high * 16 + low);
        }
    }
    return values;
}

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
    // Two digits for every byte, as the phone writes them: with "1" for 0x01 the
    // phone would read the next digit into the same byte and look for another path.
    for (const char c : bytes) {
        const auto value = static_cast<unsigned char>(c);
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
    static const std::array<qint16, 65536> PairValues = makePairValues();
    QByteArray bytes(hex.size() / 2, Qt::Uninitialized);
    char *out = bytes.data();
    const char *in = hex.data();
    const char *const end = in + hex.size();
    // One pass, one allocation: whole 131070-digit chunks come through here.
    int invalid = 0;
    for (; in != end; in += 2) {
        quint16 pair;
        std::memcpy(&pair, in, sizeof pair);
        const int value = PairValues[pair];
        invalid |= value;
        *out++ = static_cast<char>(value);
    }
    if (invalid < 0)
        return std::nullopt;
    return bytes;
}

bool IsSkippedName(QByteArrayView name)
{
    return !name.contains('.') || name == "..";
}
