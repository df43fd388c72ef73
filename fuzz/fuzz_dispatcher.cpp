// The phone link fed one reply at a time, each reply either whole or cut into
// pieces the input chooses (down to single bytes). How the serial line cuts a reply
// must not change what the program does, so both runs must agree on the names
// listed, the requests written, the messages and Save dialogs shown and the bytes
// offered for saving.
//
// Input: a header of 6 bytes, then a body.
//   byte 0   bit 0: 0 = the body is a recorded phone stream, 1 = the body describes
//            a folder and a file that a simulated phone serves.
//            bits 4-7: which listed name is chosen for the download.
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
// a bad hex digit, the device lost; bits 2-3: at which reply; bits 4-6: instead, the
// line garbles that many reads of the piece with that number, bit 7: by dropping
// its last byte, else by a count 10 too high); a layout byte (hex
// digits per marked data line, in eights; 0 for one line); a manners byte (bits
// 0-1: a line sent unasked in front of every reply, none, RING, +CIEV or +CMTI;
// bit 2: command echo off; bit 3: the user cancels during a read reply, bits 4-5
// say which, bits 6-7 how many quarters of it have arrived by then; echo off or a
// cancel leave out the fault); the rest is the file's content, repeated up to its
// size. Besides agreeing with each other, both runs must list exactly the served
// names and, without a fault or a cancel, offer exactly the file (a piece garbled
// more than three times in a row gives the copy up), unless it is a
// damaged archive: then its pieces are read again, and the user is asked first. After a cancel
// the listing asked for at once must come through whole, whatever the phone still
// sent. With echo off no reply is the file's, so the user ends up cancelling.
#include "fuzzcheck.h"
#include "phonefs/archivecheck.h"
#include "phonefs/download.h"
#include "support/fakephone.h"
#include "support/phonereplies.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstdint>
#include <random>

namespace {

// The piece lengths, from a generator seeded by the input; a bound on the pieces
// per reply keeps a run of a large file short.
struct Cutter
{
    qsizetype longest = 0; // 0: every reply whole
    bool emptyPieces = false;
    std::minstd_rand random;

    QByteArrayList cut(const QByteArray &text)
    {
        if (longest == 0)
            return {text};
        const qsizetype shortest = qMax<qsizetype>(1, text.size() / 2048);
        std::uniform_int_distribution<qsizetype> length(shortest, qMax(shortest, longest));
        QByteArrayList pieces;
        for (qsizetype from = 0; from < text.size(); from += pieces.last().size()) {
            if (emptyPieces && random() % 8 == 0)
                pieces.append(QByteArray());
            pieces.append(text.mid(from, length(random)));
        }
        return pieces;
    }
};

// One program run: fresh link state, port, windows and dialogs.
struct Session : FakePhone
{
    Cutter cutter;

