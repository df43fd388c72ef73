// Downloads of 1, 4 and 16 MiB through the program, against a minimal client on
// the same simulator. Each run is a fresh process, so memory peaks stay apart;
// each is repeated and the median run reported, as a busy machine can slow any
// single run down by half.
#include "baselinerun.h"
#include "measurement.h"
#include "programrun.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

constexpr qint64 MiB = 1 << 20;
constexpr int Rounds = 3;

struct Mode
{
    QString name;
    QString label;
};

const Mode Program{QStringLiteral("program"), QStringLiteral("program")};
const Mode Baseline{QStringLiteral("baseline"), QStringLiteral("baseline")};
const Mode RawLine{QStringLiteral("raw"), QStringLiteral("baseline, raw line (for information)")};

QString figuresLine(const RunFigures &figures)
{
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(figures.wallSeconds)
        .arg(figures.cpuSeconds)
        .arg(figures.peakResidentMiB)
        .arg(figures.pageFaults)
        .arg(figures.intact ? 1 : 0);
}

std::optional<RunFigures> runChild(const QString &mode, qint64 size)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {mode, QString::number(size)});
    if (!child.waitForFinished(900000) || child.exitCode() != 0)
        return std::nullopt;
    const QStringList fields = QString::fromLatin1(child.readAllStandardOutput()).trimmed().split(' ');
    if (fields.size() != 5)
        return std::nullopt;
    return RunFigures{fields[0].toDouble(), fields[1].toDouble(), fields[2].toDouble(), fields[3].toLongLong(),
                      fields[4] == u"1"};
}

// One run in this process: prepares the phone's file, downloads it, prints figures.
int runOne(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString mode = QString::fromLatin1(argv[1]);
    const qint64 size = QString::fromLatin1(argv[2]).toLongLong();

    QTemporaryDir phoneFolder;
    QByteArray content(size, Qt::Uninitialized);
    QRandomGenerator generator{quint32(size)};
    for (char &byte : content)
        byte = char(generator.bounded(256));
    QFile file(phoneFolder.filePath(QStringLiteral("bench.jar")));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != size)
        return 1;
    file.close();
    content.clear();

    const RunFigures figures = mode == Program.name    ? runProgram(size, phoneFolder.path())
                               : mode == Baseline.name ? runBaseline(size, phoneFolder.path(), LineSettings::AsProgram)
                                                       : runBaseline(size, phoneFolder.path(), LineSettings::Raw);
    QTextStream(stdout) << figuresLine(figures) << '\n';
    return figures.intact ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 3)
        return runOne(argc, argv);

    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
               .arg(QStringLiteral("size"), -8)
               .arg(QStringLiteral("wall s"), 9)
               .arg(QStringLiteral("cpu s"), 9)
               .arg(QStringLiteral("peak MiB"), 9)
               .arg(QStringLiteral("faults"), 8)
               .arg(QStringLiteral("MB/s"), 9)
               .arg(QStringLiteral("vs base"), 8);
    QMap<qint64, RunFigures> program;
    QMap<qint64, double> ratio;
    QMap<qint64, double> rawRatio;
    for (const qint64 size : {1 * MiB, 4 * MiB, 16 * MiB}) {
        // Rounds interleave the modes, so a slow spell of the machine hits all.
        QMap<QString, QList<RunFigures>> runs;
        for (int round = 0; round < Rounds; ++round) {
            for (const Mode &mode : {Program, Baseline, RawLine}) {
                const std::optional<RunFigures> figures = runChild(mode.name, size);
                if (!figures) {
                    out << QStringLiteral("%1 MiB, %2: a run failed or the saved file differs\n").arg(size / MiB).arg(mode.name);
                    return 1;
                }
                runs[mode.name].append(*figures);
            }
        }
        const auto median = [&](const Mode &mode) {
            QList<RunFigures> &list = runs[mode.name];
            std::sort(list.begin(), list.end(),
                      [](const RunFigures &a, const RunFigures &b) { return a.wallSeconds < b.wallSeconds; });
            return list[list.size() / 2];
        };
        program[size] = median(Program);
        ratio[size] = program[size].wallSeconds / median(Baseline).wallSeconds;
        rawRatio[size] = program[size].wallSeconds / median(RawLine).wallSeconds;
        for (const Mode &mode : {Program, Baseline, RawLine}) {
            const RunFigures figures = median(mode);
            out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7  %8\n")
                       .arg(QStringLiteral("%1 MiB").arg(size / MiB), -8)
                       .arg(figures.wallSeconds, 9, 'f', 3)
                       .arg(figures.cpuSeconds, 9, 'f', 3)
                       .arg(figures.peakResidentMiB, 9, 'f', 1)
                       .arg(figures.pageFaults, 8)
                       .arg(size / figures.wallSeconds / 1e6, 9, 'f', 2)
                       .arg(mode.name == Program.name ? QString::number(ratio[size], 'f', 2) : QString(), 8)
                       .arg(mode.label);
        }
        out.flush();
    }
    out << QStringLiteral("program/raw-line baseline: %1 at 4 MiB, %2 at 16 MiB (for information: the program's line has XON/XOFF on, as its handshaking requires)\n")
               .arg(rawRatio[4 * MiB], 0, 'f', 2)
               .arg(rawRatio[16 * MiB], 0, 'f', 2);

    const double growth = program[16 * MiB].wallSeconds / program[4 * MiB].wallSeconds;
    const double peak = program[16 * MiB].peakResidentMiB;
    out << Measurement::targetLine(QStringLiteral("program/baseline at most 1.5 at 4 MiB"), ratio[4 * MiB] <= 1.5,
                                   QString::number(ratio[4 * MiB], 'f', 2))
        << '\n'
        << Measurement::targetLine(QStringLiteral("program/baseline at most 1.5 at 16 MiB"), ratio[16 * MiB] <= 1.5,
                                   QString::number(ratio[16 * MiB], 'f', 2))
        << '\n'
        << Measurement::targetLine(QStringLiteral("time(16 MiB)/time(4 MiB) at most 4.5"), growth <= 4.5,
                                   QString::number(growth, 'f', 2))
        << '\n'
        << Measurement::targetLine(QStringLiteral("peak resident memory at 16 MiB at most 300 MiB"), peak <= 300,
                                   QStringLiteral("%1 MiB").arg(peak, 0, 'f', 1))
        << '\n';
    return 0;
}
