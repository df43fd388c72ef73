#include "othercodepages.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace OtherCodePages {

namespace {

QByteArray windowsName(int codePage)
{
    return "windows-" + QByteArray::number(codePage);
}

} // namespace

std::optional<QString> toText(QByteArrayView bytes, int codePage)
{
    QStringDecoder decoder(windowsName(codePage).constData());
    if (!decoder.isValid())
        return std::nullopt;
    return QString(decoder(bytes));
}

std::optional<QByteArray> fromText(QStringView text, int codePage)
{
    QStringEncoder encoder(windowsName(codePage).constData());
    if (!encoder.isValid())
        return std::nullopt;
    return QByteArray(encoder(text));
}

} // namespace OtherCodePages
