// Copying every listed application into a folder in one go, against our phone
// simulator on a pseudo-terminal.
#include "samples/jarbuilder.h"
#include "support/session.h"

#include <QAction>
#include <QDir>

namespace {

// Runs "Скопировать все…" into the folder and waits until the run is over.
[[nodiscard]] bool copyAllInto(Session &session, const QString &folder)
{
    session.prompts.folders.enqueue(folder);
    session.window->findChild<QAction *>("mnu_cmd_copyall")->trigger();
    return QTest::qWaitFor([&] { return session.idle() && !session.prompts.messages.isEmpty(); }, 60000);
}

} // namespace

class CopyAllTest : public QObject
{
    Q_OBJECT

private slots:
    void copiesEveryFileBesideWhatIsThere()
    {
        const QMap<QString, QByteArray> files{{"Игра.jar", randomBytes(3000, 1)},
                                              {"empty.jar", {}},
                                              {"big.jar", randomBytes(200000, 2)},
                                              {"tetris.jar", randomBytes(65535, 3)},
                                              {"z.jad", randomBytes(17, 4)}};
        Session session;
        QVERIFY(session.start(files, {"--split", "anywhere", "--max-piece", "3000", "--pause-us", "100"}));
        QCOMPARE(rows(session.list).size(), 5);
        const QStringList order = rows(session.list);

        QTemporaryDir target;
        QVERIFY(writeFile(target.filePath("tetris.jar"), "mine"));
        session.prompts.savePaths.enqueue(target.filePath("first.jar"));
        QVERIFY(session.download(QStringLiteral("z.jad")));
        session.prompts.messages.clear();
        const qsizetype heardBefore = session.phone->received().size();

        QVERIFY(copyAllInto(session, target.path()));
        // The folder dialog starts where the last Save dialog was.
        QCOMPARE(session.prompts.folderStarts, QStringList{target.path()});
        QCOMPARE(session.prompts.dialogTitles.last(), QStringLiteral("Выберите папку"));
        QCOMPARE(session.prompts.messageTexts(), QStringList{QStringLiteral("Скопировано файлов: 5 из 5")});
        QCOMPARE(session.prompts.messages.first().icon, Prompts::Icon::Information);
        for (const QString &name : order) {
            const QString saved = name == "tetris.jar" ? QStringLiteral("tetris (2).jar") : name;
            QCOMPARE(readFile(target.filePath(saved)), files.value(name));
        }
        QCOMPARE(readFile(target.filePath("tetris.jar")), QByteArray("mine"));
        QCOMPARE(QDir(target.path()).entryList(QDir::Files).size(), 7); // five, "mine" and first.jar
        QByteArray requests;
        for (const QString &name : order)
            requests += readRequests(name, files.value(name).size());
        QCOMPARE(session.phone->received().mid(heardBefore), requests);

        // Again: all five are there already, "tetris (2).jar" the phone's one. None
        // is an archive, so each is read in full and compared.
        session.prompts.messages.clear();
        const qsizetype heardFirstRun = session.phone->received().size();
        QVERIFY(copyAllInto(session, target.path()));
        QCOMPARE(session.prompts.messageTexts(),
                 QStringList{QStringLiteral("Скопировано файлов: 0 из 5\nУже были в папке: 5")});
        QCOMPARE(QDir(target.path()).entryList(QDir::Files).size(), 7);
        QCOMPARE(session.phone->received().mid(heardFirstRun), requests);
    }

    // The line drops halfway through the second piece of the second file; once the
    // phone is back the run compares the first piece, goes on and saves every file.
    void runGoesOnWhenThePhoneIsBack()
    {
        const QMap<QString, QByteArray> files{{"a.jar", randomBytes(70000, 1)}, {"b.jar", randomBytes(200000, 2)},
                                              {"c.jar", randomBytes(10, 3)}};
        Session session;
        QVERIFY(session.start(files, ReturningPhone(session.phoneFolder, 4) + QStringList{"--hangup-midway"}));
        QTemporaryDir target;
        QVERIFY(copyAllInto(session, target.path()));
        QCOMPARE(session.prompts.messageTexts(), QStringList{QStringLiteral("Скопировано файлов: 3 из 3")});
        for (auto file = files.begin(); file != files.end(); ++file)
            QCOMPARE(readFile(target.filePath(file.key())), file.value());
        const QByteArray received = session.phone->received();
        QCOMPARE(received.sliced(received.indexOf("AT*ERIF")),
                 readRequests("a.jar", 70000) + readRequests("b.jar", 65535) + readRequests("b.jar", 200000)
                     + readRequests("c.jar", 10));
    }

