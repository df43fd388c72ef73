// The check of a copied archive against its own ZIP records.
#include "phonefs/archivecheck.h"
#include "phonefs/archiveprecheck.h"
#include "samples/jarbuilder.h"
#include "support/testfiles.h"

#include <QDir>
#include <QTest>

#ifdef Q_OS_LINUX
#include <sched.h>
#endif

using namespace Qt::StringLiterals;
using Verdict = ArchiveCheck::Verdict;
using Range = ArchiveCheck::Range;
using Ranges = QList<Range>;

char *toString(const Range &range)
{
    return QTest::toString(QByteArray::number(range.begin) + ".." + QByteArray::number(range.end));
}

namespace {

constexpr auto Descriptor = JarEntry::Descriptor::Signed;
constexpr auto Bare = JarEntry::Descriptor::Bare;
constexpr auto Wide = JarEntry::Descriptor::Wide;
const QString Manifest = QStringLiteral("META-INF/MANIFEST.MF");
const QString Game = QStringLiteral("Игра.class");
const QString Icon = QStringLiteral("icon.png");
const QString Directory = QStringLiteral("центральный каталог");
const QString Zip64 = QStringLiteral("формат ZIP64");

#ifdef Q_OS_LINUX
// The scheduling policy of each thread of this process.
QList<int> threadPolicies()
{
    QList<int> policies;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(task + QStringLiteral("/stat")));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // Field 41 of the line; the fields from the third on follow the command's ")".
        policies.append(line.sliced(line.lastIndexOf(')') + 2).split(' ').value(41 - 3).toInt());
    }
    return policies;
}
#endif

QByteArray text(int lines)
{
    QByteArray out;
    for (int i = 0; i < lines; ++i)
        out += "line " + QByteArray::number(i * i % 977) + " of the class\n";
    return out;
}

// Deflated, deflated with a descriptor, and stored; longer than the end record's search.
const Jar &fixture()
{
    static const Jar jar = BuildJar({{Manifest.toUtf8(), "Manifest-Version: 1.0\r\n"},
                                     {Game.toUtf8(), text(200), true, Descriptor},
                                     {Icon.toUtf8(), randomBytes(70000, 7), false}});
    return jar;
}

QByteArray flipped(QByteArray bytes, qint64 at)
{
    bytes[at] = char(bytes[at] ^ 0x10);
    return bytes;
}

QByteArray patched(QByteArray bytes, qint64 at, quint32 value, int width = 4)
{
    PutLittleEndian(bytes, at, value, width);
    return bytes;
}

// The same field of an entry's local header and central record.
QByteArray patchedBoth(const QByteArray &bytes, int entry, int localField, quint32 value, int width = 4)
{
    const Jar::Places &places = fixture().entries[entry];
    return patched(patched(bytes, places.local + localField, value, width),
                   places.central + localField + 2, value, width);
}

} // namespace

class ArchiveCheckTest : public QObject
{
    Q_OBJECT

private slots:
    void check_data();
    void check();
    void precheckFollowsTheEntriesAsTheyArrive();
};

