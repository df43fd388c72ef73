#pragma once

#include "app/failure.h"
#include "copyall.h"
#include "filereader.h"
#include "savedcopies.h"

#include <QByteArray>
#include <QString>
#include <optional>

class CommandLineWriter;
class CopyView;
class Prompts;
struct Module1;

// A copy's whole life, from the first request to the saved file: the one file the
// user picked, or each file of a run into a folder. The receive dispatcher hands
// it every complete file-read reply; it reads through FileReader, saves through the
// prompts, and moves a run on to its next file.
class PhoneCopy
{
public:
    PhoneCopy(Module1 &link, CommandLineWriter &writer, CopyView &view, Prompts &prompts);

    // Starts copying the entry with these names: asks for its first piece.
    [[nodiscard]] MaybeFailure start(const QByteArray &rawName, const QString &readableName);
    // Copies the entries into the folder one after the other, then says how it went.
    void startRun(const QString &folder, const QList<CopyAll::Entry> &entries);
    // A copy, or a run of copies, is going on.
    bool isRunning() const;
    // A file is being read: a reply is owed to it.
    bool isReading() const;

    // The reply gathered so far, while it arrives, and once it is over.
    void showProgressOf(QByteArrayView gathered)
    {
        // A saved copy's tail is no part of the count.
        if (!m_probe)
            m_reader.showProgressOf(gathered);
    }
    void replyOver() { m_reader.replyOver(); }
    // A complete file-read reply, echo included; a reply that names no file being
    // read is dropped.
    void take(const QByteArray &exchange);
    // The phone refused a request: a run goes on with its next file, and true says
    // the refusal is handled so; false leaves the telling to the caller.
    bool skipRefusedInRun();
    // Ends the copy, saving nothing, if one runs.
    void end(bool saved = false);
    // The user stops the copy at once; what a run's summary says, if one ran.
    QString cancel();
    // The link cannot go on: says why, and what became of a copy or a run.
    void interrupt(const QString &why);
    // The device went while a copy or a run ran: the whole pieces read stay, and
    // the copy waits for the port to open again. False when nothing ran.
    bool suspend();
    bool isWaiting() const { return m_waiting; }
    // The port is open again: the copy goes on where it stopped.
    void resume();

private:
    void handle(FileReader::Step step);
    // Starts the current file of the run: asks whether a saved copy is the phone's
    // file, or reads it.
    [[nodiscard]] MaybeFailure startCurrent();
    [[nodiscard]] MaybeFailure startProbe();
    void takeProbe(const QByteArray &exchange);
    // The request failed: waits for the device's own event, or skips the file.
    void unlessLost(const MaybeFailure &failure);
    // The file read in full is one the folder holds already.
    bool alreadySaved() const;
    // damagedEntry: what failed the check of a file damaged on the phone.
    void save(const QString &damagedEntry);
    // Ends a copy whose file cannot be had, saying why; in a run, on to the next.
    void fail();
    void skipInRun(const QString &reason);
    void continueRun();
    void finishRun();
    // Forgets the run and its notice line; the summary to show.
    QString endRun(bool cancelled);

    Module1 &m_link;
    CommandLineWriter &m_writer;
    CopyView &m_view;
    Prompts &m_prompts;
    FileReader m_reader;
    std::optional<CopyAll> m_run;
    // What the folder holds under the current file's name, while a run copies it.
    QList<SavedCopy> m_savedCopies;
    // The saved archives left to compare by their tail, and the one being compared.
    QList<QByteArray> m_probeQueue;
    std::optional<TailProbe> m_probe;
    bool m_waiting = false;
};
