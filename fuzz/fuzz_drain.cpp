// The drain that drops what the phone still sends for cancelled reads. Any bytes,
// cut anywhere: what it hands on, followed by the text after that piece, is the
// same as when the text comes in one piece.
#include "fuzzcheck.h"
#include "app/replydrain.h"

#include <QByteArrayList>

#include <cstdint>
#include <random>

namespace {

// A cancelled request whose echo has not arrived yet.
const QByteArray CancelledEcho = "AT*ERIF=\"2F612E6A6172\",0,65535\r";

ReplyDrain drainOwing(uint8_t setup)
{
    ReplyDrain drain;
    for (int reply = 0; reply <= setup % 3; ++reply)
        drain.add(setup & (8 << reply) ? CancelledEcho : QByteArray());
    return drain;
}

} // namespace

void FuzzOneInput(QByteArrayView input)
{
    if (input.size() < 2)
        return;
    const auto setup = uint8_t(input[0]);
    std::minstd_rand random{uint8_t(input[1])};
    const QByteArray text = input.sliced(2).toByteArray();

    ReplyDrain whole = drainOwing(setup);
    const std::optional<QByteArray> wholeRest = whole.take(text);
    FUZZ_CHECK(whole.isActive() == !wholeRest.has_value());

    ReplyDrain cut = drainOwing(setup);
    std::optional<QByteArray> handedOn;
    for (qsizetype from = 0; from < text.size() && !handedOn;) {
        const qsizetype length = qMin<qsizetype>(text.size() - from, 1 + random() % 16);
        const std::optional<QByteArray> rest = cut.take(text.sliced(from, length));
        from += length;
        if (rest)
            handedOn = *rest + text.sliced(from);
    }
    FUZZ_CHECK(handedOn == wholeRest);
}