void ArchiveCheckTest::check_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Verdict>("verdict");
    QTest::addColumn<QString>("failed");
    QTest::addColumn<Ranges>("suspects");

    const Jar &jar = fixture();
    const QByteArray &sound = jar.bytes;
    const qint64 size = sound.size();
    const QList<Jar::Places> &e = jar.entries;
    const auto row = [](const QByteArray &name, const QByteArray &file, Verdict verdict, const QString &failed = {},
                        const Ranges &suspects = {}) {
        QTest::newRow(name.constData()) << file << verdict << failed << suspects;
    };
    // Entry i named as damaged, with its local part and its central record as suspects.
    const auto entry = [&](const char *name, const QByteArray &file, int i) {
        row(name, file, Verdict::Damaged, QStringList{Manifest, Game, Icon}.at(i),
            {{e[i].local, e[i].end}, {e[i].central, e[i].centralEnd}});
    };
    const auto directory = [&](const QByteArray &name, const QByteArray &file, const Ranges &suspects) {
        row(name, file, Verdict::Damaged, Directory, suspects);
    };
    // What the end record's search covers in a file of this length.
    const auto tail = [](qint64 end) { return Ranges{{qMax<qint64>(0, end - 65535 - 22), end}}; };

    row("sound", sound, Verdict::Sound);
    row("extras, comments, bare descriptors, empty entries, an end signature in the comment",
        BuildJar({{"a", "", false, Bare},
                  {"b", "", true, Bare, QByteArrayLiteral("xy\5\0local"), QByteArrayLiteral("xy\1\0c"), "comment"},
                  {"c", text(9), true, Bare, "", "", "c"}, {"d", "", false, {}, QByteArrayLiteral("\xFE\xCA\0\0")}},
                 "PK\5\6 is no end record")
            .bytes,
        Verdict::Sound);
    row("longest comment", BuildJar({{"a", "x"}}, QByteArray(65535, 'c')).bytes, Verdict::Sound);
    row("archive without entries", BuildJar({}).bytes, Verdict::Sound);

    // A stub in front, as "cat stub app.jar" makes: offsets count from the archive's start.
    const QByteArray stub = "#!/bin/sh\nexec java -jar \"$0\" \"$@\"\n";
    const qint64 s = stub.size();
    row("stub", stub + sound, Verdict::Sound);
    row("stub, deflated data", stub + flipped(sound, e[1].data + 100), Verdict::Damaged, Game,
        {{s + e[1].local, s + e[1].end}, {s + e[1].central, s + e[1].centralEnd}});
    // Only a local header could tell a stub from a wrong directory offset.
    const Jar one = BuildJar({{"a", randomBytes(200, 3), false}});
    row("stub, the only local header", stub + flipped(one.bytes, 0), Verdict::Damaged, Directory,
        {{s, s + 31}, {one.directory, s + one.bytes.size()}});

    // 8-byte sizes in the descriptors, as a ZIP64 field in the local header announces.
    const QByteArray zip64Field = QByteArrayLiteral("\1\0\x10\0") + QByteArray(16, '\0');
    const Jar wide = BuildJar({{Manifest.toUtf8(), "x", true, Wide, zip64Field},
                               {Game.toUtf8(), text(9), false, Wide, QByteArrayLiteral("xy\1\0-") + zip64Field}});
    row("8-byte descriptors", wide.bytes, Verdict::Sound);
    row("8-byte descriptors, unannounced", BuildJar({{Manifest.toUtf8(), "x", true, Wide}}).bytes, Verdict::Sound);
    const QList<Jar::Places> &w = wide.entries;
    row("8-byte descriptor's size", flipped(wide.bytes, w[1].end - 1), Verdict::Damaged, Game,
        {{w[1].local, w[1].end}, {w[1].central, w[1].centralEnd}});

    row("descriptor text", "MIDlet-Name: Игра\r\nMIDlet-Jar-URL: game.jar\r\n", Verdict::NotArchive);
    row("empty file", QByteArray(), Verdict::NotArchive);

    entry("deflated data", flipped(sound, e[1].data + 100), 1);
    entry("stored data's last byte", flipped(sound, e[2].end - 1), 2);
    entry("local signature", flipped(sound, e[1].local), 1);
    entry("first byte", flipped(sound, 0), 0);
    entry("local flags", flipped(sound, e[2].local + 6), 2);
    entry("local method", flipped(sound, e[0].local + 8), 0);
    entry("local CRC", flipped(sound, e[0].local + 14), 0);
    entry("local size", flipped(sound, e[2].local + 22), 2);
    entry("local name", flipped(sound, e[0].local + 30), 0);
    entry("descriptor signature", flipped(sound, e[1].end - 16), 1);
    entry("descriptor size", flipped(sound, e[1].end - 1), 1);
    entry("central CRC", flipped(sound, e[1].central + 16), 1);
    // What would leave the archive unchecked, claimed by the directory alone.
    entry("central flags claim encryption", patched(sound, e[2].central + 8, 0x0801, 2), 2);
    entry("central size claims 3.75 GiB", patched(sound, e[0].central + 24, 0xF0000000), 0);
    row("local header beyond the entries", patched(sound, e[1].central + 42, quint32(jar.directory)),
        Verdict::Damaged, Game, {{e[1].central, e[1].centralEnd}});
    row("local header cut by the directory", patched(sound, e[1].central + 42, quint32(jar.directory - 10)),
        Verdict::Damaged, Game, {{jar.directory - 10, jar.directory}, {e[1].central, e[1].centralEnd}});

    const qint64 deflatedManifest = e[0].end - e[0].data;
    entry("inflates to more than declared", patchedBoth(sound, 0, 22, 22), 0);
    entry("inflates to less than declared", patchedBoth(sound, 0, 22, 24), 0);
    entry("inflates to less than declared, 1 GiB in all",
          patchedBoth(sound, 0, 22, (1u << 30) - quint32(text(200).size()) - 70000), 0);
    row("compressed size one short", patchedBoth(sound, 0, 18, quint32(deflatedManifest - 1)), Verdict::Damaged,
        Manifest, {{e[0].local, e[0].end - 1}, {e[0].central, e[0].centralEnd}});
    row("compressed size one over", patchedBoth(sound, 0, 18, quint32(deflatedManifest + 1)), Verdict::Damaged,
        Manifest, {{e[0].local, e[0].end + 1}, {e[0].central, e[0].centralEnd}});
    entry("stored data past the directory", patchedBoth(patchedBoth(sound, 2, 18, 70001), 2, 22, 70001), 2);

    // Each entry's two parts, merged where they touch.
    row("entries 0 and 2", flipped(flipped(sound, e[0].data + 5), e[2].data + 5), Verdict::Damaged, Manifest,
        {{e[0].local, e[0].end}, {e[2].local, e[0].centralEnd}, {e[2].central, e[2].centralEnd}});
    row("entries 1 and 2", flipped(flipped(sound, e[1].data + 5), e[2].data + 5), Verdict::Damaged, Game,
        {{e[1].local, e[2].end}, {e[1].central, e[2].centralEnd}});

    const Ranges structure{{jar.directory, size}};
    directory("central signature", flipped(sound, e[1].central), structure);
    directory("central name length", flipped(sound, e[0].central + 28), structure);
    directory("entry counts differ", patched(sound, jar.endRecord + 8, 2, 2), structure);
    directory("disk number", flipped(sound, jar.endRecord + 4), structure);
    directory("directory size", flipped(sound, jar.endRecord + 12), structure);
    const QByteArray fewerEntries = patched(patched(sound, jar.endRecord + 8, 2, 2), jar.endRecord + 10, 2, 2);
    directory("fewer entries than records", fewerEntries, structure);
    directory("directory offset one early", patched(sound, jar.endRecord + 16, quint32(jar.directory - 1)),
              {{jar.directory - 1, size}});
    directory("directory offset inside the end record", patched(sound, jar.endRecord + 16, quint32(jar.endRecord + 4)),
              {{jar.endRecord, size}});
    directory("directory offset at the end of the file", patched(sound, jar.endRecord + 16, quint32(size)), tail(size));
    directory("end record signature", flipped(sound, jar.endRecord), tail(size));
    for (const qint64 cut : {size - 1, jar.endRecord + 10, jar.directory + 50, e[2].data + 10, qint64(30), qint64(4)})
        directory("cut to " + QByteArray::number(cut) + " bytes", sound.first(cut), tail(cut));

    // Never called damaged: nothing is known to be wrong.
    const QString tooBig = u"больше 1 ГиБ после распаковки"_s;
    row("an entry claims 3.75 GiB", patchedBoth(sound, 0, 22, 0xF0000000), Verdict::NotChecked, tooBig);
    row("two entries claim 608 MiB each", patchedBoth(patchedBoth(sound, 0, 22, 608u << 20), 2, 22, 608u << 20),
        Verdict::NotChecked, tooBig);
    row("ZIP64 directory offset", patched(sound, jar.endRecord + 16, 0xFFFFFFFF), Verdict::NotChecked, Zip64);
    row("ZIP64 entry count", patched(sound, jar.endRecord + 10, 0xFFFF, 2), Verdict::NotChecked, Zip64);
    row("ZIP64 locator", QByteArray(sound).insert(jar.endRecord, "PK\6\7" + QByteArray(16, '\0')),
        Verdict::NotChecked, Zip64);
    row("ZIP64 entry", patched(sound, e[2].central + 24, 0xFFFFFFFF), Verdict::NotChecked, Zip64);
    row("encrypted", patchedBoth(sound, 2, 6, 0x0801, 2), Verdict::NotChecked, u"зашифрованный файл"_s);
    row("another method", patchedBoth(sound, 2, 8, 12, 2), Verdict::NotChecked, u"метод сжатия 12"_s);
}

