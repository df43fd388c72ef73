// morvex-sample-jar: writes a small, valid Java application archive (a ZIP
// with META-INF/MANIFEST.MF) for the demo phone. Entries are stored without
// compression, which every ZIP reader accepts.
#include "jarbuilder.h"

#include <QFile>

#include <cstdio>

namespace {

// Readable filler that makes the archive about the size asked for.
QByteArray aboutText(const QByteArray &name, qsizetype size)
{
    QByteArray text;
    for (int line = 1; text.size() < size; ++line)
        text += name + ", a Morvex sample application. Line " + QByteArray::number(line) + ".\n";
    text.truncate(size);
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "Usage: %s <output.jar> <application name> [text bytes]\n", argv[0]);
        return 2;
    }
    const QByteArray name = argv[2];
    const qsizetype textBytes = argc == 4 ? QByteArray(argv[3]).toLongLong() : 1000;
    const QByteArray manifest = "Manifest-Version: 1.0\r\n"
                                "Created-By: morvex-sample-jar\r\n"
                                "MIDlet-Name: " + name + "\r\n"
                                "MIDlet-Vendor: Morvex samples\r\n"
                                "MIDlet-Version: 1.0\r\n"
                                "\r\n";
    const QByteArray archive = BuildJar({{"META-INF/MANIFEST.MF", manifest, false},
                                         {"about.txt", aboutText(name, textBytes), false}})
                                   .bytes;

    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(archive) != archive.size()) {
        std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(file.errorString()));
        return 1;
    }
    return 0;
}
