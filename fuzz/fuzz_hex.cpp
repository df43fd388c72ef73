// The hex codec: DecodeHex and HexPairValue against a digit test of their own and
// Qt's decoder, EncodeHex against Qt's encoder and DecodeHex.
#include "fuzzcheck.h"
#include "phonefs/routes.h"

#include <QByteArray>

namespace {

void checkDecode(QByteArrayView text)
{
    const std::optional<QByteArray> decoded = DecodeHex(text);
    FUZZ_CHECK(decoded.has_value() == IsWholeHex(text));
    if (!decoded)
        return;
    // On valid text Qt's lenient decoder has nothing to skip, so it is an exact oracle.
    FUZZ_CHECK(*decoded == QByteArray::fromHex(text.toByteArray()));
    for (qsizetype i = 0; i < decoded->size(); ++i)
        FUZZ_CHECK(HexPairValue(text.sliced(2 * i)) == static_cast<unsigned char>(decoded->at(i)));
}

void checkPair(QByteArrayView text)
{
    const std::optional<int> value = HexPairValue(text);
    FUZZ_CHECK(value.has_value() == (text.size() >= 2 && IsWholeHex(text.first(2))));
    FUZZ_CHECK(!value || (*value >= 0 && *value <= 255));
    // Only the first two characters count.
    FUZZ_CHECK(!value || DecodeHex(text.first(2)) == QByteArray(1, static_cast<char>(*value)));
}

void checkEncode(QByteArrayView bytes)
{
    // Upper case, two digits for every byte; any bytes come back whole, in either case.
    const QByteArray lower = bytes.toByteArray().toHex();
    FUZZ_CHECK(EncodeHex(bytes) == lower.toUpper());
    FUZZ_CHECK(DecodeHex(lower) == bytes.toByteArray());
    FUZZ_CHECK(DecodeHex(lower.toUpper()) == bytes.toByteArray());
}

} // namespace

void FuzzOneInput(QByteArrayView input)
{
    checkDecode(input);
    // The odd-length twin of every input, so both length cases see the same digits.
    if (!input.isEmpty())
        checkDecode(input.chopped(1));
    checkPair(input);
    checkEncode(input);
    FUZZ_CHECK(IsSkippedName(input) == (!input.contains('.') || input == ".."));
}