    explicit Session(Cutter cuts)
        : cutter(cuts)
    {
        (void)link.refresh();
    }
    void receiveReply(const QByteArray &reply)
    {
        for (const QByteArray &piece : cutter.cut(reply))
            receive(piece);
    }
    // What the main window does on Download: ask for piece 0 of a listed name.
    void startDownload(uint8_t choice)
    {
        if (!view.rawNames.isEmpty())
            (void)FakePhone::startDownload(choice % view.rawNames.size());
    }
};

// Every run is made twice: with each reply whole (a default Cutter) and with cut.
struct Header
{
    uint8_t choice;
    Cutter cut;
};

Header readHeader(QByteArrayView input)
{
    const auto data = [&](qsizetype i) { return uint8_t(input[i]); };
    const uint32_t seed = data(2) | data(3) << 8 | data(4) << 16 | uint32_t(data(5)) << 24;
    return {uint8_t(data(0) >> 4), Cutter{qsizetype(1) << (data(1) & 15), bool(data(1) & 16), std::minstd_rand(seed)}};
}

void checkViewConsistent(const FakeView &view)
{
    // Counted as the digits arrive, the progress never has to take a byte back.
    FUZZ_CHECK(std::is_sorted(view.progress.begin(), view.progress.end()));
    FUZZ_CHECK(view.rawNames.size() == view.readableNames.size());
    for (qsizetype i = 0; i < view.rawNames.size(); ++i) {
        const QByteArray &raw = view.rawNames.at(i);
        FUZZ_CHECK(IsListedName(raw));
        FUZZ_CHECK(view.readableNames.at(i) == ReadableName(raw));
    }
}

// Everything the user or the phone could tell apart, but for the debug window's
// status label: the listing is parsed with as much of the CR LF after "OK" as came
// in the same read, so when "OK" shares its line with other text, or is itself the
// status line, that line can end differently.
void checkSameOutcome(const Session &a, const Session &b)
{
    checkViewConsistent(a.view);
    checkViewConsistent(b.view);
    FUZZ_CHECK(a.view.rawNames == b.view.rawNames && a.view.readableNames == b.view.readableNames);
    // How often the progress shows depends on the cutting.
    FUZZ_CHECK(a.view.downloadRunning == b.view.downloadRunning);
    FUZZ_CHECK(a.view.traffic == b.view.traffic && a.view.lamp == b.view.lamp);
    FUZZ_CHECK(a.port.written == b.port.written);
    FUZZ_CHECK(a.prompts.messageTexts() == b.prompts.messageTexts());
    FUZZ_CHECK(a.prompts.proposedNames == b.prompts.proposedNames && a.prompts.beeps == b.prompts.beeps);
    FUZZ_CHECK(a.prompts.offeredBytes == b.prompts.offeredBytes);
    FUZZ_CHECK(a.state().replyBuffer == b.state().replyBuffer && a.state().echoBuffer == b.state().echoBuffer);
    FUZZ_CHECK(a.state().download.fileData == b.state().download.fileData);
    FUZZ_CHECK(a.state().download.chunkIndex == b.state().download.chunkIndex);
}

// ---- Recorded streams ----

void fuzzRecordedStream(Header header, const QByteArray &stream)
{
    // Each reply ends with its first result code and as much of CR LF as follows it.
    static const QRegularExpression ReplyEnd(QStringLiteral("(OK|ERROR)(\r\n?)?"));
    QByteArrayList replies;
    qsizetype from = 0;
    for (const QRegularExpressionMatch &match : ReplyEnd.globalMatch(QString::fromLatin1(stream))) {
        replies.append(stream.sliced(from, match.capturedEnd() - from));
        from = match.capturedEnd();
    }
    if (from < stream.size())
        replies.append(stream.sliced(from));

    Session whole(Cutter{});
    Session cut(header.cut);
    for (Session *session : {&whole, &cut}) {
        for (qsizetype i = 0; i < replies.size(); ++i) {
            if (i == 1)
                session->startDownload(header.choice);
            session->receiveReply(replies.at(i));
        }
    }
    checkSameOutcome(whole, cut);

    // Pieces that straddle replies: several results can land in one piece, which
    // the link need not handle as it handles them one by one.
    header.cut.random.seed(~header.cut.random());
    Session straddling(header.cut);
    for (const QByteArray &piece : straddling.cutter.cut(stream)) {
        const bool listed = !straddling.view.rawNames.isEmpty();
        straddling.receive(piece);
        if (!listed)
            straddling.startDownload(header.choice);
    }
    checkViewConsistent(straddling.view);
    FUZZ_CHECK(straddling.view.traffic == stream);
}

// ---- A simulated phone ----

struct Phone
{
    enum class Fault { None, ErrorReply, BadDigit, DeviceLost };

    QByteArrayList names{".", ".."}; // a phone lists the folder's own entries too
    QByteArray file;
    Fault fault = Fault::None;
    int faultAt = 0;   // the read reply (from 0) with the fault; for DeviceLost the
                       // reply (listing = 0) before which the device goes
    int garbled = 0;    // reads of piece faultAt the line garbles, one after the other
    bool garbleByDroppingAByte = false;
    int lineWidth = 0; // hex digits per marked line, 0 for one line
    QByteArray unasked;
    bool echo = true;
    std::optional<int> cancelRead; // the read reply (from 0) during which the user cancels
    int cancelQuarters = 0;        // how much of it has arrived by then

    explicit Phone(QByteArrayView body)
    {
        qsizetype at = 0;
        auto byte = [&] { return at < body.size() ? uint8_t(body[at++]) : uint8_t(0); };
        for (int count = byte() % 9; count > 0; --count) {
            const qsizetype length = qMin<qsizetype>(byte() % 24, body.size() - at);
            names.append(body.sliced(at, length).toByteArray());
            at += length;
        }
        const uint8_t sizeHigh = byte();
        qsizetype size = byte() << 8;
        size |= byte();
        // One file in eight runs past the first piece.
        if ((sizeHigh & 7) == 7)
            size += PieceLength * (1 + (sizeHigh >> 3) % 2);
        const uint8_t faultByte = byte();
        fault = Fault(faultByte % 4);
        faultAt = (faultByte >> 2) % 4;
        garbled = (faultByte >> 4) & 7;
        garbleByDroppingAByte = faultByte & 128;
        lineWidth = 8 * byte();
        const uint8_t manners = byte();
        unasked = QByteArrayList{"", "\r\nRING\r\n", "\r\n+CIEV: 2,1\r\n", "\r\n+CMTI: \"SM\",3\r\n"}.at(manners & 3);
        echo = !(manners & 4);
        if (manners & 8) {
            cancelRead = (manners >> 4) & 3;
            cancelQuarters = manners >> 6;
        }
        if (garbled > 0)
            fault = Fault::None;
        if (!echo || cancelRead)
            fault = Fault::None, garbled = 0;
        const QByteArray content = body.sliced(at).toByteArray();
        file = content.isEmpty() ? QByteArray(size, '\0') : content.repeated(size / content.size() + 1).first(size);
    }

