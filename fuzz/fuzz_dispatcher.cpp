// The phone link fed one reply at a time, each reply either whole or cut
// into pieces the input chooses (down to single bytes). How the serial line cuts a
// reply must not change what the program does, so both runs must agree on the
// names listed, the requests written, the messages and Save dialogs shown and the
// bytes offered for saving.
//
// Input: a header of 6 bytes, then a body.
//   byte 0   bit 0: 0 = the body is a recorded phone stream, 1 = the body describes
//            a folder and a file that a simulated phone serves.
//            bits 4-7: which listed name is selected for the download.
//   byte 1   bits 0-3: the longest piece is 2^n bytes; bit 4: empty pieces too.
//   byte 2-5 seed of the piece lengths.
//
// A recorded stream is taken apart into replies after each result code ("OK" or
// "ERROR") and the CR LF behind it; the first reply is the listing's, then the
// download is started and the rest follow. The same stream is also fed with cuts
// that ignore reply boundaries, with nothing asserted but the view's consistency.
//
// A described phone (body): a byte with the number of names, each name as a length
// byte and its bytes; the file size as a byte that adds one or two whole pieces when
// its low three bits are set, then two bytes; a fault byte (bits 0-1: none, ERROR,
// a bad hex digit, the device lost; bits 2-3: at which reply); a layout byte (hex
// digits per marked data line, in eights; 0 for one line); the rest is the file's
// content, repeated up to its size. Besides agreeing with each other, both runs
// must list exactly the served names and, without a fault, offer exactly the file.
#include "fuzzcheck.h"
#include "phonefs/download.h"
#include "support/fakephone.h"
#include "support/phonereplies.h"

#include <cstddef>
#include <cstdint>
#include <limits>

namespace {

constexpr QByteArrayView Ok = "OK";
constexpr QByteArrayView Error = "ERROR";

// The piece lengths: a small generator seeded by the input, so long replies get
// as many cuts as short ones.
class Cutter
{
public:
    Cutter(uint8_t shape, uint32_t seed, bool whole)
        : m_longest(qsizetype(1) << (shape & 15))
        , m_emptyPieces(shape & 16)
        , m_state(seed)
        , m_whole(whole)
    {
    }

    QByteArrayList cut(const QByteArray &text)
    {
        if (m_whole)
            return {text};
        // A bound on the pieces per reply keeps a run of a large file short.
        const qsizetype shortest = qMax<qsizetype>(1, text.size() / 2048);
        const qsizetype longest = qMax(shortest, m_longest);
        QByteArrayList pieces;
        for (qsizetype from = 0; from < text.size();) {
            if (m_emptyPieces && next() % 8 == 0)
                pieces.append(QByteArray());
            const qsizetype length = shortest + qsizetype(next() % uint64_t(longest - shortest + 1));
            pieces.append(text.mid(from, length));
            from += length;
        }
        return pieces;
    }

private:
    uint64_t next()
    {
        // splitmix64
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    qsizetype m_longest;
    bool m_emptyPieces;
    uint64_t m_state;
    bool m_whole;
};

// One program run: fresh link state, port, windows and dialogs.
struct Session : FakePhone
{
    QStringList startFailures;

