#include "resultcodes.h"

#include "phonefs/textsearch.h"

namespace {

constexpr QByteArrayView Ok = "OK";
constexpr QByteArrayView Error = "ERROR";

bool standsAlone(QByteArrayView text, qsizetype at, QByteArrayView keyword)
{
    const qsizetype end = at + keyword.size();
    const bool isError = keyword == Error;
    const bool lineEnds = end == text.size() || text[end] == '\r' || text[end] == '\n' || (isError && text[end] == ':');
    qsizetype start = at;
    for (const QByteArrayView prefix : {QByteArrayView("+CME "), QByteArrayView("+CMS ")}) {
        if (isError && text.first(at).endsWith(prefix))
            start -= prefix.size();
    }
    return lineEnds && (start == 0 || text[start - 1] == '\r' || text[start - 1] == '\n');
}

qsizetype lastEndingInPiece(QByteArrayView gathered, qsizetype pieceStart, QByteArrayView keyword)
{
    const qsizetype from = qMax<qsizetype>(0, pieceStart - (keyword.size() - 1));
    QByteArrayView window = gathered.sliced(from);
    for (qsizetype at = FindLastProtocolText(window, keyword); at >= 0; at = FindLastProtocolText(window, keyword)) {
        if (standsAlone(gathered, from + at, keyword))
            return from + at;
        window = window.first(at + keyword.size() - 1);
    }
    return -1;
}

qsizetype endOf(qsizetype at, QByteArrayView keyword)
{
    return at < 0 ? -1 : at + keyword.size();
}

} // namespace

qsizetype ResultCodes::end() const
{
    return qMax(endOf(error, Error), endOf(ok, Ok));
}

ResultCodes FindResultCodes(QByteArrayView gathered, qsizetype pieceStart)
{
    return {lastEndingInPiece(gathered, pieceStart, Ok), lastEndingInPiece(gathered, pieceStart, Error)};
}

qsizetype NextReplyAt(QByteArrayView gathered, qsizetype pieceStart)
{
    qsizetype lineEnd = FindProtocolText(gathered, LineStartEcho, qMax<qsizetype>(0, pieceStart));
    if (lineEnd < 0 && gathered.size() > pieceStart && gathered.endsWith(LineStartEcho.first(2)))
        lineEnd = gathered.size() - 2;
    if (lineEnd < 0 || FindResultCodes(gathered.first(lineEnd), pieceStart).end() < 0)
        return -1;
    return lineEnd + 1;
}
