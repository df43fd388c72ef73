#include "Form2.h"

#include "app/twips.h"

#include <QPlainTextEdit>
#include <QPushButton>

const QString Form2::AboutText = QStringLiteral(
    "Vantor Morvex\r\n"
    "\r\n"
    "Программа показывает все Java-приложения \r\n"
    "загруженные в телефон.\r\n"
    "Также есть возможность скачивать \r\n"
    "Java-приложения с телефона на компьютер.\r\n"
    "Программа в Интернете: \r\n"
    "https://morvex.example.org/\r\n");

Form2::Form2(QWidget *owner)
    : QWidget(owner, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString(46, QLatin1Char(' ')) + QStringLiteral("Инфо"));
    setFont(Twips::designFont(font()));
    setFixedSize(Twips::toPixels(QSize(4680, 3180)));

    Text1 = Twips::place<QPlainTextEdit>(this, "Text1", {120, 120, 4455, 2535});
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The text box shows each CR LF as one line break.
    Text1->setPlainText(QString(AboutText).replace(QLatin1String("\r\n"), QLatin1String("\n")));

    Command1 = Twips::place<QPushButton>(this, "Command1", {1560, 2760, 1575, 375});
    Command1->setText(QStringLiteral("Закрыть"));
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);

    setTabOrder(Text1, Command1);
    Text1->setFocus();
}

void Form2::Command1_Click()
{
    close();
}

void Form2::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    emit closed();
}
