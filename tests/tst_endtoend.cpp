// The whole job against our phone simulator on a pseudo-terminal: connect, list,
// download, save, and the ways it can go wrong.
#include "support/phonereplies.h"
#include "samples/jarbuilder.h"
#include "support/session.h"
#include "support/windowfixture.h"
#include "windows/qtprompts.h"

#ifndef Q_OS_WIN
#include "support/pseudoterminal.h"
#endif

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

class EndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void listingShowsTheApplications()
    {
        Session session;
        QVERIFY(QDir(session.phoneFolder.path()).mkdir("games"));
        QVERIFY(session.start({{"Игра.jar", "x"}, {"Tetris.jar", "x"}, {"README", "x"}, {".hidden.jad", "x"}},
                              {"--split", "anywhere", "--max-piece", "7", "--pause-us", "200"}));

        // In the phone's order, which is that of the names' bytes.
        QCOMPARE(rows(session.list), QStringList({".hidden.jad", "Tetris.jar", "Игра.jar"}));
        // The hidden list holds the same entries, as the phone spells them.
        const auto *raw = session.window->findChild<QListWidget *>("List1");
        QCOMPARE(raw->count(), 3);
        QCOMPARE(raw->item(2)->data(Qt::UserRole).toByteArray(), QByteArray("Игра.jar"));
        QVERIFY(session.prompts.messages.isEmpty());
    }

    void slowListingsAreShownOnce()
    {
        // A listing takes the phone half a second.
        Session session;
        const QStringList names{"a.jar", "b.jar", "c.jar"};
        QVERIFY(session.start({{"a.jar", "x"}, {"b.jar", "x"}, {"c.jar", "x"}}, {"--rate", "300"}));
        session.window->mnu_cmd_refresh_Click();
        session.window->mnu_cmd_refresh_Click();
        QTRY_COMPARE(session.phone->received().count("AT*ELIF"), 3);
        QTest::qWait(1500);
        QCOMPARE(rows(session.list), names);

        // Disconnected while a listing comes in, then connected again.
        session.window->mnu_cmd_refresh_Click();
        QTest::qWait(400);
        session.window->mnu_cmd_disconnect_Click();
        session.window->btnConnect_Click();
        QTest::qWait(1500);
        QCOMPARE(rows(session.list), names);
    }

    void downloadsAreByteIdentical_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QStringList>("options");
        const QStringList fineSplit{"--split", "anywhere", "--max-piece", "5", "--pause-us", "100"};
        const QStringList coarseSplit{"--split", "anywhere", "--max-piece", "3000", "--pause-us", "100",
                                      "--chunk-width", "4096"};
        QTest::newRow("empty") << 0 << fineSplit;
        QTest::newRow("1234 bytes, cut only where a phone may")
            << 1234 << QStringList{"--split", "safe", "--max-piece", "5", "--pause-us", "100"};
        QTest::newRow("one full piece") << 65535 << coarseSplit;
        QTest::newRow("two full pieces") << 131070 << coarseSplit;
        QTest::newRow("200000 bytes") << 200000 << coarseSplit;
    }

    void downloadsAreByteIdentical()
    {
        QFETCH(int, size);
        QFETCH(QStringList, options);
        Session session;
        const QByteArray content = randomBytes(size, quint32(size) + 7);
        QVERIFY(session.start({{"app.jar", content}}, options));

        session.prompts.savePaths.enqueue(session.savePath("copy.jar"));
        QVERIFY(session.download(QStringLiteral("app.jar")));
        QCOMPARE(session.prompts.proposedNames, QStringList{"app.jar"});
        QCOMPARE(readFile(session.savePath("copy.jar")), content);
        QCOMPARE(session.prompts.beeps, 1);
        QCOMPARE(session.prompts.messageTexts(),
                 QStringList{QStringLiteral("Data Saved to: \"%1\"").arg(session.savePath("copy.jar"))});

        QCOMPARE(session.phone->received(), ListingLine + readRequests("app.jar", size));
    }

#ifndef Q_OS_WIN
    // A byte below 0x10 in a name goes out as two digits, as the phone reads them.
    // (Windows lets no file name hold one, so the phone's folder cannot there.)
    void nameWithAControlByteIsRead()
    {
        Session session;
        QVERIFY(session.start({{"a\x01.jar", "x"}}));
        session.prompts.savePaths.enqueue(session.savePath("copy.jar"));
        QVERIFY(session.download(QStringLiteral("a\x01.jar")));
        QCOMPARE(readFile(session.savePath("copy.jar")), "x");
        QCOMPARE(session.phone->received(), ListingLine + readRequests("a\x01.jar", 1));
    }
