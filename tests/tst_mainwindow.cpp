// The main window as it starts: lists, menus, shortcuts and the resize rule.
#include "app/Form1.h"
#include "app/resizerule.h"
#include "app/twips.h"
#include "support/scriptedprompts.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {

QStringList entries(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts.append(combo->itemText(i));
    return texts;
}

QRect twips(const QWidget *widget)
{
    const QRect px = widget->geometry();
    return QRect(px.x() * 15, px.y() * 15, px.width() * 15, px.height() * 15);
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void startsWithDesignTextsAndFilledLists()
    {
        ScriptedPrompts prompts;
        Form1 window(prompts);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        auto *combo1 = window.findChild<QComboBox *>("Combo1");
        auto *combo2 = window.findChild<QComboBox *>("Combo2");
        QCOMPARE(combo1->currentText(), QStringLiteral("5"));
        QCOMPARE(combo2->currentText(), QStringLiteral("115200"));
        QStringList ports;
        for (int n = 1; n <= 20; ++n)
            ports.append(QString::number(n));
        QCOMPARE(entries(combo1), ports);
        QCOMPARE(entries(combo2), QStringList({"256000", "128000", "115200", "57600", "56000", "38400",
                                               "19200", "14400", "9600"}));

        QCOMPARE(window.windowTitle(), QStringLiteral("Vantor Morvex v0.92"));
        QVERIFY(!window.findChild<QListWidget *>("List1")->isVisible());
        QVERIFY(!window.findChild<QPlainTextEdit *>("Text1")->isVisible());
        QVERIFY(window.findChild<QListWidget *>("List2")->count() == 0);
        QCOMPARE(window.findChild<QLabel *>("ComStatus")->palette().color(QPalette::Window), QColor(255, 0, 0));
        QCOMPARE(QApplication::focusWidget(), combo1);
        QVERIFY(prompts.messages.isEmpty());

        const QList<QPair<const char *, QString>> buttons{
            {"btnConnect", "Соединится"}, {"Command3", "Разъединится"}, {"btnRefresh", "Обновить каталог"},
            {"btnDownload", "Скачать"}, {"Command2", "Выход"}};
        for (const auto &[name, accessible] : buttons)
            QCOMPARE(window.findChild<QPushButton *>(name)->accessibleName(), accessible);
        QCOMPARE(window.findChild<QPushButton *>("btnDownload")->toolTip(), QString());
    }

    void menusOfferWhatCanBeChosen()
    {
        ScriptedPrompts prompts;
        Form1 window(prompts);
        auto action = [&](const char *name) { return window.findChild<QAction *>(name); };

        QCOMPARE(action("nmu_cmd_connect")->shortcut(), QKeySequence(QStringLiteral("Ctrl+C")));
        QCOMPARE(action("mnu_cmd_disconnect")->shortcut(), QKeySequence(QStringLiteral("Ctrl+D")));
        QCOMPARE(action("mnu_cmd_refresh")->shortcut(), QKeySequence(QStringLiteral("Ctrl+R")));
        QCOMPARE(action("mnu_cmd_exit")->shortcut(), QKeySequence(QStringLiteral("Ctrl+X")));
        QCOMPARE(action("mnuHelp")->shortcut(), QKeySequence(Qt::Key_F1));
        QVERIFY(!action("mnu_CS_SetGSM")->isEnabled());
        QVERIFY(!action("mnu_CS_SetIRA")->isEnabled() && !action("mnu_CS_SetIRA")->isVisible());
        QVERIFY(!action("mnu_CS_Set8859n")->isEnabled() && !action("mnu_CS_Set8859n")->isVisible());
        QVERIFY(!action("nmuDebug")->isEnabled());
        QVERIFY(action("mnu_CS_Get")->isEnabled() && action("mnu_CS_SetUTF8")->isEnabled());

        // Refusing input takes every entry away and gives back only the available ones.
        window.setInputEnabled(false);
        QVERIFY(!action("nmu_cmd_connect")->isEnabled());
        QVERIFY(!window.centralWidget()->isEnabled());
        QVERIFY(window.isEnabled());
        window.setInputEnabled(true);
        QVERIFY(action("nmu_cmd_connect")->isEnabled() && action("mnuHelp")->isEnabled());
        QVERIFY(!action("mnu_CS_SetGSM")->isEnabled() && !action("nmuDebug")->isEnabled());
    }

    void resizeRuleStepsStandAlone()
    {
        ResizingControls controls{{0, 1440, 3615, 2595}, {0, 4080, 3375, 285}, {3480, 4200, 135, 135},
                                  {120, 1200, 3495, 120}, {2160, 0, 375, 375}};
        ApplyResizeRule(controls, 3810, 5130);
        QCOMPARE(controls.list2, QRect(0, 1440, 3670, 2730));
        QCOMPARE(controls.txt2Write, QRect(0, 4130, 3360, 285));
        QCOMPARE(controls.comStatus, QRect(3460, 4180, 135, 135));
        QCOMPARE(controls.frame1, QRect(120, 1200, 3470, 120));
        QCOMPARE(controls.command2, QRect(3310, 0, 375, 375));

        // Too small: the failing sizes keep their values, everything else still follows.
        ApplyResizeRule(controls, 300, 2000);
        QCOMPARE(controls.list2, QRect(0, 1440, 160, 2730));
        QCOMPARE(controls.txt2Write, QRect(0, 1000, 3360, 285));
        QCOMPARE(controls.comStatus.topLeft(), QPoint(-50, 1050));
        QCOMPARE(controls.frame1.width(), 3470);
        QCOMPARE(controls.command2.left(), -200);
    }

    void windowFollowsItsSize()
    {
        ScriptedPrompts prompts;
        Form1 window(prompts);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *command2 = window.findChild<QPushButton *>("Command2");
        auto *list2 = window.findChild<QListWidget *>("List2");
        auto *status = window.findChild<QLineEdit *>("Txt2Write");
        auto *lamp = window.findChild<QLabel *>("ComStatus");

        for (const QSize growth : {QSize(0, 0), QSize(100, 60), QSize(-50, 200)}) {
            window.resize(window.size() + growth);
            QTest::qWait(20);
            const QSize client = window.centralWidget()->size();
            const int W = client.width() * 15 + 120;
            const int H = client.height() * 15 + 720;
            QCOMPARE(command2->x(), Twips::toPixels(W - 500));
            QCOMPARE(list2->size(), QSize(Twips::toPixels(W - 140), Twips::toPixels(H - 2400)));
            QCOMPARE(status->y(), Twips::toPixels(H - 1000));
            QCOMPARE(status->width(), Twips::toPixels(W - 450));
            QCOMPARE(lamp->pos(), QPoint(Twips::toPixels(W - 350), Twips::toPixels(H - 950)));
        }
        // The rest keeps its design place.
        QCOMPARE(twips(window.findChild<QPushButton *>("btnConnect")), QRect(120, 0, 375, 375));
        QCOMPARE(twips(window.findChild<QComboBox *>("Combo1")).topLeft(), QPoint(2040, 480));
        QCOMPARE(twips(list2).topLeft(), QPoint(0, 1440));
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