    QByteArray echoOf(const QString &request) const { return echo ? request.toLatin1() : QByteArray(); }

    // Without the echo to tell it apart, a line in front of the listing would be
    // taken for part of it.
    QByteArray listingReply(const QString &request) const
    {
        return (echo ? unasked : QByteArray()) + ListingReply(names, echoOf(request));
    }

    QByteArray readReply(const QString &request, int readNumber, bool garble) const
    {
        const QByteArray echoed = echoOf(request);
        if (fault == Fault::ErrorReply && readNumber == faultAt)
            return unasked + echoed + "\r\nERROR\r\n";
        const QByteArray piece = file.mid(request.section(QLatin1Char(','), 1, 1).toLongLong(), PieceLength);
        const bool dropByte = garble && garbleByDroppingAByte && !piece.isEmpty();
        QByteArray reply = ReadReply(echoed, dropByte ? piece.chopped(1) : piece,
                                     piece.size() + (garble && !dropByte ? 10 : 0), lineWidth);
        if (fault == Fault::BadDigit && readNumber == faultAt)
            reply.insert(echoed.size() + 7 + piece.size(), 'X');
        return unasked + reply;
    }

    // The user cancels and asks for the listing again at once, while the phone
    // still sends what it owes.
    void cancelAndList(Session &session, const QByteArray &owed) const
    {
        session.link.cancelDownload();
        (void)session.link.refresh();
        session.receiveReply(owed + listingReply(session.port.written.last()));
    }