    // One piece per archive tells it is saved already: the one holding its last
    // byte, and for an exact multiple of 65535 the empty one after it.
    void savedArchivesAreKnownByTheirTail()
    {
        const JarEntry manifest{"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\n"};
        // A stored entry grows the archive byte for byte.
        const auto padded = [&](qint64 size) { return BuildJar({{"p.bin", QByteArray(size, 'p'), false}, manifest}).bytes; };
        const QMap<QString, QByteArray> files{
            {"small.jar", BuildJar({{"a.bin", randomBytes(900, 1)}, manifest}).bytes},
            {"big.jar", BuildJar({{"b.bin", randomBytes(150000, 2)}, manifest}).bytes},
            {"exact.jar", padded(2 * 65535 - padded(0).size())}};
        QCOMPARE(files.value("exact.jar").size(), 2 * 65535);
        Session session;
        QVERIFY(session.start(files));
        QTemporaryDir target;
        QVERIFY(copyAllInto(session, target.path()));
        QCOMPARE(session.prompts.messageTexts(), QStringList{QStringLiteral("Скопировано файлов: 3 из 3")});

        session.prompts.messages.clear();
        qsizetype heard = session.phone->received().size();
        QVERIFY(copyAllInto(session, target.path()));
        QCOMPARE(session.prompts.messageTexts(),
                 QStringList{QStringLiteral("Скопировано файлов: 0 из 3\nУже были в папке: 3")});
        QByteArray tails;
        for (const QString &name : rows(session.list)) {
            const qint64 size = files.value(name).size();
            tails += readRequests(name, size, (size - 1) / 65535 * 65535);
        }
        QCOMPARE(session.phone->received().mid(heard), tails);
        QCOMPARE(QDir(target.path()).entryList(QDir::Files).size(), 3);

        // Another archive of the same name is copied beside the saved one.
        const QByteArray other = BuildJar({{"a.bin", randomBytes(900, 3)}, manifest}).bytes;
        QVERIFY(writeFile(session.phoneFolder.filePath("small.jar"), other));
        session.prompts.messages.clear();
        QVERIFY(copyAllInto(session, target.path()));
        QCOMPARE(session.prompts.messageTexts(),
                 QStringList{QStringLiteral("Скопировано файлов: 1 из 3\nУже были в папке: 2")});
        QCOMPARE(readFile(target.filePath("small (2).jar")), other);
        QCOMPARE(readFile(target.filePath("small.jar")), files.value("small.jar"));
    }

    // a.jar is damaged on the line and read again, b.jar refused, c.jar damaged on
    // the phone: each is saved, skipped or noted, and the run goes on.
    void damagedAndRefusedFilesAreReadAgainSkippedOrNoted()
    {
        const JarEntry manifest{"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\n"};
        QByteArray damaged = BuildJar({{"x.bin", randomBytes(5000, 8)}, manifest}).bytes;
        damaged[100] = char(damaged[100] ^ 1);
        const QMap<QString, QByteArray> files{{"a.jar", BuildJar({{"a.bin", randomBytes(9000, 9)}, manifest}).bytes},
                                              {"b.jar", "bbb"},
                                              {"c.jar", damaged}};
        Session session;
        QVERIFY(session.start(files, {"--corrupt-read", "1", "--fail-read", "3"}));
        QTemporaryDir target;
        QVERIFY(copyAllInto(session, target.path()));
        QCOMPARE(session.prompts.messageTexts(),
                 QStringList{QStringLiteral("Скопировано файлов: 2 из 3\nb.jar: Ошибочная комманда\n"
                                            "c.jar: сохранён, но повреждён (x.bin)")});
        QCOMPARE(QDir(target.path()).entryList(QDir::Files), QStringList({"a.jar", "c.jar"}));
        for (const char *name : {"a.jar", "c.jar"})
            QCOMPARE(readFile(target.filePath(name)), files.value(name));
    }

    void cancelKeepsWhatWasSavedAndTheLinkRecovers()
    {
        QMap<QString, QByteArray> files;
        for (const char *name : {"1.jar", "2.jar", "3.jar", "4.jar"})
            files.insert(name, randomBytes(40000, quint32(name[0])));
        Session session;
        // About 0.8 seconds a file.
        QVERIFY(session.start(files, {"--rate", "100000"}));
        auto *notice = session.window->findChild<QPlainTextEdit *>("Text1");

        QTemporaryDir target;
        session.prompts.folders.enqueue(target.path());
        session.window->findChild<QAction *>("mnu_cmd_copyall")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(notice->toPlainText().contains(QStringLiteral("\n3 из 4: 3.jar\n")), 10000);
        QTRY_VERIFY(!notice->toPlainText().endsWith(QStringLiteral("\n0 байт")));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(session.idle());
        QCOMPARE(session.prompts.messageTexts(), QStringList{QStringLiteral("Скопировано файлов: 2 из 4 (отменено)")});
        QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"1.jar", "2.jar"}));

        session.window->btnRefresh_Click();
        QTRY_COMPARE(rows(session.list).size(), 4);
        QVERIFY(session.window->centralWidget()->isEnabled());
    }

    void offeredOnlyWithAnOpenPortAndAList()
    {
        Session session;
        auto copyAll = [&] { return session.window->findChild<QAction *>("mnu_cmd_copyall"); };
        QVERIFY(session.connect({{"a.jar", "a"}}));
        QVERIFY(!copyAll()->isEnabled()); // the list is still on its way
        QTRY_VERIFY(copyAll()->isEnabled());
        QCOMPARE(copyAll()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));

        // Cancelling the folder dialog copies nothing.
        session.window->findChild<QAction *>("mnu_cmd_copyall")->trigger();
        QVERIFY(session.idle());
        QVERIFY(session.prompts.messages.isEmpty());

        session.window->Command3_Click();
        QVERIFY(!copyAll()->isEnabled());
    }
};

QTEST_MAIN(CopyAllTest)
#include "tst_copyall.moc"
