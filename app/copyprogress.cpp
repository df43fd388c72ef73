#include "copyprogress.h"

namespace {

constexpr qint64 RateAfterMilliseconds = 1000;

QString withBlankThousands(QString digits)
{
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(' '));
    return digits;
}

// Kilobytes of 1024 bytes with one decimal after a comma, as Russian writes it.
QString kilobytes(double bytes)
{
    const qint64 tenths = qRound64(bytes * 10 / 1024);
    return QStringLiteral("%1,%2").arg(withBlankThousands(QString::number(tenths / 10))).arg(tenths % 10);
}

} // namespace

QString ProgressText(qint64 bytesReceived, qint64 dataMilliseconds, qint64 bytesBefore)
{
    QString progress = QStringLiteral("%1 байт").arg(withBlankThousands(QString::number(bytesReceived)));
    if (dataMilliseconds >= RateAfterMilliseconds) {
        const double perSecond = double(bytesReceived - bytesBefore) * 1000 / double(dataMilliseconds);
        progress += QStringLiteral(", %1 КБ/с").arg(kilobytes(perSecond));
    }
    return progress;
}

void CopyProgress::restart()
{
    *this = CopyProgress();
}

void CopyProgress::update(qint64 bytesReceived)
{
    if (bytesReceived > 0 && !m_dataClock.isValid()) {
        m_dataClock.start();
        m_bytesWhenDataStarted = bytesReceived;
    }
    m_bytes = bytesReceived;
    m_dataMilliseconds = m_dataClock.isValid() ? m_dataClock.elapsed() : 0;
}

QString CopyProgress::text() const
{
    return ProgressText(m_bytes, m_dataMilliseconds, m_bytesWhenDataStarted);
}
