#include "othercodepages.h"

#include <windows.h>

namespace OtherCodePages {

namespace {

// The Windows API takes a UINT; numbers it cannot hold are no code page at all.
std::optional<UINT> validPage(int codePage)
{
    if (codePage <= 0 || !IsValidCodePage(UINT(codePage)))
        return std::nullopt;
    return UINT(codePage);
}

} // namespace

std::optional<QString> toText(QByteArrayView bytes, int codePage)
{
    const auto page = validPage(codePage);
    if (!page)
        return std::nullopt;
    if (bytes.isEmpty())
        return QString();
    const int length = MultiByteToWideChar(*page, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    QString text(length, Qt::Uninitialized);
    // 0 is the API's failure, never an empty result: the input is not empty.
    if (length == 0
        || MultiByteToWideChar(*page, 0, bytes.data(), int(bytes.size()), reinterpret_cast<wchar_t *>(text.data()),
                               length) != length) {
        return std::nullopt;
    }
    return text;
}

std::optional<QByteArray> fromText(QStringView text, int codePage)
{
    const auto page = validPage(codePage);
    if (!page)
        return std::nullopt;
    if (text.isEmpty())
        return QByteArray();
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    const int length = WideCharToMultiByte(*page, 0, wide, int(text.size()), nullptr, 0, nullptr, nullptr);
    QByteArray bytes(length, Qt::Uninitialized);
    if (length == 0
        || WideCharToMultiByte(*page, 0, wide, int(text.size()), bytes.data(), length, nullptr, nullptr) != length) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace OtherCodePages