#endif

    void damagedCopiesAreReadAgain_data()
    {
        QTest::addColumn<QByteArray>("onPhone");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("damagedOnPhone");
        const JarEntry manifest{"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\n"};
        const QByteArray onePiece = BuildJar({{"a.bin", randomBytes(20000, 5)}, manifest}).bytes;
        QByteArray fourPieces = BuildJar({{"a.bin", randomBytes(100000, 6)}, {"b.bin", randomBytes(120000, 7)}, manifest}).bytes;
        QTest::newRow("one piece, on the line") << onePiece << QStringList{"--corrupt-read", "1"} << false;
        QTest::newRow("four pieces, on the line")
            << fourPieces << QStringList{"--corrupt-read", "3", "--split", "anywhere", "--max-piece", "3000"} << false;
        QTest::newRow("count garbled on the line") << fourPieces << QStringList{"--bad-count-read", "2"} << false;
        QTest::newRow("byte lost on the line") << fourPieces << QStringList{"--short-data-read", "3"} << false;
        fourPieces[150000] = char(fourPieces[150000] ^ 0x40);
        QTest::newRow("on the phone") << fourPieces << QStringList() << true;
    }

    void damagedCopiesAreReadAgain()
    {
        QFETCH(QByteArray, onPhone);
        QFETCH(QStringList, options);
        QFETCH(bool, damagedOnPhone);
        Session session;
        QVERIFY(session.start({{"app.jar", onPhone}}, options));
        session.prompts.questionAnswers.enqueue(true);
        session.prompts.savePaths.enqueue(session.savePath("copy.jar"));
        QVERIFY(session.download(QStringLiteral("app.jar")));
        // What the phone holds, damaged or not, and asked about only when it is.
        QCOMPARE(readFile(session.savePath("copy.jar")), onPhone);
        QCOMPARE(session.prompts.questions.size(), damagedOnPhone ? 1 : 0);
        QVERIFY(session.phone->received().count("AT*ERIF") > onPhone.size() / 65535 + 1);
    }

    void errorMidDownloadThenAnotherDownload()
    {
        Session session;
        const QByteArray small = randomBytes(777, 2);
        QVERIFY(session.start({{"big.jar", randomBytes(150000, 1)}, {"small.jar", small}}, {"--fail-read", "2"}));

        QVERIFY(session.download(QStringLiteral("big.jar")));
        QCOMPARE(session.prompts.messageTexts(), QStringList{QStringLiteral("Ошибочная комманда")});
        QVERIFY(session.prompts.proposedNames.isEmpty());

        session.prompts.savePaths.enqueue(session.savePath("small.jar"));
        QVERIFY(session.download(QStringLiteral("small.jar")));
        QCOMPARE(readFile(session.savePath("small.jar")), small);
    }

    void enterAsksFirstAndFailedSavesLoseNothing()
    {
        Session session;
        const QByteArray content = randomBytes(5000, 3);
        QVERIFY(session.start({{"a_b.jar", content}}));
        QVERIFY(writeFile(session.savePath("kept.jar"), "old"));

        // Return asks first, and No leaves it at that.
        session.list->setCurrentRow(rows(session.list).indexOf("a_b.jar"));
        session.list->setFocus();
        QTest::keyClick(session.list, Qt::Key_Return);
        QCOMPARE(session.prompts.questions, QStringList{QStringLiteral("Скачать файл на комп?")});
        QCOMPARE(session.prompts.questionIcons, QList{Prompts::Icon::Question});
        QVERIFY(session.idle());

        // Yes, then Cancel in the Save dialog: nothing written, the old file kept.
        session.prompts.questionAnswers.enqueue(true);
        QTest::keyClick(session.list, Qt::Key_Enter, Qt::ShiftModifier);
        QTRY_COMPARE(session.prompts.messageTexts(), QStringList{QStringLiteral("You Canceled Saving")});
        QCOMPARE(readFile(session.savePath("kept.jar")), QByteArray("old"));

        // A folder, then a missing folder, then a good place: the same name is
        // proposed each time and the bytes arrive in the end.
        session.prompts.messages.clear();
        session.prompts.proposedNames.clear();
        for (const QString &path :
             {session.saveFolder.path(), session.savePath("no/such/dir.jar"), session.savePath("kept.jar")})
            session.prompts.savePaths.enqueue(path);
        QVERIFY(session.download(QStringLiteral("a_b.jar")));
        const QStringList texts = session.prompts.messageTexts();
        QCOMPARE(texts.size(), 3);
        QVERIFY(texts.at(0).startsWith(QStringLiteral("Saving Failed: \"%1\"\n").arg(session.saveFolder.path())));
        QVERIFY(texts.at(1).startsWith(QStringLiteral("Saving Failed: \"%1\"\n").arg(session.savePath("no/such/dir.jar"))));
        QCOMPARE(session.prompts.messages.at(0).icon, Prompts::Icon::Warning);
        QCOMPARE(texts.at(2), QStringLiteral("Data Saved to: \"%1\"").arg(session.savePath("kept.jar")));
        QCOMPARE(session.prompts.beeps, 1);
        QCOMPARE(session.prompts.proposedNames, QStringList(3, QStringLiteral("a_b.jar")));
        QCOMPARE(readFile(session.savePath("kept.jar")), content);
    }

    void escCancelsAtOnceAndTheLinkRecovers()
    {
        Session session;
        const QByteArray content = randomBytes(200000, 6);
        // About 1.3 seconds a full piece.
        QVERIFY(session.start({{"slow.jar", content}}, {"--rate", "100000"}));
        const auto *notice = session.window->findChild<QPlainTextEdit *>("Text1");
        auto requests = [&] { return session.phone->received().count("AT*ERIF"); };

        session.list->setCurrentRow(rows(session.list).indexOf("slow.jar"));
        session.window->List2_DblClick();
        // The count grows while the first piece arrives, and the rate follows.
        QTRY_VERIFY(!notice->toPlainText().endsWith(QStringLiteral("\n0 байт")));
        QCOMPARE(requests(), 1);
        QTRY_VERIFY(notice->toPlainText().endsWith(QStringLiteral(" КБ/с")));

        // Esc in the middle of the second piece.
        QTRY_COMPARE_WITH_TIMEOUT(requests(), 2, 10000);
        QTest::qWait(300);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(session.idle());

        // Refreshed while the phone still sends the rest: the listing is right,
        // nothing was saved or asked, and no third piece was requested.
        session.window->btnRefresh_Click();
        QTRY_COMPARE(session.list->count(), 1);
        QTest::qWait(200);
        QCOMPARE(rows(session.list), QStringList({"slow.jar"}));
        QCOMPARE(session.prompts.messageTexts(), QStringList());
        QVERIFY(session.prompts.proposedNames.isEmpty());
        QCOMPARE(requests(), 2);

        session.prompts.savePaths.enqueue(session.savePath("slow.jar"));
        QVERIFY(session.download(QStringLiteral("slow.jar")));
        QCOMPARE(readFile(session.savePath("slow.jar")), content);
    }

    void pulledCableWaitsForThePhone_data()
    {
        QTest::addColumn<QString>("phone"); // back as it was, later, with another file, never
        QTest::newRow("back") << "back";
        // Looked for, and on Windows opened in vain, a few times before it is back.
        QTest::newRow("back late") << "late";
        QTest::newRow("file changed") << "changed";
        QTest::newRow("cancelled while waiting") << "gone";
    }

    // The line drops halfway through the second piece ("back"), or right after it.
    void pulledCableWaitsForThePhone()
    {
        QFETCH(QString, phone);
        Session session;
        const QByteArray file = randomBytes(300000, 4);
        const QStringList gone{"--hangup-after", "2"};
        QStringList back = ReturningPhone(session.phoneFolder, 2, phone == "late" ? 5 : 1);
        if (phone == "back")
            back.append(QStringLiteral("--hangup-midway"));
        QVERIFY(session.start({{"long.jar", file}}, phone == "gone" ? gone : back));
        auto *notice = session.window->findChild<QPlainTextEdit *>("Text1");
        session.prompts.savePaths.enqueue(session.savePath("long.jar"));
        const QList<QListWidgetItem *> item = session.list->findItems("long.jar", Qt::MatchExactly);
        session.list->setCurrentItem(item.first());
        session.window->List2_DblClick();

        QTRY_VERIFY_WITH_TIMEOUT(notice->toPlainText().endsWith(QStringLiteral("связь потеряна, ждём телефон…")), 10000);
        QCOMPARE(lampColour(*session.window), QColor(255, 0, 0));
        QCOMPARE(session.prompts.messageTexts(), QStringList());
        const QByteArray other = randomBytes(300000, 5);
        if (phone == "changed")
            QVERIFY(writeFile(session.phoneFolder.filePath("long.jar"), other));
        if (phone == "gone") {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            QVERIFY(session.idle());
            QCOMPARE(session.prompts.messageTexts(), QStringList{QStringLiteral("Копирование прервано, файл не сохранён.")});
            QVERIFY(session.prompts.proposedNames.isEmpty());
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(session.idle(), 30000);
            QCOMPARE(session.prompts.messageTexts(),
                     QStringList{QStringLiteral("Data Saved to: \"%1\"").arg(session.savePath("long.jar"))});
            QCOMPARE(readFile(session.savePath("long.jar")), phone == "changed" ? other : file);
            QCOMPARE(lampColour(*session.window), QColor(0, 255, 0));
            // Nothing before the last whole piece is read again, unless the file changed.
            const QByteArray again = phone == "back"    ? readRequest("long.jar", 0) + readRequests("long.jar", 300000, 65535)
                                     : phone == "late" ? readRequests("long.jar", 300000, 65535)
                                                       : readRequest("long.jar", 65535) + readRequests("long.jar", 300000);
            QCOMPARE(session.phone->received().sliced(session.phone->received().indexOf("AT*ERIF")),
                     readRequests("long.jar", 65535) + again);
            QCOMPARE(notice->toPlainText().contains(QStringLiteral("long.jar: файл на телефоне изменился, "
                                                                   "копирование начато заново")),
                     phone == "changed");
            return;
        }

        // Starting again is refused at once, and the window stays usable.
        session.window->List2_DblClick();
        QCOMPARE(session.prompts.messageTexts().last(), QStringLiteral("13 Port is not open"));
        QVERIFY(session.idle());

        // The cable is back, on a new line behind the same port.
        session.prompts.messages.clear();
        session.list->clear();
        session.phone = ServeFiles(session.phoneFolder, {});
        QVERIFY(session.phone);
        session.phone->mapToPort(Session::Port);
        session.window->btnConnect_Click();
        QCOMPARE(session.prompts.messageTexts(), QStringList());
        QTRY_COMPARE(rows(session.list), QStringList{"long.jar"});
        QCOMPARE(lampColour(*session.window), QColor(0, 255, 0));
    }

