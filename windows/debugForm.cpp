#include "debugForm.h"

#include "app/phonelink.h"
#include "app/prompts.h"
#include "app/twips.h"
#include "charset/ansicodepage.h"
#include "app/growingappend.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>

namespace {

// The log keeps about this much of the latest traffic: a long session would
// otherwise keep every byte it ever received.
constexpr qsizetype LogLimit = 1 << 20;
// A read reply is one line of 131070 digits; laid out anew with every piece, it
// would slow a copy to a crawl while the window shows.
constexpr qsizetype LogLineWidth = 256;
const QString DroppedNote = QStringLiteral("[Более ранний обмен удалён из журнала]\n");

// Breaks lines longer than the log's width; column is where the text starts in its
// line, and becomes where it ends.
QString breakLongLines(const QString &text, qsizetype &column)
{
    QString broken;
    broken.reserve(text.size() + text.size() / LogLineWidth + 1);
    for (const QChar c : text) {
        if (c == QLatin1Char('\n')) {
            column = 0;
        } else if (column == LogLineWidth) {
            broken += QLatin1Char('\n');
            column = 1;
        } else {
            ++column;
        }
        broken += c;
    }
    return broken;
}

} // namespace

debugForm::debugForm(PhoneLink &phone, Prompts &prompts, QWidget *owner)
    : QWidget(owner, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint)
    , m_phone(phone)
    , m_prompts(prompts)
{
    setObjectName(QStringLiteral("debugForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("DEBUG"));
    setFont(Twips::designFont(font()));
    // Wide enough for the EndOfData button, which ends at 7095, with the margin the
    // text boxes keep at their right.
    setFixedSize(Twips::toPixels(QSize(7155, 4740)));

    Txt2Write = Twips::place<QPlainTextEdit>(this, "Txt2Write", {0, 0, 3495, 4695});
    Txt2Write->setReadOnly(true);
    Txt2Write->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Command1 = Twips::place<QPushButton>(this, "Command1", {3840, 4320, 1095, 375});
    Command1->setText(QStringLiteral("Clear Log"));
    CmdEnter = Twips::place<QPushButton>(this, "CmdEnter", {5640, 4320, 1095, 375});
    CmdEnter->setText(QStringLiteral("Send"));
    Text2 = Twips::place<QPlainTextEdit>(this, "Text2", {3480, 360, 3495, 3135});
    Text2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1 = Twips::place<QLineEdit>(this, "Text1", {3600, 3960, 3375, 285});
    Text1->setText(QStringLiteral("AT+CSCS?"));
    labStat = Twips::place<QLabel>(this, "labStat", {5160, 3600, 1815, 255});
    labStat->setTextFormat(Qt::PlainText);
    labStat->setForegroundRole(QPalette::WindowText);
    Label4 = Twips::place<QLabel>(this, "Label4", {3600, 3600, 1215, 255});
    Label4->setText(QStringLiteral("AT Commands:"));
    Text3 = Twips::place<QLineEdit>(this, "Text3", {5280, 0, 735, 285});
    Text3->setText(QStringLiteral("200"));
    Label1 = Twips::place<QLabel>(this, "Label1", {3600, 0, 1695, 255});
    Label1->setText(QStringLiteral("Время считывания:"));
    Command2 = Twips::place<QPushButton>(this, "Command2", {6120, 0, 975, 255});
    Command2->setText(QStringLiteral("EndOfData"));

    setTabOrder(Txt2Write, Command1);
    setTabOrder(Command1, CmdEnter);
    setTabOrder(CmdEnter, Text2);
    setTabOrder(Text2, Text1);
    setTabOrder(Text1, Text3);
    setTabOrder(Text3, Command2);

    connect(CmdEnter, &QPushButton::clicked, this, &debugForm::CmdEnter_Click);
    connect(Text1, &QLineEdit::returnPressed, this, &debugForm::CmdEnter_Click);
    connect(Command1, &QPushButton::clicked, this, &debugForm::Command1_Click);
}

void debugForm::appendLog(const QByteArray &piece)
{
    AppendGrowing(m_unshown, piece);
    if (m_unshown.size() > LogLimit) {
        m_unshown.remove(0, m_unshown.size() - LogLimit);
        m_unshownCut = true;
    }
    if (isVisible())
        flushLog();
}

void debugForm::setStatus(const QByteArray &line)
{
    m_unshownStatus = line;
    if (isVisible())
        showStatus();
}

void debugForm::showStatus()
{
    if (m_unshownStatus)
        labStat->setText(AnsiCodePage::toText(*std::exchange(m_unshownStatus, std::nullopt)));
}

void debugForm::setCommandLine(const QString &command)
{
    Text1->setText(command);
}

void debugForm::CmdEnter_Click()
{
    if (const MaybeFailure failure = m_phone.sendCommandLine(Text1->text())) {
        m_prompts.message(failure->description, Prompts::Icon::None);
        return;
    }
    Text1->clear();
    Text1->setFocus();
}

void debugForm::Command1_Click()
{
    Text2->clear();
}

void debugForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    flushLog();
    showStatus();
}

void debugForm::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    emit closed();
}

void debugForm::flushLog()
{
    // A CR at the very end may be the first half of a CR LF still on its way.
    const bool holdBackCr = m_unshown.endsWith('\r');
    const QByteArray ready = holdBackCr ? m_unshown.chopped(1) : m_unshown;
    m_unshown = holdBackCr ? QByteArray("\r") : QByteArray();
    if (ready.isEmpty())
        return;

    // One line break per CR LF; the lone CR that ends a command's echo adds none.
    QString text = AnsiCodePage::toText(ready);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.remove(QLatin1Char('\r'));
    // What the log shows is older than the tail kept meanwhile.
    if (std::exchange(m_unshownCut, false)) {
        Txt2Write->setPlainText(DroppedNote);
        m_logColumn = 0;
    }

    QTextCursor end(Txt2Write->document());
    end.movePosition(QTextCursor::End);
    end.insertText(breakLongLines(text, m_logColumn));
    trimLog();
    end.movePosition(QTextCursor::End);
    Txt2Write->setTextCursor(end);
    Txt2Write->verticalScrollBar()->setValue(Txt2Write->verticalScrollBar()->maximum());
}

void debugForm::trimLog()
{
    // A quarter over the limit before anything goes, so lines are not dropped one
    // by one with every piece.
    QTextDocument *log = Txt2Write->document();
    const int excess = log->characterCount() - int(LogLimit);
    if (excess <= LogLimit / 4)
        return;
    QTextCursor dropped(log->findBlock(excess));
    dropped.movePosition(QTextCursor::Start, QTextCursor::KeepAnchor);
    dropped.insertText(DroppedNote);
}
