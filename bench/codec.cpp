// DecodeHex against QByteArray::fromHex on the same valid hex text.
#include "measurement.h"
#include "phonefs/routes.h"

#include <QRandomGenerator>
#include <QTextStream>

namespace {

QByteArray randomHex(qsizetype bytes)
{
    QByteArray data(bytes, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (char &byte : data)
        byte = char(generator.bounded(256));
    return data.toHex().toUpper();
}

// Seconds per call, over enough calls to take about half a second.
template<typename Decode>
double secondsPerCall(const QByteArray &hex, Decode decode)
{
    qsizetype sink = 0;
    int calls = 0;
    const Measurement measurement;
    while (measurement.wallSeconds() < 0.5) {
        sink += decode(hex);
        ++calls;
    }
    const double seconds = measurement.wallSeconds() / calls;
    return sink < 0 ? 0 : seconds;
}

} // namespace

int main()
{
    QTextStream out(stdout);
    bool allMet = true;
    for (const auto &[label, bytes] : {std::pair{"one chunk (131070 digits)", qsizetype(65535)},
                                      std::pair{"32 MiB of hex", qsizetype(16) << 20}}) {
        const QByteArray hex = randomHex(bytes);
        if (DecodeHex(hex) != QByteArray::fromHex(hex)) {
            out << "DecodeHex and fromHex disagree\n";
            return 1;
        }
        const double ours = secondsPerCall(hex, [](const QByteArray &h) { return DecodeHex(h)->size(); });
        const double qts = secondsPerCall(hex, [](const QByteArray &h) { return QByteArray::fromHex(h).size(); });
        const double speed = qts / ours;
        out << QStringLiteral("codec %1: DecodeHex %2 MB/s, fromHex %3 MB/s, speed ratio %4\n")
                   .arg(QLatin1String(label))
                   .arg(hex.size() / ours / 1e6, 0, 'f', 0)
                   .arg(hex.size() / qts / 1e6, 0, 'f', 0)
                   .arg(speed, 0, 'f', 2);
        const bool met = speed >= 0.8;
        allMet = allMet && met;
        out << Measurement::targetLine(QStringLiteral("DecodeHex at least 0.8 x fromHex on %1").arg(QLatin1String(label)),
                                       met, QStringLiteral("%1").arg(speed, 0, 'f', 2))
            << '\n';
    }
    return allMet ? 0 : 2;
}
