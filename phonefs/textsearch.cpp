#include "textsearch.h"

#include <cstring>

qsizetype FindProtocolText(QByteArrayView text, QByteArrayView needle, qsizetype from)
{
    // Checked first, so no pointer is ever formed outside the text.
    if (from < 0 || text.size() - from < needle.size())
        return -1;
    const char *const begin = text.data();
    const char *const end = begin + text.size();
    for (const char *at = begin + from; end - at >= needle.size(); ++at) {
        at = static_cast<const char *>(std::memchr(at, needle.front(), end - at - needle.size() + 1));
        if (!at)
            return -1;
        if (std::memcmp(at, needle.data(), needle.size()) == 0)
            return at - begin;
    }
    return -1;
}

qsizetype FindLastProtocolText(QByteArrayView text, QByteArrayView needle)
{
    if (text.size() < needle.size())
        return -1;
    const char *const begin = text.data();
    const char *const end = begin + text.size();
    qsizetype found = -1;
    for (const char *last = begin + needle.size() - 1; last < end; ++last) {
        last = static_cast<const char *>(std::memchr(last, needle.back(), end - last));
        if (!last)
            break;
        const char *const start = last - (needle.size() - 1);
        if (std::memcmp(start, needle.data(), needle.size()) == 0)
            found = start - begin;
    }
    return found;
}
