#pragma once

#include <QByteArray>
#include <QString>

#include <termios.h>

// A pseudo-terminal whose slave the program opens as its serial port; the test
// plays the phone on the master side.
class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal() { hangUp(); }
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    QString slavePath() const { return m_slavePath; }
    // Makes COM port n of the program open this terminal.
    void mapToPort(int port) const { qputenv("MORVEX_COM" + QByteArray::number(port), m_slavePath.toLocal8Bit()); }
    // The line settings the program gave the device (all zero once hung up).
    termios lineSettings() const;

    // Bytes the program wrote so far, waiting (and running the event loop) until at
    // least minimum bytes are there or the time is up.
    QByteArray read(qsizetype minimum = 1, int timeoutMs = 3000);
    // What the program's writes already put on the line: waits for the first byte
    // without running the event loop, so events the program left queued cannot
    // write anything more.
    QByteArray readWithoutEvents(int timeoutMs = 3000);
    void write(const QByteArray &bytes);
    // Like a pulled cable: the program's end reports the device gone.
    void hangUp();

private:
    QByteArray readAvailable();

    int m_master = -1;
    QString m_slavePath;
};
