#pragma once

#include "scriptedprompts.h"
#include "app/linkview.h"
#include "app/phonelink.h"
#include "app/serialcontrol.h"

#include <QByteArrayList>
#include <QList>
#include <QStringList>

// A serial control that hands over scripted pieces and records what is written.
class FakeSerial : public SerialControl
{
public:
    bool open = true;
    int event = ReceiveEvent;
    QByteArray piece;
    Failure lostFailure{5, QStringLiteral("/dev/fake: связь с телефоном потеряна (Input/output error)")};
    // The device vanishes under the next write, which closes the port.
    bool loseOnWrite = false;
    // The device has vanished and its event is still to come.
    bool lossPending = false;
    QStringList written;

    MaybeFailure setCommPort(qint16) override { return std::nullopt; }
    MaybeFailure setCommDevice(const QString &) override { return std::nullopt; }
    MaybeFailure setSettings(const QString &) override { return std::nullopt; }
    MaybeFailure setPortOpen(bool opened) override
    {
        if (opened && open)
            return Failure{3, QStringLiteral("Port already open")};
        open = opened;
        return std::nullopt;
    }
    bool isPortOpen() const override { return open; }
    MaybeFailure handshakingFailure;
    MaybeFailure setHandshaking(int) override { return handshakingFailure; }
    void setRThreshold(qint16) override {}
    MaybeFailure output(const QString &text) override
    {
        if (!open)
            return lossPending ? lostFailure : Failure{13, QStringLiteral("Port is not open")};
        if (std::exchange(loseOnWrite, false)) {
            open = false;
            return Failure{5, QStringLiteral("/dev/fake: Input/output error")};
        }
        written.append(text);
        return std::nullopt;
    }
    QByteArray input() override { return std::exchange(piece, {}); }
    int commEvent() const override { return event; }
    Failure eventFailure() const override { return lostFailure; }
};

// The windows' side, as plain values.
class FakeView : public LinkView
{
public:
    QList<QByteArray> rawNames;
    QStringList readableNames;
    QList<QByteArray> statusTexts;
    bool downloadRunning = false;
    QList<qint64> progress;
    QStringList fileTitles;
    QStringList stages;
    QStringList notes;
    QList<std::pair<QString, ArchiveCheck::Verdict>> checks;
    QList<qsizetype> pieceLengths;
    QByteArray traffic;
    std::optional<bool> lamp;
    // Each completed reply, "!" in front of a rejected one.
    QByteArrayList completed;

    void clearEntries() override
    {
        rawNames.clear();
        readableNames.clear();
    }
    void addEntry(const QByteArray &rawName, const QString &readableName) override
    {
        rawNames.append(rawName);
        readableNames.append(readableName);
    }
    void setListingStatus(const QByteArray &line) override { statusTexts.append(line); }
    void setCommandLine(const QString &) override {}
    void setDownloadRunning(bool running) override { downloadRunning = running; }
    void showDownloadProgress(qint64 bytesReceived) override { progress.append(bytesReceived); }
    void showDownloadFile(const QString &title) override { fileTitles.append(title); }
    void showCopyStage(const QString &stage) override { stages.append(stage); }
    void noteCopy(const QString &line) override { notes.append(line); }
    void reportCheck(const QString &readableName, const ArchiveCheck &check) override
    {
        checks.append({readableName, check.verdict});
    }
    void showPieceLength(qsizetype length) override { pieceLengths.append(length); }
    void appendTraffic(const QByteArray &piece) override { traffic += piece; }
    void setLamp(bool linkUp) override { lamp = linkUp; }
    void replyCompleted(const QByteArray &reply, bool rejected) override
    {
        completed.append(rejected ? '!' + reply : reply);
    }
};

// Also keeps the bytes each Save dialog was shown for, so a test can see what
// would be saved without touching the disk.
class RecordingPrompts : public ScriptedPrompts
{
public:
    const Download *download = nullptr;
    QByteArrayList offeredBytes;

    std::optional<QString> saveFileName(const QString &title, const QString &filter,
                                        const QString &proposedName) override
    {
        offeredBytes.append(download->fileData);
        return ScriptedPrompts::saveFileName(title, filter, proposedName);
    }
};

// The real phone link over the fakes, fed piece by piece.
struct FakePhone
{
    FakeSerial port;
    FakeView view;
    RecordingPrompts prompts;
    PhoneLink link{port, view, prompts};

    // Given a listing reply, the phone has sent it.
    explicit FakePhone(const QByteArray &listing = {})
    {
        prompts.download = &link.state().download;
        if (!listing.isEmpty())
            receive(listing);
    }

    const Module1 &state() const { return link.state(); }
    // The last request written, as the phone echoes it.
    QByteArray lastRequest() const { return port.written.last().toLatin1(); }
    void receive(const QByteArray &piece)
    {
        port.event = SerialControl::ReceiveEvent;
        port.piece = piece;
        link.MSC_OnComm();
    }
    void receiveInPieces(const QByteArray &stream, const QList<qsizetype> &cuts)
    {
        qsizetype from = 0;
        for (const qsizetype cut : cuts) {
            receive(stream.mid(from, cut - from));
            from = cut;
        }
        receive(stream.mid(from));
    }
    // The phone answers the last request, after echoing it.
    void answer(const QByteArray &tail) { receive(lastRequest() + tail); }
    // The device goes, after the last bytes it sent are handled.
    void loseDevice(const QByteArray &lastBytes = {})
    {
        port.open = false;
        port.lossPending = true;
        if (!lastBytes.isEmpty())
            receive(lastBytes);
        port.event = SerialControl::DeviceLostEvent;
        link.MSC_OnComm();
        port.lossPending = false;
    }
    // What a double-click on listed entry index does.
    MaybeFailure startDownload(qsizetype index)
    {
        return link.startDownload(view.rawNames.at(index), view.readableNames.at(index));
    }
};
