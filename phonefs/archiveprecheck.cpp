#include "archiveprecheck.h"

#include "zipformat.h"

namespace {

using namespace Zip;

// Encrypted, sizes in a data descriptor, strongly encrypted, headers masked: left
// to the check of the whole file.
constexpr quint16 UnfollowableFlags = EncryptedFlag | DescriptorFlag | StrongEncryptionFlag | MaskedHeadersFlag;
// A larger entry would keep a cancelled copy waiting for its thread.
constexpr quint32 LargestEntry = 64 << 20;

} // namespace

ArchivePrecheck::ArchivePrecheck()
    : m_thread(QThread::create([this] { run(); }))
{
    // At the program's own priority, not the idle class: the user waits for this
    // thread at the end of a copy or on a cancel, and on Linux a thread could not
    // leave that class again, so one busy program would keep the user waiting.
    m_thread->start();
}

ArchivePrecheck::~ArchivePrecheck()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread->wait();
}

void ArchivePrecheck::add(const QByteArray &bytes)
{
    {
        const std::lock_guard lock(m_mutex);
        m_arrived.append(bytes);
    }
    m_wake.notify_one();
}

QList<SoundEntryData> ArchivePrecheck::finish()
{
    {
        const std::lock_guard lock(m_mutex);
        m_finishing = true;
    }
    m_wake.notify_one();
    m_thread->wait();
    return m_sound;
}

void ArchivePrecheck::run()
{
    for (bool following = true;;) {
        QByteArrayList arrived;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return !m_arrived.isEmpty() || m_finishing || m_stopping; });
            if (m_stopping || (m_finishing && m_arrived.isEmpty()))
                return;
            arrived.swap(m_arrived);
        }
        // Piece by piece, each let go once taken: pieces that queued up while the
        // thread was behind are never all held twice.
        for (QByteArray &bytes : arrived) {
            if (!following)
                break;
            m_window += std::exchange(bytes, {});
            following = checkArrivedEntries();
            // What lies before the next header is done with, and all of it once the
            // entries cannot be followed further.
            m_window.remove(0, m_nextHeader - m_windowAt);
            m_windowAt = m_nextHeader;
            if (!following)
                m_window = QByteArray();
        }
    }
}

bool ArchivePrecheck::checkArrivedEntries()
{
    // Offsets within the window; the file's own are m_windowAt further on.
    const QByteArrayView window(m_window);
    while (window.size() - (m_nextHeader - m_windowAt) >= LocalHeaderSize) {
        const qint64 at = m_nextHeader - m_windowAt;
        const quint16 flags = u16(window, at + 6);
        const quint16 method = u16(window, at + 8);
        const quint32 crc = u32(window, at + 14);
        const quint32 compressedSize = u32(window, at + 18);
        const quint32 size = u32(window, at + 22);
        if (u32(window, at) != LocalSignature || (flags & UnfollowableFlags) != 0 || (method != Stored && method != Deflated)
            || compressedSize == Zip64Value || size > LargestEntry) {
            return false;
        }
        const qint64 dataAt = at + LocalHeaderSize + u16(window, at + 26) + u16(window, at + 28);
        if (window.size() - dataAt < qint64(compressedSize))
            return true; // its data are still to come
        if (m_inflater.yields(window.sliced(dataAt, compressedSize), method, size, crc))
            m_sound.append({m_windowAt + dataAt, method, compressedSize, size, crc});
        m_nextHeader = m_windowAt + dataAt + compressedSize;
        const std::lock_guard lock(m_mutex);
        if (m_stopping)
            return false;
    }
    return true;
}
