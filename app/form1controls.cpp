// Builds the main window's controls and menus at their design places.
#include "Form1.h"

#include "portcombo.h"
#include "shortcutguard.h"
#include "twips.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QtMath>

namespace {

// The longest progress lines the copying notice may show below its heading: a
// count, or what is done with a file once it is in.
const QStringList LongestProgress{QStringLiteral("999 999 999 байт, 9 999,9 КБ/с"),
                                  QStringLiteral("повторное чтение: 99 из 99 частей")};

qreal widestOf(const QFontMetricsF &metrics, const QStringList &lines)
{
    qreal widest = 0;
    for (const QString &line : lines)
        widest = qMax(widest, metrics.horizontalAdvance(line));
    return widest;
}
// Room the notice keeps at its bottom right for a button: 80 x 23 pixels at 96 dpi.
constexpr QSize NoticeButtonRoom(1200, 345);

// A button with a picture and no caption; screen readers and desktop automation
// find it by its accessible name.
QPushButton *pictureButton(QWidget *client, const char *name, const QRect &twips,
                           const QString &picture, const QString &toolTip,
                           const QString &accessibleName = {})
{
    auto *button = Twips::place<QPushButton>(client, name, twips);
    button->setIcon(QIcon(picture));
    button->setIconSize(QSize(16, 16));
    button->setToolTip(toolTip);
    button->setAccessibleName(accessibleName.isEmpty() ? toolTip : accessibleName);
    return button;
}

QLabel *label(QWidget *client, const char *name, const QRect &twips, const QString &text)
{
    auto *label = Twips::place<QLabel>(client, name, twips);
    label->setText(text);
    return label;
}

template<typename Combo>
Combo *editableCombo(QWidget *client, const char *name, const QRect &twips, const QString &text)
{
    auto *combo = Twips::place<Combo>(client, name, twips);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    // A centred line is placed by the text's bounding box, which some fonts report
    // several lines tall (such as the math font Wine falls back to without Windows
    // fonts): centred, the text lands above this one-line field, out of sight.
    combo->lineEdit()->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    combo->setEditText(text);
    return combo;
}

// Wide enough for each line of its text and the longest progress line, each on
// one line; tall enough for its lines and the button's room below them; centred
// over the list.
QRect noticeGeometry(const QPlainTextEdit *notice, const QRect &list)
{
    const int lines = qMax(2, int(notice->toPlainText().count(QLatin1Char('\n'))) + 1);
    const QFontMetricsF metrics(notice->font());
    const qreal widest = widestOf(metrics, LongestProgress + notice->toPlainText().split(QLatin1Char('\n')));
    const int border = notice->frameWidth() + qCeil(notice->document()->documentMargin());
    // A pixel to spare: a line exactly as wide as the box is one rounding from wrapping.
    const QSize size(qCeil(widest) + 1 + 2 * border,
                     lines * qCeil(metrics.lineSpacing()) + 2 * border + Twips::toPixels(NoticeButtonRoom).height());
    return QRect(QPoint(list.x() + (list.width() - size.width()) / 2, list.y()), size);
}

} // namespace

