#include "Form1.h"

#include "noticetext.h"
#include "portcombo.h"
#include "prompts.h"
#include "linesettings.h"
#include "resizerule.h"
#include "twips.h"
#include "charset/ansicodepage.h"
#include "windows/Form2.h"
#include "windows/debugForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace {

constexpr int EnterKeyCode = 13;
const QColor LampRed(255, 0, 0);
const QColor LampGreen(0, 255, 0);
// A person reads a few updates a second.
constexpr std::chrono::milliseconds PieceLengthInterval(100);
constexpr std::chrono::milliseconds ProgressInterval(200);

void centreOnScreen(QWidget *window)
{
    if (const QScreen *screen = window->screen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

// A tool window lives until it is closed; the next use makes a fresh one.
template<typename Window>
void keepUntilClosed(QPointer<Window> &slot, Window *window)
{
    slot = window;
    QObject::connect(window, &Window::closed, window, [&slot] { slot = nullptr; });
    centreOnScreen(window);
}

void bringForward(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

Form1::Form1(Prompts &prompts, QWidget *parent)
    : QMainWindow(parent)
    , m_prompts(prompts)
    , m_phone(*this, prompts)
    , m_pieceLengthDisplay(PieceLengthInterval, [this](qint64 length) {
        Txt2Write->setText(QString::number(length));
    })
    , m_progressDisplay(ProgressInterval, [this](qint64) {
        // The count and its moment as last reported: the rate pairs them.
        Text1->setPlainText(CopyingNoticeText(m_noticeTitle, m_copyStage.isEmpty() ? m_progress.text() : m_copyStage));
    })
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Vantor Morvex v0.92"));
    setFont(Twips::designFont(font()));
    setWindowIcon(QIcon(QStringLiteral(":/icons/morvex.svg")));
    createControls();
    createMenus();
    resize(Twips::toPixels(QSize(3690, 4410)) + QSize(0, menuBar()->sizeHint().height()));
    centreOnScreen(this);

    centralWidget()->installEventFilter(this);
    List2->installEventFilter(this);
    connect(btnConnect, &QPushButton::clicked, this, &Form1::btnConnect_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(btnRefresh, &QPushButton::clicked, this, &Form1::btnRefresh_Click);
    connect(btnDownload, &QPushButton::clicked, this, &Form1::btnDownload_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(List2, &QListWidget::itemDoubleClicked, this, &Form1::List2_DblClick);
    connect(cmdCancel, &QPushButton::clicked, this, &Form1::cmdCancel_Click);
    connect(&m_search, &PhoneSearch::finished, this, &Form1::searchEnded);

    Form_Load();
}

Form1::~Form1()
{
    // A search cut short by the window's end leaves no busy cursor behind.
    if (m_search.isRunning())
        QApplication::restoreOverrideCursor();
}

void Form1::setInputEnabled(bool enabled)
{
    // The top-level window stays enabled: disabling it would disable the dialogs
    // it owns as well, and the close box must keep working.
    centralWidget()->setEnabled(enabled);
    menuBar()->setEnabled(enabled);
    for (QAction *action : std::as_const(m_availableActions))
        action->setEnabled(enabled);
    m_inputEnabled = enabled;
    updateCopyAllAvailability();
}

void Form1::updateCopyAllAvailability()
{
    // The controls set the lamp before the menus exist.
    if (!mnu_cmd_copyall)
        return;
    mnu_cmd_copyall->setEnabled(m_inputEnabled && m_phone.isPortOpen() && List2->count() > 0);
}

debugForm *Form1::debugWindow()
{
    if (!m_debugForm)
        keepUntilClosed(m_debugForm, new debugForm(m_phone, m_prompts, this));
    return m_debugForm;
}

void Form1::Form_Load()
{
    Combo1->refreshDevices();
    ReplaceEntriesKeepingText(Combo2, OfferedSpeeds);
}

void Form1::Form_Resize()
{
    const QSize client = Twips::fromPixels(centralWidget()->size());
    const int W = client.width() + OuterExtraWidth;
    const int H = client.height() + OuterExtraHeight;

    ResizingControls controls{Twips::fromPixels(List2->geometry()), Twips::fromPixels(Txt2Write->geometry()),
                              Twips::fromPixels(ComStatus->geometry()), Twips::fromPixels(Frame1->geometry()),
                              Twips::fromPixels(Command2->geometry())};
    ApplyResizeRule(controls, W, H);
    List2->setGeometry(Twips::toPixels(controls.list2));
    Txt2Write->setGeometry(Twips::toPixels(controls.txt2Write));
    ComStatus->setGeometry(Twips::toPixels(controls.comStatus));
    Frame1->setGeometry(Twips::toPixels(controls.frame1));
    Command2->setGeometry(Twips::toPixels(controls.command2));
}

void Form1::Form_Unload()
{
    if (m_debugForm)
        m_debugForm->close();
    if (m_aboutForm)
        m_aboutForm->close();
    if (m_search.isRunning()) {
        m_search.stop();
        QApplication::restoreOverrideCursor();
    }
    m_phone.closePort();
}

void Form1::btnConnect_Click()
{
    showIfFailed(m_phone.connectPort(Combo1->currentText(), Combo2->currentText()));
    updateCopyAllAvailability();
}

void Form1::nmu_cmd_connect_Click()
{
    btnConnect_Click();
}

void Form1::mnu_cmd_find_Click()
{
    if (showIfFailed(m_search.start(SearchCandidates(), Combo2->currentText())))
        return;
    // A few seconds at most; the window takes nothing meanwhile, as nothing it
    // could do would be of use before the phone is found.
    setInputEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void Form1::searchEnded(const SearchResult &result)
{
    QApplication::restoreOverrideCursor();
    setInputEnabled(true);
    if (!result.found()) {
        m_prompts.message(result.notFound, Prompts::Icon::None);
        return;
    }
    Combo1->setEditText(result.port);
    showIfFailed(m_phone.connectFound(result.port, Combo2->currentText(), result.listingReply));
    updateCopyAllAvailability();
}

void Form1::Command3_Click()
{
    m_phone.disconnectPort();
    updateCopyAllAvailability();
}

void Form1::mnu_cmd_disconnect_Click()
{
    Command3_Click();
}

void Form1::Command2_Click()
{
    close();
}

void Form1::mnu_cmd_exit_Click()
{
    Command2_Click();
}

void Form1::btnRefresh_Click()
{
    showIfFailed(m_phone.refresh());
}

void Form1::mnu_cmd_refresh_Click()
{
    btnRefresh_Click();
}

void Form1::mnu_cmd_copyall_Click()
{
    const QString savedLast = m_phone.state().savePath;
    const QString start = savedLast.isEmpty() ? QString() : QFileInfo(savedLast).absolutePath();
    const std::optional<QString> folder = m_prompts.existingDirectory(QStringLiteral("Выберите папку"), start);
    if (!folder)
        return;
    QList<CopyAll::Entry> entries;
    for (int row = 0; row < List2->count(); ++row)
        entries.append({List1->item(row)->data(Qt::UserRole).toByteArray(), List2->item(row)->text()});
    showIfFailed(m_phone.copyAll(*folder, entries));
}

void Form1::List2_DblClick()
{
    const QList<QListWidgetItem *> selected = List2->selectedItems();
    const QListWidgetItem *raw = selected.isEmpty() ? nullptr : List1->item(List2->row(selected.first()));
    if (raw)
        showIfFailed(m_phone.startDownload(raw->data(Qt::UserRole).toByteArray(), selected.first()->text()));
}

void Form1::btnDownload_Click()
{
    List2_DblClick();
}

void Form1::List2_KeyDown(int keyCode)
{
    if (keyCode != EnterKeyCode)
        return;
    if (m_prompts.question(QStringLiteral("Скачать файл на комп?"), Prompts::Icon::Question))
        List2_DblClick();
}

void Form1::mnu_CS_Get_Click()
{
    // The entry is there to be seen; the phone is not asked.
}

void Form1::mnu_CS_SetGSM_Click()
{
    showIfFailed(m_phone.selectCharacterSet(CharacterSet::Gsm));
}

void Form1::mnu_CS_SetUTF8_Click()
{
    showIfFailed(m_phone.selectCharacterSet(CharacterSet::Utf8));
}

void Form1::nmuDebug_Click()
{
    bringForward(debugWindow());
}

void Form1::mnuHelp_Click()
{
    if (!m_aboutForm)
        keepUntilClosed(m_aboutForm, new Form2(this));
    bringForward(m_aboutForm);
}

void Form1::cmdCancel_Click()
{
    m_phone.cancelDownload();
}

void Form1::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == centralWidget() && event->type() == QEvent::Resize) {
        Form_Resize();
    } else if (watched == List2 && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<const QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        List2_KeyDown(enter ? EnterKeyCode : key->key());
        return enter;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool Form1::showIfFailed(const MaybeFailure &failure)
{
    if (failure)
        m_prompts.message(failure->message(), Prompts::Icon::None);
    return failure.has_value();
}

void Form1::setColourInAllStates(QWidget *widget, QPalette::ColorRole role, const QColor &colour)
{
    QPalette palette = widget->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, role, colour);
    widget->setPalette(palette);
}

void Form1::clearEntries()
{
    List1->clear();
    List2->clear();
    updateCopyAllAvailability();
}

void Form1::addEntry(const QByteArray &rawName, const QString &readableName)
{
    auto *raw = new QListWidgetItem(AnsiCodePage::toText(rawName), List1);
    raw->setData(Qt::UserRole, rawName);
    List2->addItem(readableName);
    updateCopyAllAvailability();
}

void Form1::setListingStatus(const QByteArray &line)
{
    debugWindow()->setStatus(line);
}

void Form1::setCommandLine(const QString &command)
{
    debugWindow()->setCommandLine(command);
}

void Form1::setDownloadRunning(bool running)
{
    setInputEnabled(!running);
    const bool starting = running && Text1->isHidden();
    if (starting)
        restartProgress();
    Text1->setVisible(running);
    cmdCancel->setVisible(running);
    if (starting) {
        placeNotice();
        Text1->raise();
        cmdCancel->raise();
        // Esc must reach the window, also when the copy was started from the
        // Enter question, whose closing leaves the keyboard focus nowhere.
        activateWindow();
        cmdCancel->setFocus();
    }
}

void Form1::showDownloadProgress(qint64 bytesReceived)
{
    m_progress.update(bytesReceived);
    m_progressDisplay.setValue(bytesReceived);
}

void Form1::showDownloadFile(const QString &title)
{
    m_noticeTitle = fitToNotice(title);
    restartProgress();
    placeNotice();
}

void Form1::showCopyStage(const QString &stage)
{
    m_copyStage = stage;
    m_progressDisplay.showNow(0);
    // What comes next keeps the event loop waiting: paint now.
    Text1->repaint();
}

void Form1::reportCheck(const QString &, const ArchiveCheck &)
{
}

void Form1::noteCopy(const QString &line)
{
    // Above the count, where a run shows its file: a single copy shows none. Whole,
    // over two lines if need be: shortened, it would lose its point.
    m_noticeTitle = line;
    placeNotice();
    m_progressDisplay.showNow(0);
}

void Form1::restartProgress()
{
    // A new file starts counting from nothing, not from where the last one ended.
    m_progress.restart();
    m_copyStage.clear();
    m_progressDisplay.showNow(0);
}

void Form1::showPieceLength(qsizetype length)
{
    m_pieceLengthDisplay.setValue(length);
}

void Form1::appendTraffic(const QByteArray &piece)
{
    debugWindow()->appendLog(piece);
}

void Form1::setLamp(bool linkUp)
{
    // Set on every received piece: an unchanged colour is not painted again.
    const QColor colour = linkUp ? LampGreen : LampRed;
    if (ComStatus->palette().color(QPalette::Window) != colour) {
        setColourInAllStates(ComStatus, QPalette::Window, colour);
        updateCopyAllAvailability();
    }
}
