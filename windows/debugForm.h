#pragma once

#include <QByteArray>
#include <QWidget>

#include <optional>

class PhoneLink;
class Prompts;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The debug terminal: a log of everything received, a command line that writes raw
// AT commands, and the status text of the last listing. It collects traffic from
// the first received piece on, shown or not.
class debugForm : public QWidget
{
    Q_OBJECT

public:
    debugForm(PhoneLink &phone, Prompts &prompts, QWidget *owner);

    void appendLog(const QByteArray &piece);
    // The status text is byte text; it is converted for the label when seen.
    void setStatus(const QByteArray &line);
    void setCommandLine(const QString &command);

    void CmdEnter_Click();
    void Command1_Click();

signals:
    // Closing discards the window; it is gone for its owner from this moment on.
    void closed();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void flushLog();
    // Drops the log's oldest lines once it grows well past its limit.
    void trimLog();
    void showStatus();

    PhoneLink &m_phone;
    Prompts &m_prompts;
    // Received bytes not yet in the log widget: while the window is hidden the log
    // only collects, so a long download never waits for text layout.
    QByteArray m_unshown;
    // Older traffic than m_unshown holds was dropped unseen.
    bool m_unshownCut = false;
    // Characters in the log's last line, up to the width lines are broken at.
    qsizetype m_logColumn = 0;
    // The last listing's status line; a file-read reply makes it a whole data line.
    std::optional<QByteArray> m_unshownStatus;

    QPlainTextEdit *Txt2Write;
    QPushButton *Command1;
    QPushButton *CmdEnter;
    QPlainTextEdit *Text2;
    QLineEdit *Text1;
    QLabel *labStat;
    QLabel *Label4;
    QLineEdit *Text3;
    QLabel *Label1;
    QPushButton *Command2;
};
