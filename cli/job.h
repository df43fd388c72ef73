#pragma once

#include "arguments.h"
#include "consoleprompts.h"
#include "app/copyprogress.h"
#include "app/linkview.h"
#include "app/phonelink.h"
#include "app/phonesearch.h"
#include "app/throttleddisplay.h"
#include "phonefs/copyall.h"

#include <QObject>
#include <QTimer>

class Console;

// One command of the tool on the phone link (all but ports, which needs none):
// lists, copies, or sends the user's own command. The core handles everything the phone sends, as it does for the
// window; this decides what to print and when the command is over.
class Job : public QObject, public LinkView
{
    Q_OBJECT

public:
    // The exit status; README.md and --help list the same.
    enum Status { Done = 0, Failed = 1, SavedDamaged = 3, Interrupted = 130 };

    Job(const Request &request, Console &console, QObject *parent = nullptr);

    // finished() follows, also when the command cannot even start.
    void start();
    // Ctrl+C or a request to terminate: a running copy is cancelled, saving nothing.
    void stop();
    // Once the event loop is left: closes the port, and shows the notes held back
    // by --quiet if the command did not succeed.
    void close();

signals:
    void finished(int status);

private:
    enum class Stage { Starting, Searching, Listing, Copying, Answering, Over };

    // Opens the port and runs the command there; listingReply is the one a search
    // received on it, empty when the port was given.
    void begin(const QString &port, const QByteArray &listingReply);
    void searchEnded(const SearchResult &result);
    void finish(Status status);
    void fail(const QString &why);
    // get: where the file goes, checked before anything is read; false when it
    // cannot go there.
    bool chooseTarget();
    void listed();
    // False when the output could not take it.
    bool printAnswer(const QByteArray &reply);
    QString progressLine() const;

    // LinkView
    void clearEntries() override;
    void addEntry(const QByteArray &rawName, const QString &readableName) override;
    void setListingStatus(const QByteArray &) override {}
    void setCommandLine(const QString &) override {}
    void setDownloadRunning(bool running) override;
    void showDownloadProgress(qint64 bytesReceived) override;
    void showDownloadFile(const QString &title) override;
    void showCopyStage(const QString &stage) override;
    // A file damaged on the phone is kept, and the status says so.
    void reportCheck(const QString &readableName, const ArchiveCheck &check) override;
    void noteCopy(const QString &line) override;
    void waitForPhone(bool waiting) override;
    void showPieceLength(qsizetype) override {}
    void appendTraffic(const QByteArray &) override;
    void setLamp(bool linkUp) override;
    void replyCompleted(const QByteArray &reply, bool rejected) override;
    void copyEnded(bool saved) override;

    const Request m_request;
    Console &m_console;
    ConsolePrompts m_prompts;
    PhoneLink m_link;
    PhoneSearch m_search;
    Stage m_stage = Stage::Starting;
    Status m_status = Done;
    QList<CopyAll::Entry> m_entries;
    QString m_target;
    bool m_damaged = false;
    // Runs while an answer is owed; every byte from the phone starts it again.
    QTimer m_silence;
    // Whether the last reply began with the echo of its command; a copy cannot
    // tell its replies apart without one.
    bool m_echoed = true;

    bool m_copyRunning = false;
    // In a run of copies, "2 из 5: Игра.jar"; empty for one file.
    QString m_fileTitle;
    CopyProgress m_progress;
    // What is done with a file once it is in, shown instead of its count.
    QString m_copyStage;
    ThrottledDisplay m_progressDisplay;
};
