#pragma once

#include "archivecheck.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QThread>
#include <condition_variable>
#include <memory>
#include <mutex>

// Checks a JAR's entries on a thread of its own while the file's pieces still
// arrive, one entry after the other as their local headers lead: inflating a
// large archive takes a good share of a copy on a fast line, and this way it is
// done in the time the copy leaves the processor idle. The check of the whole file then inflates only
// what this has not found sound. An entry it cannot follow by its local header
// alone (a data descriptor, encryption, ZIP64, another method) ends its work;
// the rest is left to that check.
class ArchivePrecheck
{
public:
    ArchivePrecheck();
    // Stops at the next entry and waits for that.
    ~ArchivePrecheck();
    ArchivePrecheck(const ArchivePrecheck &) = delete;
    ArchivePrecheck &operator=(const ArchivePrecheck &) = delete;

    // The file's next bytes.
    void add(const QByteArray &bytes);
    // Waits until everything added has been looked at; the entries found sound.
    // Nothing may be added after it.
    QList<SoundEntryData> finish();

private:
    void run();
    // Checks the entries that lie whole in the window; false once it cannot go on.
    bool checkArrivedEntries();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    QByteArrayList m_arrived;
    bool m_finishing = false;
    bool m_stopping = false;
    // Only the thread touches these until it has ended. Of the file it keeps only
    // what it has not followed yet: the copy holds the file itself.
    QByteArray m_window;
    qint64 m_windowAt = 0; // where in the file the window starts
    qint64 m_nextHeader = 0;
    EntryInflater m_inflater;
    QList<SoundEntryData> m_sound;
    std::unique_ptr<QThread> m_thread;
};