void ArchiveCheckTest::check()
{
    QFETCH(QByteArray, file);
    QFETCH(Verdict, verdict);
    QFETCH(QString, failed);
    QFETCH(Ranges, suspects);

    const ArchiveCheck check = CheckArchive(file);
    QCOMPARE(check.verdict, verdict);
    QCOMPARE(check.failedEntry, failed);
    QCOMPARE(check.suspectRanges, suspects);
}

void ArchiveCheckTest::precheckFollowsTheEntriesAsTheyArrive()
{
    // Entry by entry, up to one its local header alone cannot tell the end of.
    const QByteArray stored = text(90);
    const Jar jar = BuildJar({{"a.txt", text(50)}, {"b.txt", stored, false}, {"c.txt", text(60), true, Descriptor},
                              {"d.txt", text(70)}});
    const QByteArray damaged = flipped(jar.bytes, jar.entries[1].data + 5);
    for (const QByteArray &file : {jar.bytes, damaged}) {
        ArchivePrecheck precheck;
        for (qsizetype at = 0; at < file.size(); at += 777)
            precheck.add(file.mid(at, 777));
#ifdef Q_OS_LINUX
        // No thread the user waits for runs in the idle class, which it could not
        // leave; a thread may take its class a moment after it started.
        for (int look = 0; look < 10; ++look, QTest::qSleep(10))
            QVERIFY(!threadPolicies().contains(SCHED_IDLE));
#endif
        const QList<SoundEntryData> sound = precheck.finish();
        QCOMPARE(sound.size(), qsizetype(file == damaged ? 1 : 2));
        for (qsizetype i = 0; i < sound.size(); ++i)
            QCOMPARE(sound.at(i).dataAt, jar.entries[i].data);
        // With them, the whole check finds what it finds without.
        QCOMPARE(CheckArchive(file, sound).suspectRanges, CheckArchive(file).suspectRanges);
    }
    // What it is told is sound, it does not inflate again.
    const auto crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(stored.constData()), uInt(stored.size())));
    const auto size = quint32(stored.size());
    QCOMPARE(CheckArchive(damaged, {{jar.entries[1].data, 0, size, size, crc}}).verdict, Verdict::Sound);
}

QTEST_GUILESS_MAIN(ArchiveCheckTest)
#include "tst_archivecheck.moc"
