// Downloads through the program against a minimal client on the same simulator:
// files of 1, 4 and 16 MiB at pty speed; a 16 MiB JAR, to weigh the check of every
// copy; and a JAR at a limited line rate, to see how much of the line the program
// uses. Each run is a fresh process, so memory peaks stay apart; each is repeated
// and the median run reported, as a busy machine can slow any single run down by half.
#include "baselinerun.h"
#include "measurement.h"
#include "programrun.h"
#include "phonefs/archivecheck.h"
#include "samples/jarbuilder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtEndian>

#include <zlib.h>

namespace {

constexpr qint64 KiB = 1 << 10;
constexpr qint64 MiB = 1 << 20;
constexpr int Rounds = 3;
constexpr int CheckRuns = 5;
// The check's share is a small difference of two times: more rounds steady it.
constexpr int CheckRounds = 7;
// Bytes per second; the simulator sends them in bursts of 10 ms.
constexpr quint64 LineRate = 230400;
constexpr qint64 LineFileSize = 512 * KiB;
const QString PhoneFile = QStringLiteral("bench.jar");

struct Mode
{
    QString name;
    QString label;
};

const Mode Program{QStringLiteral("program"), QStringLiteral("program")};
const Mode Baseline{QStringLiteral("baseline"), QStringLiteral("baseline")};
const Mode RawLine{QStringLiteral("raw"), QStringLiteral("baseline, raw line (for information)")};

QByteArray randomBytes(qint64 size)
{
    QByteArray content(size, Qt::Uninitialized);
    QRandomGenerator generator{quint32(size)};
    for (char &byte : content)
        byte = char(generator.bounded(256));
    return content;
}

// A JAR of `size` bytes or a little more: a few hundred deflated entries of text from a
// vocabulary of 4096 made-up words, which deflate packs to about half, much as it
// packs class files.
Jar benchJar(qint64 size)
{
    QRandomGenerator generator{quint32(size)};
    QList<QByteArray> words(4096);
    for (QByteArray &word : words) {
        for (int letters = 2 + generator.bounded(9); letters > 0; --letters)
            word += char('a' + generator.bounded(26));
    }
    const auto text = [&](qint64 length) {
        QByteArray out;
        out.reserve(length + 16);
        while (out.size() < length)
            out += words[generator.bounded(qsizetype(words.size()))] + (generator.bounded(12) ? ' ' : '\n');
        return out;
    };
    QList<JarEntry> entries;
    for (qint64 packed = 0; packed < size;) {
        JarEntry entry{QStringLiteral("bench/C%1.class").arg(entries.size()).toUtf8(),
                       text(32 * KiB + generator.bounded(128 * KiB))};
        packed += RawDeflate(entry.data).size() + 76 + 2 * entry.name.size(); // with its headers
        entries.append(entry);
    }
    return BuildJar(entries);
}

// A folder for the phone holding `bytes` as its one file.
QString phoneFolderWith(const QTemporaryDir &root, const QString &name, const QByteArray &bytes)
{
    const QString folder = root.filePath(name);
    QFile file(folder + u'/' + PhoneFile);
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return folder;
}

QString figuresLine(const RunFigures &figures)
{
    return QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
        .arg(figures.wallSeconds)
        .arg(figures.cpuSeconds)
        .arg(figures.peakResidentMiB)
        .arg(figures.pageFaults)
        .arg(figures.intact ? 1 : 0)
        .arg(figures.dialogSeconds)
        .arg(figures.bytesRead);
}

std::optional<RunFigures> runChild(const QString &mode, const QString &folder, quint64 rate)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {mode, folder, QString::number(rate)});
    if (!child.waitForFinished(900000) || child.exitCode() != 0)
        return std::nullopt;
    const QStringList fields = QString::fromLatin1(child.readAllStandardOutput()).trimmed().split(' ');
    if (fields.size() != 7)
        return std::nullopt;
    return RunFigures{fields[0].toDouble(), fields[1].toDouble(), fields[2].toDouble(), fields[3].toLongLong(),
                      fields[4] == u"1", fields[5].toDouble(), fields[6].toLongLong()};
}

