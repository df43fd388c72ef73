#pragma once

#include "copyprogress.h"
#include "failure.h"
#include "linkview.h"
#include "phonelink.h"
#include "phonesearch.h"
#include "throttleddisplay.h"

#include <QMainWindow>
#include <QPointer>

class Prompts;
class PortCombo;
class debugForm;
class Form2;
class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;

// The main window: the port fields, the list of the phone's applications, the
// copying notice, the status field with the connection lamp, and the serial control.
class Form1 : public QMainWindow, public LinkView
{
    Q_OBJECT

public:
    explicit Form1(Prompts &prompts, QWidget *parent = nullptr);
    ~Form1() override;

    // Takes or gives back all input to the window's controls, menus and shortcuts,
    // while the dialogs the window owns stay usable.
    void setInputEnabled(bool enabled);

    // The debug window, created hidden on first use.
    debugForm *debugWindow();

    void Form_Load();
    void Form_Resize();
    void Form_Unload();
    void btnConnect_Click();
    void nmu_cmd_connect_Click();
    // Looks for the phone on every serial port and connects to it where it answers.
    void mnu_cmd_find_Click();
    void Command3_Click();
    void mnu_cmd_disconnect_Click();
    void Command2_Click();
    void mnu_cmd_exit_Click();
    void btnRefresh_Click();
    void mnu_cmd_refresh_Click();
    // Copies every listed application into a folder the user picks.
    void mnu_cmd_copyall_Click();
    void List2_DblClick();
    void btnDownload_Click();
    void List2_KeyDown(int keyCode);
    void mnu_CS_Get_Click();
    void mnu_CS_SetGSM_Click();
    void mnu_CS_SetUTF8_Click();
    void nmuDebug_Click();
    void mnuHelp_Click();
    // The notice's cancel button, and Esc while the notice shows.
    void cmdCancel_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void createMenus();
    // Sizes the copying notice for its lines and puts the cancel button in its corner.
    void placeNotice();
    void restartProgress();
    // The line, shortened in the middle where it would be wider than the notice.
    QString fitToNotice(const QString &line) const;
    // Copying all needs an open port, something listed, and a window taking input.
    void updateCopyAllAvailability();
    void searchEnded(const SearchResult &result);
    // Shows the failure, if there is one, as its code and description; true when shown.
    bool showIfFailed(const MaybeFailure &failure);
    // The same colour whether the window takes input or not.
    static void setColourInAllStates(QWidget *widget, QPalette::ColorRole role, const QColor &colour);

    // LinkView
    void clearEntries() override;
    void addEntry(const QByteArray &rawName, const QString &readableName) override;
    void setListingStatus(const QByteArray &line) override;
    void setCommandLine(const QString &command) override;
    void setDownloadRunning(bool running) override;
    void showDownloadProgress(qint64 bytesReceived) override;
    void showDownloadFile(const QString &title) override;
    void showCopyStage(const QString &stage) override;
    void reportCheck(const QString &readableName, const ArchiveCheck &check) override;
    void noteCopy(const QString &line) override;
    void showPieceLength(qsizetype length) override;
    void appendTraffic(const QByteArray &piece) override;
    void setLamp(bool linkUp) override;

    Prompts &m_prompts;
    PhoneLink m_phone;
    PhoneSearch m_search;
    QPointer<debugForm> m_debugForm;
    QPointer<Form2> m_aboutForm;
    // Menu entries the user can choose, taken away while input is refused.
    QList<QAction *> m_availableActions;
    bool m_inputEnabled = true;

    // The window's controls keep their design names.
    PortCombo *Combo1 = nullptr;
    QPushButton *btnConnect = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *Combo2 = nullptr;
    QLabel *ComStatus = nullptr;
    QFrame *Frame1 = nullptr;
    QPushButton *Command2 = nullptr;
    QListWidget *List1 = nullptr;
    QPushButton *Command3 = nullptr;
    QLineEdit *Txt2Write = nullptr;
    QPlainTextEdit *Text1 = nullptr;
    QPushButton *btnRefresh = nullptr;
    QListWidget *List2 = nullptr;
    QPushButton *btnDownload = nullptr;
    // Not a design control: it sits on the notice, and stays usable while the rest
    // of the window is not.
    QPushButton *cmdCancel = nullptr;

    QAction *nmu_cmd_connect = nullptr;
    QAction *mnu_cmd_find = nullptr;
    QAction *mnu_cmd_disconnect = nullptr;
    QAction *mnu_cmd_refresh = nullptr;
    QAction *mnu_cmd_copyall = nullptr;
    QAction *mnu_cmd_exit = nullptr;
    QAction *mnu_CS_Get = nullptr;
    QAction *mnu_CS_SetGSM = nullptr;
    QAction *mnu_CS_SetIRA = nullptr;
    QAction *mnu_CS_Set8859n = nullptr;
    QAction *mnu_CS_SetUTF8 = nullptr;
    QAction *nmuDebug = nullptr;
    QAction *mnuHelp = nullptr;

    ThrottledDisplay m_pieceLengthDisplay;
    ThrottledDisplay m_progressDisplay;
    CopyProgress m_progress;
    // What is done with a file once it is in, shown instead of its count.
    QString m_copyStage;
    // The file being copied in a run of copies, shown on the notice.
    QString m_noticeTitle;
};