    // Answers every request written, in order, until no more come; the download
    // starts once the listing is in.
    void run(Session &session, uint8_t choice) const
    {
        int replies = 0;
        int reads = 0;
        int garbledSent = 0;
        for (qsizetype answered = 0; answered < session.port.written.size(); ++replies) {
            if (fault == Fault::DeviceLost && replies == faultAt) {
                session.loseDevice();
                return;
            }
            const QString request = session.port.written.at(answered++);
            if (request.startsWith(QLatin1String("AT*ELIF"))) {
                session.receiveReply(listingReply(request));
                session.startDownload(choice);
                continue;
            }
            const bool garble = request.section(QLatin1Char(','), 1, 1).toLongLong() == faultAt * PieceLength
                                && garbledSent < garbled;
            garbledSent += garble;
            const QByteArray reply = readReply(request, reads, garble);
            if (cancelRead == reads++) {
                const qsizetype heard = reply.size() * cancelQuarters / 4;
                session.receiveReply(reply.first(heard));
                cancelAndList(session, reply.sliced(heard));
                return;
            }
            session.receiveReply(reply);
        }
        if (session.view.downloadRunning)
            cancelAndList(session, {});
    }
};

void fuzzDescribedPhone(const Header &header, QByteArrayView body)
{
    const Phone phone(body);
    Session whole(Cutter{});
    phone.run(whole, header.choice);
    Session cut(header.cut);
    phone.run(cut, header.choice);
    checkSameOutcome(whole, cut);
    // Well-formed replies keep "OK" on a line of its own, so the label agrees too.
    FUZZ_CHECK(whole.view.statusTexts == cut.view.statusTexts);

    // What the phone served must be what the program made of it.
    const bool listingLost = phone.fault == Phone::Fault::DeviceLost && phone.faultAt == 0;
    QByteArrayList listed = listingLost ? QByteArrayList() : phone.names;
    listed.removeIf([](const QByteArray &name) { return !IsListedName(name); });
    FUZZ_CHECK(cut.view.rawNames == listed);
    // Finished, failed or cut off: the window takes input again.
    FUZZ_CHECK(!cut.view.downloadRunning);
    if (listed.isEmpty()) {
        FUZZ_CHECK(cut.port.written.size() == 1); // the listing request alone
        FUZZ_CHECK(cut.prompts.offeredBytes.isEmpty());
        return;
    }

    // A file that begins or ends as a ZIP archive is checked; damaged, its pieces
    // are read again once, come back the same, and the user is asked (No).
    const int reads = int(phone.file.size() / PieceLength) + 1;
    const ArchiveCheck check = CheckArchive(phone.file);
    const bool damaged = check.verdict == ArchiveCheck::Verdict::Damaged;
    CopyRepair repair;
    const int allReads = reads + (damaged && repair.startRound(check, phone.file.size()) ? repair.pieces() : 0);
    const bool faultHit = phone.fault == Phone::Fault::DeviceLost ? phone.faultAt <= allReads
                                                                   : phone.fault != Phone::Fault::None && phone.faultAt < allReads;
    // A garbled piece is asked for again at once, three times at most.
    const QStringList requests = cut.port.written.filter(QRegularExpression(QStringLiteral("^AT\\*ERIF")));
    const int garbledReads = phone.faultAt < reads ? qMin(phone.garbled, MaxLineRetries + 1) : 0;
    const bool gaveUp = garbledReads > MaxLineRetries;
    QStringList walk = requests;
    if (garbledReads > 0) {
        FUZZ_CHECK(requests.mid(phone.faultAt, qMin(garbledReads, MaxLineRetries) + 1)
                   == QStringList(qMin(garbledReads, MaxLineRetries) + 1, requests.value(phone.faultAt)));
        walk.remove(phone.faultAt, qMin<qsizetype>(qMin(garbledReads, MaxLineRetries), walk.size() - phone.faultAt));
    }
    // The read requests walk the file piece by piece, always for the same path, then
    // ask again for pieces of it.
    for (qsizetype k = 0; k < walk.size(); ++k) {
        FUZZ_CHECK(walk.at(k).section(QLatin1Char(','), 0, 0) == walk.first().section(QLatin1Char(','), 0, 0));
        const qint64 offset = walk.at(k).section(QLatin1Char(','), 1, 1).toLongLong();
        FUZZ_CHECK(k < reads ? offset == k * PieceLength : offset % PieceLength == 0 && offset < reads * PieceLength);
    }
    if (gaveUp) {
        FUZZ_CHECK(requests.size() == phone.faultAt + 1 + MaxLineRetries);
        FUZZ_CHECK(cut.prompts.offeredBytes.isEmpty());
        FUZZ_CHECK(cut.prompts.messageTexts()
                   == QStringList{QStringLiteral("Ответ телефона искажён на линии: файл не сохранён")});
        return;
    }
    if (!phone.echo || (phone.cancelRead && *phone.cancelRead < allReads)) {
        // Cancelled: nothing saved or said, and the listing asked for last came whole.
        FUZZ_CHECK(cut.prompts.offeredBytes.isEmpty() && cut.prompts.messages.isEmpty());
        FUZZ_CHECK(cut.port.written.last().startsWith(QLatin1String("AT*ELIF")));
        FUZZ_CHECK(requests.size() == (phone.echo ? *phone.cancelRead + 1 : 1));
        FUZZ_CHECK(cut.state().download.state == Download::State::Idle);
        return;
    }
    FUZZ_CHECK(cut.port.written.size() == requests.size() + 1);
    FUZZ_CHECK(faultHit || requests.size() == allReads + garbledReads);
    FUZZ_CHECK(faultHit || cut.prompts.questions.size() == (damaged ? 1 : 0));
    if (faultHit || damaged) {
        FUZZ_CHECK(cut.prompts.offeredBytes.isEmpty());
        return;
    }
    FUZZ_CHECK(requests.first().startsWith(QLatin1String("AT*ERIF=\"")));
    FUZZ_CHECK(cut.prompts.offeredBytes == QByteArrayList{phone.file});
    // Every finished piece is shown exactly, and nothing counts beyond the file.
    for (int k = 1; k < reads; ++k)
        FUZZ_CHECK(cut.view.progress.contains(k * PieceLength));
    FUZZ_CHECK(cut.view.progress.isEmpty() || cut.view.progress.last() <= phone.file.size());
    FUZZ_CHECK(cut.state().download.state == Download::State::Idle);
    FUZZ_CHECK(cut.state().download.fileData.isEmpty());
}

} // namespace

void FuzzOneInput(QByteArrayView input)
{
    constexpr qsizetype HeaderSize = 6;
    if (input.size() < HeaderSize)
        return;
    const QByteArray body = input.sliced(HeaderSize).toByteArray();
    if (input[0] & 1)
        fuzzDescribedPhone(readHeader(input), body);
    else
        fuzzRecordedStream(readHeader(input), body);
}