// Each mode Rounds times on the folder's file, the rounds interleaving the modes so
// a slow spell of the machine hits all; the median run of each, by `seconds`.
std::optional<QMap<QString, RunFigures>> medianRuns(const QList<Mode> &modes, const QString &folder, quint64 rate,
                                                    double (*seconds)(const RunFigures &))
{
    QMap<QString, QList<RunFigures>> runs;
    for (int round = 0; round < Rounds; ++round) {
        for (const Mode &mode : modes) {
            const std::optional<RunFigures> figures = runChild(mode.name, folder, rate);
            if (!figures) {
                QTextStream(stdout) << QStringLiteral("%1, %2: a run failed or the saved file differs\n")
                                           .arg(QFileInfo(folder).fileName(), mode.name);
                return std::nullopt;
            }
            runs[mode.name].append(*figures);
        }
    }
    QMap<QString, RunFigures> medians;
    for (auto it = runs.begin(); it != runs.end(); ++it) {
        std::sort(it->begin(), it->end(),
                  [&](const RunFigures &a, const RunFigures &b) { return seconds(a) < seconds(b); });
        medians[it.key()] = it->at(it->size() / 2);
    }
    return medians;
}

double toEnd(const RunFigures &figures)
{
    return figures.wallSeconds;
}

// The program's copy without its saving; the minimal client saves nothing.
double toDialog(const RunFigures &figures)
{
    return figures.dialogSeconds > 0 ? figures.dialogSeconds : figures.wallSeconds;
}

