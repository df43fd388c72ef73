// The main window as it starts: lists, menus and the resize rule.
#include "app/copyprogress.h"
#include "app/noticetext.h"
#include "app/resizerule.h"
#include "app/serialdevices.h"
#include "support/jobhelpers.h"
#include "support/windowfixture.h"
#include "windows/qtprompts.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QListView>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    // The window as it starts, then as it follows its size, then with tool windows open.
    void startsAsDesignedFollowsItsSizeAndKeepsItsShortcuts()
    {
        WindowFixture main;
        QVERIFY(showAndWait(&main.window));
        QCOMPARE(main.speedField->currentText(), QStringLiteral("115200"));
        QStringList ports;
        for (int n = 1; n <= 20; ++n)
            ports.append(QString::number(n));
        // After the numbers, the devices present: looked for again when the list opens.
        QCOMPARE(rows(main.portField), ports + SerialDeviceNames());
        main.portField->showPopup();
        QCOMPARE(rows(main.portField), ports + SerialDeviceNames());
        main.portField->hidePopup();
        QCOMPARE(main.portField->currentText(), QStringLiteral("5"));
        QCOMPARE(rows(main.speedField), QStringList({"256000", "128000", "115200", "57600", "56000", "38400",
                                                        "19200", "14400", "9600"}));

        QCOMPARE(main.window.windowTitle(), QStringLiteral("Vantor Morvex v0.92"));
        QVERIFY(!main.control<QListWidget>("List1")->isVisible());
        QVERIFY(!main.control<QPlainTextEdit>("Text1")->isVisible());
        QCOMPARE(main.control<QListWidget>("List2")->count(), 0);
        QCOMPARE(main.control<QLabel>("ComStatus")->palette().color(QPalette::Window), QColor(255, 0, 0));
        QVERIFY(main.prompts.messages.isEmpty());

        const QList<QPair<const char *, QString>> buttons{
            {"btnConnect", "Соединится"}, {"Command3", "Разъединится"}, {"btnRefresh", "Обновить каталог"},
            {"btnDownload", "Скачать"}, {"Command2", "Выход"}};
        for (const auto &[name, accessible] : buttons)
            QCOMPARE(main.control<QPushButton>(name)->accessibleName(), accessible);

        // The menus offer what can be chosen.
        auto action = [&](const char *name) { return main.control<QAction>(name); };
        QVERIFY(!action("mnu_CS_SetGSM")->isEnabled() && action("mnu_CS_SetGSM")->isVisible());
        QVERIFY(!action("mnu_CS_SetIRA")->isEnabled() && !action("mnu_CS_SetIRA")->isVisible());
        QVERIFY(!action("mnu_CS_Set8859n")->isEnabled() && !action("mnu_CS_Set8859n")->isVisible());
        QVERIFY(!action("nmuDebug")->isEnabled());
        QVERIFY(action("mnu_CS_Get")->isEnabled() && action("mnu_CS_SetUTF8")->isEnabled());

        // "Найти телефон" follows "Подключиться", on a key no other entry uses.
        const QList<QAction *> commands = main.control<QMenu>("mnuCommands")->actions();
        QCOMPARE(commands.at(1), action("mnu_cmd_find"));
        QCOMPARE(commands.at(1)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
        QList<QKeySequence> keys;
        for (const QAction *each : main.window.findChildren<QAction *>()) {
            QVERIFY2(each->shortcut().isEmpty() || !keys.contains(each->shortcut()), qPrintable(each->objectName()));
            keys.append(each->shortcut());
        }

        // Refusing input takes every entry away and gives back only the available ones.
        main.window.setInputEnabled(false);
        QVERIFY(!action("nmu_cmd_connect")->isEnabled());
        QVERIFY(!main.window.centralWidget()->isEnabled());
        QVERIFY(main.window.isEnabled());
        main.window.setInputEnabled(true);
        QVERIFY(action("nmu_cmd_connect")->isEnabled() && action("mnuHelp")->isEnabled());
        QVERIFY(!action("mnu_CS_SetGSM")->isEnabled() && !action("nmuDebug")->isEnabled());

        // A client area of 300 x 400 pixels makes an outer window of 4620 x 6720 twips.
        main.window.resize(main.window.size() - main.window.centralWidget()->size() + QSize(300, 400));
        QTRY_COMPARE(main.window.centralWidget()->size(), QSize(300, 400));
        // The controls along the edges follow; the rest, like Connect, keeps its design place.
        const QList<QPair<const char *, QRect>> places{
            {"List2", {0, 96, 299, 288}}, {"Txt2Write", {0, 381, 278, 19}}, {"ComStatus", {285, 385, 9, 9}},
            {"Frame1", {8, 80, 285, 8}}, {"Command2", {275, 0, 25, 25}}, {"btnConnect", {8, 0, 25, 25}}};
        for (const auto &[name, place] : places)
            QCOMPARE(main.control(name)->geometry(), place);
        // The port field may have grown to the right for the devices it lists.
        QCOMPARE(main.portField->geometry().topLeft(), QPoint(136, 32));

        // Shortcuts work only in the main window.
        main.window.mnuHelp_Click();
        auto *about = main.window.findChild<Form2 *>();
        QVERIFY(QTest::qWaitForWindowActive(about));
        main.window.nmuDebug_Click();
        debugForm *debug = main.window.debugWindow();
        QVERIFY(QTest::qWaitForWindowActive(debug));

        // Exit, connect, refresh and find would each show or end something.
        for (QWidget *tool : {static_cast<QWidget *>(about), static_cast<QWidget *>(debug)}) {
            QApplication::setActiveWindow(tool);
            for (const Qt::Key key : {Qt::Key_X, Qt::Key_C, Qt::Key_R, Qt::Key_F})
                QTest::keyClick(QApplication::focusWidget(), key, Qt::ControlModifier);
        }
        QVERIFY(main.window.isVisible());
        QVERIFY(main.window.centralWidget()->isEnabled());
        QCOMPARE(main.prompts.messageTexts(), QStringList());

        QApplication::setActiveWindow(&main.window);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(main.prompts.messageTexts(), QStringList{QStringLiteral("13 Port is not open")});
    }

    void noticeCountsBytesThenShowsTheRate_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<qint64>("milliseconds");
        QTest::addColumn<qint64>("bytesBefore");
        QTest::addColumn<QString>("progress");
        QTest::newRow("nothing yet") << 0LL << 0LL << 0LL << QStringLiteral("0 байт");
        QTest::newRow("under a second") << 196605LL << 999LL << 0LL << QStringLiteral("196 605 байт");
        QTest::newRow("a slow line") << 196605LL << 34000LL << 0LL << QStringLiteral("196 605 байт, 5,6 КБ/с");
        QTest::newRow("a fast line") << 2000000LL << 1000LL << 0LL << QStringLiteral("2 000 000 байт, 1 953,1 КБ/с");
        QTest::newRow("bytes before the clock") << 11024LL << 1000LL << 10000LL << QStringLiteral("11 024 байт, 1,0 КБ/с");
    }

    void noticeCountsBytesThenShowsTheRate()
    {
        QFETCH(qint64, bytes);
        QFETCH(qint64, milliseconds);
        QFETCH(qint64, bytesBefore);
        QFETCH(QString, progress);
        QCOMPARE(ProgressText(bytes, milliseconds, bytesBefore), progress);
        QCOMPARE(CopyingNoticeText(QString(), progress), QStringLiteral("ИДЕТ КОПИРОВАНИЕ\n") + progress);
        QCOMPARE(CopyingNoticeText(QStringLiteral("2 из 5: Игра.jar"), progress),
                 QStringLiteral("ИДЕТ КОПИРОВАНИЕ\n2 из 5: Игра.jar\n") + progress);
    }

    void resizeRuleStepsStandAlone()
    {
        ResizingControls controls{{0, 1440, 3615, 2595}, {0, 4080, 3375, 285}, {3480, 4200, 135, 135},
                                  {120, 1200, 3495, 120}, {2160, 0, 375, 375}};
        const auto places = [&c = controls] {
            return QList<QRect>{c.list2, c.txt2Write, c.comStatus, c.frame1, c.command2};
        };
        ApplyResizeRule(controls, 3810, 5130);
        QCOMPARE(places(), (QList<QRect>{{0, 1440, 3670, 2730}, {0, 4130, 3360, 285}, {3460, 4180, 135, 135},
                                         {120, 1200, 3470, 120}, {3310, 0, 375, 375}}));

        // Too small: the failing sizes keep their values, everything else still follows.
        ApplyResizeRule(controls, 300, 2000);
        QCOMPARE(places(), (QList<QRect>{{0, 1440, 160, 2730}, {0, 1000, 3360, 285}, {-50, 1050, 135, 135},
                                         {120, 1200, 3470, 120}, {-200, 0, 375, 375}}));
    }

    void saveDialogShowsFilesWithoutADot()
    {
#ifdef Q_OS_WIN
        QSKIP("Windows shows its own dialog, where *.* is every file.");
#endif
        QTemporaryDir folder;
        QVERIFY(QFile(folder.filePath(QStringLiteral("README"))).open(QIODevice::WriteOnly));

        // The dialog lists the folder in the background: look until the file shows
        // or it is plainly not going to.
        bool listed = false;
        int looks = 0;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            const auto *view = dialog->findChild<QListView *>(QStringLiteral("listView"));
            const QAbstractItemModel *model = view->model();
            for (int row = 0; row < model->rowCount(view->rootIndex()); ++row)
                listed = listed || model->index(row, 0, view->rootIndex()).data() == QStringLiteral("README");
            if (listed || ++looks > 40)
                dialog->reject();
        });
        watcher.start(50);
        QtPrompts prompts;
        QCOMPARE(prompts.saveFileName(QStringLiteral("Save File"), QStringLiteral("All files (*.*)"),
                                      folder.filePath(QStringLiteral("game.jar"))),
                 std::nullopt);
        QVERIFY(listed);
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