    void receiveReply(const QByteArray &reply, Cutter &cutter)
    {
        for (const QByteArray &piece : cutter.cut(reply))
            receive(piece);
    }
    void requestListing()
    {
        if (const MaybeFailure failure = link.refresh())
            startFailures.append(failure->message());
    }
    // What the main window does on Download: ask for piece 0 of a listed name.
    void startDownload(uint8_t choice)
    {
        if (view.rawNames.isEmpty())
            return;
        if (const MaybeFailure failure = FakePhone::startDownload(choice % view.rawNames.size()))
            startFailures.append(failure->message());
    }
};

void checkViewConsistent(const FakeView &view)
{
    FUZZ_CHECK(view.rawNames.size() == view.readableNames.size());
    for (qsizetype i = 0; i < view.rawNames.size(); ++i) {
        const QByteArray &raw = view.rawNames.at(i);
        FUZZ_CHECK(raw.contains('.') && raw != "..");
        const qsizetype nul = raw.indexOf('\0');
        FUZZ_CHECK(view.readableNames.at(i) == QString::fromUtf8(nul < 0 ? raw : raw.first(nul)));
    }
}

// Everything the user or the phone could tell apart, but for the debug window's
// status label: the listing is parsed with as much of the CR LF after "OK" as came
// in the same read, so when "OK" shares its line with other text, or is itself the
// status line, that line can end differently.
void checkSameOutcome(const Session &a, const Session &b)
{
    FUZZ_CHECK(a.view.rawNames == b.view.rawNames);
    FUZZ_CHECK(a.view.readableNames == b.view.readableNames);
    FUZZ_CHECK(a.view.downloadRunning == b.view.downloadRunning);
    FUZZ_CHECK(a.view.progress == b.view.progress);
    FUZZ_CHECK(a.view.traffic == b.view.traffic);
    FUZZ_CHECK(a.view.lamp == b.view.lamp);
    FUZZ_CHECK(a.port.written == b.port.written);
    FUZZ_CHECK(a.prompts.messageTexts() == b.prompts.messageTexts());
    FUZZ_CHECK(a.prompts.questions == b.prompts.questions);
    FUZZ_CHECK(a.prompts.proposedNames == b.prompts.proposedNames);
    FUZZ_CHECK(a.prompts.offeredBytes == b.prompts.offeredBytes);
    FUZZ_CHECK(a.prompts.beeps == b.prompts.beeps);
    FUZZ_CHECK(a.startFailures == b.startFailures);
    FUZZ_CHECK(a.state().replyBuffer == b.state().replyBuffer);
    FUZZ_CHECK(a.state().echoBuffer == b.state().echoBuffer);
    FUZZ_CHECK(a.state().download.fileData == b.state().download.fileData);
    FUZZ_CHECK(a.state().download.chunkIndex == b.state().download.chunkIndex);
}

// ---- Recorded streams ----

// Each reply ends with the first result code and as much of CR LF as follows it.
QByteArrayList splitReplies(QByteArrayView stream)
{
    QByteArrayList replies;
    qsizetype from = 0;
    while (from < stream.size()) {
        const qsizetype ok = stream.indexOf(Ok, from);
        const qsizetype error = stream.indexOf(Error, from);
        constexpr qsizetype None = std::numeric_limits<qsizetype>::max();
        const qsizetype end = qMin(ok < 0 ? None : ok + Ok.size(), error < 0 ? None : error + Error.size());
        if (end == None) {
            replies.append(stream.sliced(from).toByteArray());
            break;
        }
        qsizetype after = end;
        if (stream.sliced(after).startsWith("\r\n"))
            after += 2;
        else if (stream.sliced(after).startsWith("\r"))
            after += 1;
        replies.append(stream.sliced(from, after - from).toByteArray());
        from = after;
    }
    return replies;
}

void replay(Session &session, const QByteArrayList &replies, uint8_t choice, Cutter cutter)
{
    session.requestListing();
    for (qsizetype i = 0; i < replies.size(); ++i) {
        if (i == 1)
            session.startDownload(choice);
        session.receiveReply(replies.at(i), cutter);
    }
}

// Bytes 2 to 5 of the header seed the cutting, little-endian.
uint32_t cuttingSeed(const uint8_t *header)
{
    return uint32_t(header[2]) | uint32_t(header[3]) << 8 | uint32_t(header[4]) << 16 | uint32_t(header[5]) << 24;
}

void fuzzRecordedStream(const uint8_t *header, QByteArrayView stream)
{
    const QByteArrayList replies = splitReplies(stream);
    const uint32_t seed = cuttingSeed(header);
    const uint8_t choice = header[0] >> 4;

    Session whole;
    replay(whole, replies, choice, Cutter(header[1], seed, true));
    Session cut;
    replay(cut, replies, choice, Cutter(header[1], seed, false));
    checkViewConsistent(whole.view);
    checkViewConsistent(cut.view);
    checkSameOutcome(whole, cut);

    // Pieces that straddle replies: several results can land in one piece, which
    // the dispatcher need not handle as it handles them one by one.
    Session straddling;
    straddling.requestListing();
    Cutter cutter(header[1], ~seed, false);
    bool started = false;
    for (const QByteArray &piece : cutter.cut(stream.toByteArray())) {
        straddling.receive(piece);
        if (!started && !straddling.view.rawNames.isEmpty()) {
            straddling.startDownload(choice);
            started = true;
        }
    }
    checkViewConsistent(straddling.view);
    FUZZ_CHECK(straddling.view.traffic == stream);
}

// ---- A simulated phone ----

class Reader
{
public:
    explicit Reader(QByteArrayView bytes)
        : m_bytes(bytes)
    {
    }
    uint8_t byte() { return m_at < m_bytes.size() ? uint8_t(m_bytes[m_at++]) : 0; }
    QByteArray take(qsizetype n)
    {
        const QByteArrayView taken = m_bytes.sliced(m_at).first(qMin(n, m_bytes.size() - m_at));
        m_at += taken.size();
        return taken.toByteArray();
    }
    QByteArray rest() { return take(m_bytes.size() - m_at); }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
};

struct Phone
{
    enum class Fault { None, ErrorReply, BadDigit, DeviceLost };

