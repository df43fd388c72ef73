#pragma once

#include "app/linkview.h"
#include "app/serialcontrol.h"

#include <QList>
#include <QStringList>

// A serial control that hands over scripted pieces and records what is written.
class FakeSerial : public SerialControl
{
public:
    bool open = true;
    int event = ReceiveEvent;
    QByteArray piece;
    Failure lostFailure{9, QStringLiteral("/dev/fake: Input/output error")};
    QStringList written;

    MaybeFailure output(const QString &text) override
    {
        if (!open)
            return Failure{13, QStringLiteral("Port is not open")};
        written.append(text);
        return std::nullopt;
    }
    QByteArray input() override { return std::exchange(piece, {}); }
    int commEvent() const override { return event; }
    Failure eventFailure() const override { return lostFailure; }
    bool isPortOpen() const override { return open; }
};

// The windows' side, as plain values.
class FakeView : public LinkView
{
public:
    QList<QByteArray> rawNames;
    QStringList readableNames;
    int selected = -1;
    QList<QByteArray> statusTexts;
    bool downloadRunning = false;
    QList<qint64> progress;
    QList<qsizetype> pieceLengths;
    QByteArray traffic;
    std::optional<bool> lamp;

    void addEntry(const QByteArray &rawName, const QString &readableName) override
    {
        rawNames.append(rawName);
        readableNames.append(readableName);
    }
    std::optional<Entry> selectedEntry() const override
    {
        if (selected < 0 || selected >= rawNames.size())
            return std::nullopt;
        return Entry{rawNames.at(selected), readableNames.at(selected)};
    }
    void setListingStatus(const QByteArray &line) override { statusTexts.append(line); }
    void setDownloadRunning(bool running) override { downloadRunning = running; }
    void showDownloadProgress(qint64 bytesReceived) override { progress.append(bytesReceived); }
    void showPieceLength(qsizetype length) override { pieceLengths.append(length); }
    void appendTraffic(const QByteArray &piece) override { traffic += piece; }
    void setLamp(bool linkUp) override { lamp = linkUp; }
};
