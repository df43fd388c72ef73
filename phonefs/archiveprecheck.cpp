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
    // Never the idle class: the user waits for this thread at the end of a copy or
    // on a cancel, and on Linux a thread of ours could not leave that class again,
    // so one busy program would keep the user waiting. Where the system can give
    // the priority back (Windows), it is lower while the pieces still arrive.
    m_thread->start(QThread::LowPriority);
}

ArchivePrecheck::~ArchivePrecheck()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    waitForThread();
}

void ArchivePrecheck::waitForThread()
{
    m_thread->setPriority(QThread::NormalPriority);
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
    waitForThread();
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
        if (!following)
            continue;
        for (const QByteArray &bytes : std::as_const(arrived))
            m_file += bytes;
        following = checkArrivedEntries();
    }
}

bool ArchivePrecheck::checkArrivedEntries()
{
    while (m_file.size() - m_nextHeader >= LocalHeaderSize) {
        const qint64 at = m_nextHeader;
        const quint16 flags = u16(m_file, at + 6);
        const quint16 method = u16(m_file, at + 8);
        const quint32 crc = u32(m_file, at + 14);
        const quint32 compressedSize = u32(m_file, at + 18);
        const quint32 size = u32(m_file, at + 22);
        if (u32(m_file, at) != LocalSignature || (flags & UnfollowableFlags) != 0 || (method != Stored && method != Deflated)
            || compressedSize == Zip64Value || size > LargestEntry) {
            return false;
        }
        const qint64 dataAt = at + LocalHeaderSize + u16(m_file, at + 26) + u16(m_file, at + 28);
        if (m_file.size() - dataAt < qint64(compressedSize))
            return true; // its data are still to come
        if (EntryDataYields(QByteArrayView(m_file).sliced(dataAt, compressedSize), method, size, crc))
            m_sound.append({dataAt, method, compressedSize, size, crc});
        m_nextHeader = dataAt + compressedSize;
        const std::lock_guard lock(m_mutex);
        if (m_stopping)
            return false;
    }
    return true;
}