// The median wall time of zlib's own work on the entries, in this process: inflate
// and CRC-32 through plain calls, a stream each; nothing if an entry does not yield.
std::optional<double> zlibSeconds(const Jar &jar)
{
    QList<double> times;
    QByteArray out(64 * KiB, Qt::Uninitialized);
    for (int run = 0; run < CheckRuns; ++run) {
        const Measurement measurement;
        for (const Jar::Places &entry : jar.entries) {
            const char *local = jar.bytes.constData() + entry.local;
            z_stream stream{};
            if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
                return std::nullopt;
            stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(jar.bytes.constData() + entry.data));
            stream.avail_in = qFromLittleEndian<quint32>(local + 18);
            uLong crc = crc32(0, Z_NULL, 0);
            int status = Z_OK;
            while (status == Z_OK) {
                stream.next_out = reinterpret_cast<Bytef *>(out.data());
                stream.avail_out = uInt(out.size());
                status = inflate(&stream, Z_NO_FLUSH);
                crc = crc32(crc, reinterpret_cast<const Bytef *>(out.constData()), uInt(out.size() - stream.avail_out));
            }
            inflateEnd(&stream);
            if (status != Z_STREAM_END || crc != qFromLittleEndian<quint32>(local + 14))
                return std::nullopt;
        }
        times.append(measurement.wallSeconds());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The median wall time of checking the bytes in this process, or nothing unless they are sound.
std::optional<double> checkSeconds(const QByteArray &jar)
{
    QList<double> times;
    for (int run = 0; run < CheckRuns; ++run) {
        const Measurement measurement;
        if (CheckArchive(jar).verdict != ArchiveCheck::Verdict::Sound)
            return std::nullopt;
        times.append(measurement.wallSeconds());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// One run in this process on a prepared phone folder: downloads its file, prints figures.
int runOne(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString mode = QString::fromLatin1(argv[1]);
    const QString folder = QString::fromLocal8Bit(argv[2]);
    const quint64 rate = QString::fromLatin1(argv[3]).toULongLong();
    const QStringList line = rate ? QStringList{QStringLiteral("--rate"), QString::number(rate)} : QStringList{};
    const qint64 size = QFileInfo(folder + u'/' + PhoneFile).size();

    const RunFigures figures = mode == Program.name ? runProgram(size, folder, line)
                               : mode == Baseline.name
                                   ? runBaseline(size, folder, LineSettings::AsProgram, line)
                                   : runBaseline(size, folder, LineSettings::Raw, line);
    QTextStream(stdout) << figuresLine(figures) << '\n';
    return figures.intact ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 4)
        return runOne(argc, argv);

    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir root;
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
        const QString folder = phoneFolderWith(root, QStringLiteral("random-%1").arg(size), randomBytes(size));
        const auto medians = medianRuns({Program, Baseline, RawLine}, folder, 0, toEnd);
        if (!medians)
            return 1;
        program[size] = medians->value(Program.name);
        ratio[size] = program[size].wallSeconds / medians->value(Baseline.name).wallSeconds;
        rawRatio[size] = program[size].wallSeconds / medians->value(RawLine.name).wallSeconds;
        for (const Mode &mode : {Program, Baseline, RawLine}) {
            const RunFigures figures = medians->value(mode.name);
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

    // The check against the same copy unchecked: the same bytes with their first and
    // end-record signatures spoilt are no archive to the program, so it saves them
    // unchecked. The rounds interleave the two, and the median of each is taken.
    const Jar jar = benchJar(16 * MiB);
    QByteArray noArchive = jar.bytes;
    noArchive[0] = 'X';
    noArchive[jar.endRecord] = 'X';
    const QString checkedFolder = phoneFolderWith(root, QStringLiteral("jar"), jar.bytes);
    const QString uncheckedFolder = phoneFolderWith(root, QStringLiteral("no-archive"), noArchive);
    QList<double> checked;
    QList<double> unchecked;
    QList<double> checkedPeaks;
    for (int round = 0; round < CheckRounds; ++round) {
        const std::optional<RunFigures> withCheck = runChild(Program.name, checkedFolder, 0);
        const std::optional<RunFigures> without = runChild(Program.name, uncheckedFolder, 0);
        if (!withCheck || !without) {
            out << "16 MiB JAR: a run failed or the saved file differs\n";
            return 1;
        }
        checked.append(toDialog(*withCheck));
        unchecked.append(toDialog(*without));
        checkedPeaks.append(withCheck->peakResidentMiB);
    }
    const std::optional<double> check = checkSeconds(jar.bytes);
    const std::optional<double> zlib = zlibSeconds(jar);
    if (!check || !zlib) {
        out << "16 MiB JAR: the check did not find it sound\n";
        return 1;
    }
    const auto median = [](QList<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    const double copy = median(checked);
    const double checkShare = copy / median(unchecked) - 1;
    const double checkOverZlib = *check / *zlib;
    qint64 unpacked = 0;
    for (const Jar::Places &entry : jar.entries)
        unpacked += qFromLittleEndian<quint32>(jar.bytes.constData() + entry.local + 22);
    out << QStringLiteral("16 MiB JAR (%1 bytes, %2 deflated entries, %3 MiB unpacked): %4 s to the Save dialog "
                          "checked, %5 s unchecked (medians of %6), so the check adds %7 % at pty speed, where "
                          "both cores are busy (for information); peak memory of the checked copy %8 MiB; the "
                          "check alone, all at once, %9 s, zlib's own inflate and CRC-32 of its entries %10 s\n")
               .arg(jar.bytes.size())
               .arg(jar.entries.size())
               .arg(unpacked / double(MiB), 0, 'f', 1)
               .arg(copy, 0, 'f', 3)
               .arg(median(unchecked), 0, 'f', 3)
               .arg(CheckRounds)
               .arg(100 * checkShare, 0, 'f', 1)
               .arg(median(checkedPeaks), 0, 'f', 1)
               .arg(*check, 0, 'f', 3)
               .arg(*zlib, 0, 'f', 3);
    out.flush();

    // The program against the minimal client on a line that sets the pace: both
    // wait for the same bytes, so any time beyond theirs is the program's own.
    const QString lineFolder = phoneFolderWith(root, QStringLiteral("line"), benchJar(LineFileSize).bytes);
    const auto onLine = medianRuns({Program, Baseline}, lineFolder, LineRate, toDialog);
    if (!onLine)
        return 1;
    const RunFigures lineProgram = onLine->value(Program.name);
    const RunFigures lineBaseline = onLine->value(Baseline.name);
    const double lineSeconds = double(lineBaseline.bytesRead) / LineRate;
    const double use = lineSeconds / toDialog(lineProgram);
    const double baselineUse = lineSeconds / lineBaseline.wallSeconds;
    out << QStringLiteral("%1 KiB JAR at %2 bytes/s: %3 bytes on the line, %4 s; program %5 s to the Save "
                          "dialog (utilisation %6), baseline %7 s (utilisation %8)\n")
               .arg(QFileInfo(lineFolder + u'/' + PhoneFile).size() / KiB)
               .arg(LineRate)
               .arg(lineBaseline.bytesRead)
               .arg(lineSeconds, 0, 'f', 3)
               .arg(toDialog(lineProgram), 0, 'f', 3)
               .arg(use, 0, 'f', 3)
               .arg(lineBaseline.wallSeconds, 0, 'f', 3)
               .arg(baselineUse, 0, 'f', 3);

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
        << '\n'
        << Measurement::targetLine(QStringLiteral("the check of a 16 MiB JAR takes at most 1.15 times zlib's own"),
                                   checkOverZlib <= 1.15, QString::number(checkOverZlib, 'f', 2))
        << '\n'
        << Measurement::targetLine(QStringLiteral("line utilisation at %1 bytes/s at least 0.97").arg(LineRate),
                                   use >= 0.97,
                                   QStringLiteral("%1; the baseline's %2").arg(use, 0, 'f', 3).arg(baselineUse, 0, 'f', 3))
        << '\n';
    return 0;
}
