// Runs a fuzz target over the files of its seed corpus, without libFuzzer, so an
// ordinary build compiles the fuzz code and CTest replays the seeds.
#include "fuzzcheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char *argv[])
{
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const QFileInfo given(QString::fromLocal8Bit(argv[i]));
        const QFileInfoList files = given.isDir() ? QDir(given.filePath()).entryInfoList(QDir::Files)
                                                  : QFileInfoList{given};
        for (const QFileInfo &file : files) {
            QFile input(file.filePath());
            if (!input.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(file.filePath()));
                return 1;
            }
            FuzzOneInput(input.readAll());
            ++replayed;
        }
    }
    std::printf("%d inputs replayed\n", replayed);
    // An empty corpus proves nothing.
    return replayed > 0 ? 0 : 1;
}