#ifndef Q_OS_WIN
    // Qt's own dialogs, where Windows shows its native ones; and a phone that never
    // answers, played on a bare pseudo-terminal.
    void realDialogsTakeKeysWhileTheWindowIsDisabled()
    {
        QtPrompts prompts; // outlives the window that uses it
        Session session;
        QVERIFY(session.start({{"d.jar", "dialogs"}}, {}, &prompts));
        prompts.setOwner(session.window.get());
        session.list->setCurrentRow(rows(session.list).indexOf("d.jar"));

        // Answer each dialog with the keyboard, as a person would.
        const QString target = session.savePath("d.jar");
        QStringList answered;
        QTimer answerer;
        connect(&answerer, &QTimer::timeout, this, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || !modal->isEnabled())
                return;
            if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
                // The path is set whole, so no completion pops up to take the Return.
                if (answered.isEmpty() || answered.last() != dialog->windowTitle())
                    answered.append(dialog->windowTitle());
                else
                    dialog->reject(); // never leave the test waiting in a dialog
                auto *name = dialog->findChild<QLineEdit *>("fileNameEdit");
                name->setText(target);
                QTest::keyClick(name, Qt::Key_Return);
            } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                answered.append(box->text());
                QTest::keyClick(box, Qt::Key_Return);
            }
        });
        answerer.start(50);

        session.window->btnDownload_Click();
        QTRY_COMPARE_WITH_TIMEOUT(answered.size(), 2, 10000);
        QCOMPARE(answered, QStringList({"Save File", QStringLiteral("Data Saved to: \"%1\"").arg(target)}));
        QTRY_VERIFY(session.window->centralWidget()->isEnabled());
        QCOMPARE(readFile(target), QByteArray("dialogs"));
    }

    void closeBoxEndsASilentDownload()
    {
        PseudoTerminal phone;
        WindowFixture main;
        main.window.show();
        main.connectWith(phone.slavePath());
        QCOMPARE(phone.read(ListingLine.size()), ListingLine);
        phone.write(ListingLine + "\r\n*ELIF: \"732E6A6172\",1,0\r\n\r\nOK\r\n");
        auto *list = main.control<QListWidget>("List2");
        QTRY_COMPARE(rows(list), QStringList{"s.jar"});

        // Nothing selected: nothing happens. Then the phone takes the request for
        // the selected entry, the first thing written since the listing, and never
        // answers; the close box still works.
        main.window.btnDownload_Click();
        QVERIFY(main.window.centralWidget()->isEnabled());
        list->setCurrentRow(0);
        main.window.btnDownload_Click();
        const QByteArray request = readRequests("s.jar", 0);
        QCOMPARE(phone.read(request.size()), request);
        QVERIFY(!main.window.centralWidget()->isEnabled());
        QVERIFY(main.window.close());
        QVERIFY(!main.window.isVisible());
        QVERIFY(main.prompts.messages.isEmpty());
    }
#endif
};

QTEST_MAIN(EndToEndTest)
#include "tst_endtoend.moc"