    QByteArrayList names;
    QByteArray file;
    Fault fault = Fault::None;
    int faultAt = 0;  // the read reply (from 0) with the fault; for DeviceLost the
                      // reply (listing = 0) before which the device goes
    int lineWidth = 0; // hex digits per marked line, 0 for one line

    QByteArray readReply(const QString &request, int readNumber) const
    {
        const QByteArray echo = request.toLatin1();
        if (fault == Fault::ErrorReply && readNumber == faultAt)
            return echo + "\r\nERROR\r\n";
        const QByteArray piece = file.mid(request.section(QLatin1Char(','), 1, 1).toLongLong(), PieceLength);
        QByteArray reply = ReadReply(echo, piece, piece.size(), lineWidth);
        if (fault == Fault::BadDigit && readNumber == faultAt)
            reply.insert(echo.size() + 7 + piece.size(), 'X');
        return reply;
    }

    // Answers every request the session has written, in order, until it writes no more.
    void serve(Session &session, Cutter &cutter, qsizetype &answered, int &replies, int &reads) const
    {
        while (answered < session.port.written.size()) {
            if (fault == Fault::DeviceLost && replies == faultAt) {
                session.loseDevice();
                answered = session.port.written.size();
                return;
            }
            const QString request = session.port.written.at(answered++);
            const QByteArray reply = request.startsWith(QLatin1String("AT*ELIF"))
                                         ? ListingReply(names, request.toLatin1())
                                         : readReply(request, reads++);
            ++replies;
            session.receiveReply(reply, cutter);
        }
    }

