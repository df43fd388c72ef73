#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Appends bytes to a buffer that keeps growing, such as a download or the traffic
// log. QByteArray's own append grows by allocating afresh and copying, which for
// buffers of many megabytes touches every byte again at each step; reserving
// grows the allocation in place where the allocator can.
inline void AppendGrowing(QByteArray &buffer, QByteArrayView bytes)
{
    const qsizetype needed = buffer.size() + bytes.size();
    if (needed > buffer.capacity())
        buffer.reserve(qMax(needed, 2 * buffer.capacity()));
    buffer.append(bytes);
}