void Form1::createControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    Combo1 = editableCombo<PortCombo>(client, "Combo1", {2040, 480, 975, 315}, QStringLiteral("5"));
    btnConnect = pictureButton(client, "btnConnect", {120, 0, 375, 375},
                               QStringLiteral(":/icons/connect.svg"), QStringLiteral("Соединится"));
    Label1 = label(client, "Label1", {120, 480, 1575, 255}, QStringLiteral("Номер СОМ-порта:"));
    Label2 = label(client, "Label2", {120, 840, 1815, 255}, QStringLiteral("Скорость соединения:"));
    Combo2 = editableCombo<QComboBox>(client, "Combo2", {2040, 840, 975, 315}, QStringLiteral("115200"));

    ComStatus = Twips::place<QLabel>(client, "ComStatus", {3480, 4200, 135, 135});
    ComStatus->setAutoFillBackground(true);
    ComStatus->setFrameShape(QFrame::Box);
    ComStatus->setToolTip(QStringLiteral("Статус соединения"));
    setLamp(false);

    Frame1 = Twips::place<QFrame>(client, "Frame1", {120, 1200, 3495, 120});
    Frame1->setFrameShape(QFrame::Box);
    Frame1->setFrameShadow(QFrame::Sunken);

    Command2 = pictureButton(client, "Command2", {2160, 0, 375, 375},
                             QStringLiteral(":/icons/exit.svg"), QStringLiteral("Выход"));

    List1 = Twips::place<QListWidget>(client, "List1", {840, 1080, 855, 645});
    List1->hide();

    Command3 = pictureButton(client, "Command3", {600, 0, 375, 375},
                             QStringLiteral(":/icons/disconnect.svg"), QStringLiteral("Разъединится"));

    Txt2Write = Twips::place<QLineEdit>(client, "Txt2Write", {0, 4080, 3375, 285});
    Txt2Write->setEnabled(false);
    Txt2Write->setToolTip(QStringLiteral("А.. Рабочая иформация"));
    setColourInAllStates(Txt2Write, QPalette::Base, QColor(0, 0, 0));
    setColourInAllStates(Txt2Write, QPalette::Text, QColor(0, 192, 0));

    btnRefresh = pictureButton(client, "btnRefresh", {1080, 0, 375, 375},
                               QStringLiteral(":/icons/refresh.svg"), QStringLiteral("Обновить каталог"));

    List2 = Twips::place<QListWidget>(client, "List2", {0, 1440, 3615, 2595});
    List2->setSelectionMode(QAbstractItemView::SingleSelection);

    btnDownload = pictureButton(client, "btnDownload", {1560, 0, 375, 375},
                                QStringLiteral(":/icons/download.svg"), QString(), QStringLiteral("Скачать"));

    // The notice lies over the list; it shows while the window takes no input,
    // so it keeps its colours then. At the design's 13.5 points the longest
    // progress line would be wider than the list; at 10 points it fits.
    Text1 = Twips::place<QPlainTextEdit>(client, "Text1", {480, 1440, 2775, 855});
    Text1->setReadOnly(true);
    Text1->setPlainText(QStringLiteral("ИДЕТ КОПИРОВАНИЕ\n"));
    QFont noticeFont = Twips::designFont(font());
    noticeFont.setPointSize(10);
    noticeFont.setBold(true);
    Text1->setFont(noticeFont);
    // Sized for its text, it needs no scroll bar; one reckoned while it was hidden
    // would stay and narrow the lines until they wrap.
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setColourInAllStates(Text1, QPalette::Text, palette().color(QPalette::Active, QPalette::Text));
    setColourInAllStates(Text1, QPalette::Base, palette().color(QPalette::Active, QPalette::Base));
    Text1->hide();

    // A child of the window itself, so it takes clicks and Esc while the window's
    // controls take none.
    cmdCancel = new QPushButton(QStringLiteral("Отмена"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->resize(cmdCancel->sizeHint());
    cmdCancel->hide();
    placeNotice();
    // Esc works while the button shows, and at once: a button's own shortcut
    // clicks it only after a short animation, time enough to ask for another piece.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), cmdCancel);
    connect(escape, &QShortcut::activated, this, &Form1::cmdCancel_Click);

    setTabOrder(Combo1, btnConnect);
    setTabOrder(btnConnect, Combo2);
    setTabOrder(Combo2, Command2);
    setTabOrder(Command2, Command3);
    setTabOrder(Command3, Text1);
    setTabOrder(Text1, btnRefresh);
    setTabOrder(btnRefresh, List2);
    setTabOrder(List2, btnDownload);
    Combo1->setFocus();
}

void Form1::placeNotice()
{
    Text1->setGeometry(noticeGeometry(Text1, List2->geometry()));
    constexpr int Inset = 4;
    const QPoint corner = Text1->mapTo(this, Text1->rect().bottomRight());
    cmdCancel->move(corner - QPoint(cmdCancel->width() + Inset, cmdCancel->height() + Inset));
}

QString Form1::fitToNotice(const QString &line) const
{
    const QFontMetricsF metrics(Text1->font());
    return metrics.elidedText(line, Qt::ElideMiddle, widestOf(metrics, LongestProgress));
}

void Form1::createMenus()
{
    auto addItem = [this](QMenu *menu, const char *name, const QString &caption,
                          void (Form1::*handler)(), const QKeySequence &shortcut = {}) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(shortcut);
        connect(action, &QAction::triggered, this, handler);
        m_availableActions.append(action);
        return action;
    };
    auto unavailable = [this](QAction *action, bool hidden) {
        action->setEnabled(false);
        action->setVisible(!hidden);
        m_availableActions.removeOne(action);
    };

    QMenu *mnuCommands = menuBar()->addMenu(QStringLiteral("Комманды"));
    mnuCommands->setObjectName(QStringLiteral("mnuCommands"));
    nmu_cmd_connect = addItem(mnuCommands, "nmu_cmd_connect", QStringLiteral("Подключиться"),
                              &Form1::nmu_cmd_connect_Click, QKeySequence(Qt::CTRL | Qt::Key_C));
    mnu_cmd_find = addItem(mnuCommands, "mnu_cmd_find", QStringLiteral("Найти телефон"), &Form1::mnu_cmd_find_Click,
                           QKeySequence(Qt::CTRL | Qt::Key_F));
    mnu_cmd_disconnect = addItem(mnuCommands, "mnu_cmd_disconnect", QStringLiteral("Отключиться"),
                                 &Form1::mnu_cmd_disconnect_Click, QKeySequence(Qt::CTRL | Qt::Key_D));
    mnu_cmd_refresh = addItem(mnuCommands, "mnu_cmd_refresh", QStringLiteral("Обновить каталог"),
                              &Form1::mnu_cmd_refresh_Click, QKeySequence(Qt::CTRL | Qt::Key_R));
    mnu_cmd_copyall = addItem(mnuCommands, "mnu_cmd_copyall", QStringLiteral("Скопировать все…"),
                              &Form1::mnu_cmd_copyall_Click, QKeySequence(Qt::CTRL | Qt::Key_S));
    // Its own availability: it needs an open port and a list.
    m_availableActions.removeOne(mnu_cmd_copyall);
    mnu_cmd_copyall->setEnabled(false);
    mnu_cmd_exit = addItem(mnuCommands, "mnu_cmd_exit", QStringLiteral("Выйти из программы"),
                           &Form1::mnu_cmd_exit_Click, QKeySequence(Qt::CTRL | Qt::Key_X));

    QMenu *mnuCharSet = menuBar()->addMenu(QStringLiteral("Кодировка"));
    mnuCharSet->setObjectName(QStringLiteral("mnuCharSet"));
    mnu_CS_Get = addItem(mnuCharSet, "mnu_CS_Get", QStringLiteral("Получить текущую"),
                         &Form1::mnu_CS_Get_Click);
    mnu_CS_SetGSM = addItem(mnuCharSet, "mnu_CS_SetGSM", QStringLiteral("Установить GSM"),
                            &Form1::mnu_CS_SetGSM_Click);
    unavailable(mnu_CS_SetGSM, false);
    mnu_CS_SetIRA = mnuCharSet->addAction(QStringLiteral("Установить IRA"));
    mnu_CS_SetIRA->setObjectName(QStringLiteral("mnu_CS_SetIRA"));
    unavailable(mnu_CS_SetIRA, true);
    mnu_CS_Set8859n = mnuCharSet->addAction(QStringLiteral("Установить 8859-n"));
    mnu_CS_Set8859n->setObjectName(QStringLiteral("mnu_CS_Set8859n"));
    unavailable(mnu_CS_Set8859n, true);
    mnu_CS_SetUTF8 = addItem(mnuCharSet, "mnu_CS_SetUTF8", QStringLiteral("Установить UTF-8"),
                             &Form1::mnu_CS_SetUTF8_Click);

    QMenu *mnuGHelp = menuBar()->addMenu(QStringLiteral("Инфо"));
    mnuGHelp->setObjectName(QStringLiteral("mnuGHelp"));
    nmuDebug = addItem(mnuGHelp, "nmuDebug", QStringLiteral("Debug"), &Form1::nmuDebug_Click);
    unavailable(nmuDebug, false);
    mnuHelp = addItem(mnuGHelp, "mnuHelp", QStringLiteral("О Программе"), &Form1::mnuHelp_Click,
                      QKeySequence(Qt::Key_F1));

    new ShortcutGuard(this, {nmu_cmd_connect->shortcut(), mnu_cmd_find->shortcut(), mnu_cmd_disconnect->shortcut(),
                             mnu_cmd_refresh->shortcut(), mnu_cmd_copyall->shortcut(),
                             mnu_cmd_exit->shortcut(), mnuHelp->shortcut(),
                             QKeySequence(Qt::Key_Escape)});
}