    void run(Session &session, uint8_t choice, Cutter cutter) const
    {
        qsizetype answered = 0;
        int replies = 0;
        int reads = 0;
        session.requestListing();
        serve(session, cutter, answered, replies, reads);
        if (session.port.open)
            session.startDownload(choice);
        serve(session, cutter, answered, replies, reads);
    }
};

Phone describedPhone(QByteArrayView body)
{
    Reader reader(body);
    Phone phone;
    // The phone lists the folder's own entries too.
    phone.names = {".", ".."};
    for (int count = reader.byte() % 9; count > 0; --count)
        phone.names.append(reader.take(reader.byte() % 24));
    const uint8_t sizeHigh = reader.byte();
    const uint8_t sizeMiddle = reader.byte();
    qsizetype size = sizeMiddle << 8 | reader.byte();
    // One file in eight runs past the first piece.
    if ((sizeHigh & 7) == 7)
        size += PieceLength * (1 + (sizeHigh >> 3) % 2);
    const uint8_t fault = reader.byte();
    phone.fault = Phone::Fault(fault % 4);
    phone.faultAt = (fault >> 2) % 4;
    phone.lineWidth = 8 * reader.byte();
    const QByteArray content = reader.rest();
    phone.file = content.isEmpty() ? QByteArray(size, '\0') : content.repeated(size / content.size() + 1).first(size);
    return phone;
}

void fuzzDescribedPhone(const uint8_t *header, QByteArrayView body)
{
    const Phone phone = describedPhone(body);
    const uint32_t seed = cuttingSeed(header);
    const uint8_t choice = header[0] >> 4;

    Session whole;
    phone.run(whole, choice, Cutter(header[1], seed, true));
    Session cut;
    phone.run(cut, choice, Cutter(header[1], seed, false));
    checkViewConsistent(whole.view);
    checkViewConsistent(cut.view);
    checkSameOutcome(whole, cut);
    // Well-formed replies keep "OK" on a line of its own, so the label agrees too.
    FUZZ_CHECK(whole.view.statusTexts == cut.view.statusTexts);

    // What the phone served must be what the program made of it.
    const bool listingLost = phone.fault == Phone::Fault::DeviceLost && phone.faultAt == 0;
    QByteArrayList listed;
    for (const QByteArray &name : phone.names) {
        if (name.contains('.') && name != ".." && !listingLost)
            listed.append(name);
    }
    FUZZ_CHECK(cut.view.rawNames == listed);
    if (listed.isEmpty()) {
        FUZZ_CHECK(cut.port.written.size() == 1); // the listing request alone
        FUZZ_CHECK(cut.prompts.offeredBytes.isEmpty());
        return;
    }

    const int reads = int(phone.file.size() / PieceLength) + 1;
    const bool faultHit = (phone.fault == Phone::Fault::ErrorReply || phone.fault == Phone::Fault::BadDigit)
                              ? phone.faultAt < reads
                              : phone.fault == Phone::Fault::DeviceLost && phone.faultAt <= reads;
    // The read requests walk the file piece by piece, always for the same path.
    const QStringList requests = cut.port.written.mid(1);
    FUZZ_CHECK(requests.size() <= reads);
    for (qsizetype k = 0; k < requests.size(); ++k) {
        FUZZ_CHECK(requests.at(k).startsWith(QLatin1String("AT*ERIF=\"")));
        FUZZ_CHECK(requests.at(k).section(QLatin1Char(','), 0, 0) == requests.first().section(QLatin1Char(','), 0, 0));
        FUZZ_CHECK(requests.at(k).section(QLatin1Char(','), 1, 1).toLongLong() == k * PieceLength);
        FUZZ_CHECK(requests.at(k).section(QLatin1Char(','), 2) == QStringLiteral("%1\r").arg(PieceLength));
    }
    // Finished, failed or cut off: the window takes input again.
    FUZZ_CHECK(!cut.view.downloadRunning);
    if (faultHit) {
        FUZZ_CHECK(cut.prompts.offeredBytes.isEmpty());
        return;
    }
    FUZZ_CHECK(requests.size() == reads);
    FUZZ_CHECK(cut.prompts.offeredBytes == QByteArrayList{phone.file});
    QList<qint64> progress;
    for (int k = 1; k < reads; ++k)
        progress.append(k * PieceLength);
    FUZZ_CHECK(cut.view.progress == progress);
    FUZZ_CHECK(!cut.view.downloadRunning);
    FUZZ_CHECK(cut.state().download.fileData.isEmpty());
    FUZZ_CHECK(cut.state().download.state == Download::State::Idle);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr size_t HeaderSize = 6;
    if (size < HeaderSize)
        return 0;
    const QByteArrayView body(reinterpret_cast<const char *>(data) + HeaderSize,
                              static_cast<qsizetype>(size - HeaderSize));
    if (data[0] & 1)
        fuzzDescribedPhone(data, body);
    else
        fuzzRecordedStream(data, body);
    return 0;
}
