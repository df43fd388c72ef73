// Every caption, label and field text of the windows fits its box whole, in the
// font this machine gives the program and at this screen's scale (ctest runs it
// once at 96 dpi and once with QT_SCALE_FACTOR=1.5).
#include "support/windowfixture.h"

#include <QStyleOptionFrame>
#include <QTextBlock>

namespace {

// The widest progress line the copying notice has to hold.
const QString WidestProgress = QStringLiteral("999 999 999 байт, 9 999,9 КБ/с");

QString describe(const QWidget *widget, const QString &text, QSize need, QSize room)
{
    return QStringLiteral("%1 \"%2\": needs %3x%4, has %5x%6")
        .arg(widget->objectName(), text)
        .arg(need.width()).arg(need.height()).arg(room.width()).arg(room.height());
}

bool fits(QSize need, QRect room)
{
    return need.width() <= room.width() && need.height() <= room.height();
}

// A label's text or a button's caption, if there is one, in the room it has.
void checkText(const QWidget *widget, const QString &text, int flags, QRect room, QStringList &misfits)
{
    const QSize need = widget->fontMetrics().size(flags, text);
    if (!text.isEmpty() && !fits(need, room))
        misfits << describe(widget, text, need, room.size());
}

// A line edit draws its line 2 pixels in from the sides of its contents and, when
// aligned to the top, 1 pixel down.
void checkLineEdit(const QLineEdit *edit, QStringList &misfits)
{
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->contentsRect();
    option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    option.state |= QStyle::State_Sunken;
    QRect room = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    room = room.marginsRemoved(edit->textMargins()).adjusted(2, 0, -2, 0);
    if (edit->alignment() & Qt::AlignTop)
        room.adjust(0, 1, 0, -1);

    // Whatever is typed needs the line's height; a combo box's field shows each entry.
    const auto *combo = qobject_cast<const QComboBox *>(edit->parentWidget());
    QStringList texts{edit->text()};
    for (int i = 0; combo && i < combo->count(); ++i)
        texts << combo->itemText(i);
    for (const QString &text : std::as_const(texts)) {
        const QSize need(edit->fontMetrics().horizontalAdvance(text), edit->fontMetrics().height());
        if (!fits(need, room)) {
            misfits << describe(combo ? static_cast<const QWidget *>(combo) : edit, text, need, room.size());
            return;
        }
    }
}

// Where each non-empty line of a text box lies in its viewport, from the caret
// before its first character to the caret after its last one, blanks at the end
// left out; a line that wraps has its ends on different rows.
struct TextLine
{
    QString text;
    QRect span;
    bool wraps;
};

QList<TextLine> textLines(const QPlainTextEdit *edit)
{
    QList<TextLine> lines;
    for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        qsizetype end = text.size();
        while (end > 0 && text.at(end - 1).isSpace())
            --end;
        if (end == 0)
            continue;
        QTextCursor caret(block);
        const QRect first = edit->cursorRect(caret);
        caret.setPosition(block.position() + int(end));
        const QRect last = edit->cursorRect(caret);
        lines.append({text.left(end), QRect(first.topLeft(), QPoint(last.left(), first.bottom())),
                      last.top() != first.top()});
    }
    return lines;
}

void checkPlainText(const QPlainTextEdit *edit, QStringList &misfits)
{
    const QRect room = edit->viewport()->rect();
    for (const TextLine &line : textLines(edit)) {
        if (line.wraps)
            misfits << QStringLiteral("%1 \"%2\" wraps in %3 pixels").arg(edit->objectName(), line.text)
                           .arg(room.width());
        else if (!room.contains(line.span))
            misfits << describe(edit, line.text, line.span.size(), room.size());
    }
}

// Each control inside its window and its text inside the control; the windows it
// owns have their own.
QStringList misfits(const QWidget *window)
{
    QStringList misfits;
    const QRect inside = window->rect();
    for (const QWidget *widget : window->findChildren<QWidget *>()) {
        if (!widget->isVisibleTo(window) || widget->window() != window)
            continue;
        const QRect box(widget->mapTo(window, QPoint(0, 0)), widget->size());
        if (!inside.contains(box))
            misfits << QStringLiteral("%1 at %2,%3 %4x%5 juts out of its %6x%7 window")
                           .arg(widget->objectName()).arg(box.x()).arg(box.y()).arg(box.width())
                           .arg(box.height()).arg(inside.width()).arg(inside.height());
        if (const auto *label = qobject_cast<const QLabel *>(widget)) {
            const int margin = label->margin();
            checkText(label, label->text(), 0, label->contentsRect().adjusted(margin, margin, -margin, -margin),
                      misfits);
        } else if (const auto *button = qobject_cast<const QPushButton *>(widget)) {
            // A caption may use the padding the style puts inside the button's frame (Qt's
            // Windows style leaves 9 of the debug window's 17 pixels to it), not the frame.
            QStyleOption option;
            option.initFrom(button);
            const int frame = button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, button);
            checkText(button, button->text(), Qt::TextShowMnemonic,
                      button->rect().adjusted(frame, frame, -frame, -frame), misfits);
        } else if (const auto *edit = qobject_cast<const QLineEdit *>(widget)) {
            checkLineEdit(edit, misfits);
        } else if (const auto *text = qobject_cast<const QPlainTextEdit *>(widget)) {
            checkPlainText(text, misfits);
        }
    }
    return misfits;
}

} // namespace

class TextFitTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A run meant to be scaled that is not would prove nothing about scaling.
        if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) {
            QWidget probe;
            QCOMPARE(probe.devicePixelRatioF(), qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
        }
    }

    // Each window as it first shows, then the main one with the copying notice of
    // one file and of a run of copies.
    void windowsAtRestAndTheCopyingNotice()
    {
        for (const QString &fileTitle :
             {QString(), QStringLiteral("12 из 345: Очень длинное имя приложения, которое не поместится.jar")}) {
            WindowFixture main;
            Form2 about(&main.window);
            for (QWidget *window : QList<QWidget *>{&main.window, main.window.debugWindow(), &about}) {
                QVERIFY(showAndWait(window));
                QCOMPARE(misfits(window).join(QLatin1Char('\n')), QString());
            }

            LinkView &view = main.window;
            if (!fileTitle.isEmpty())
                view.showDownloadFile(fileTitle);
            view.setDownloadRunning(true);
            // The widest count the notice can show, in place of the first one.
            auto *notice = main.control<QPlainTextEdit>("Text1");
            QStringList lines = notice->toPlainText().split(QLatin1Char('\n'));
            QCOMPARE(lines.size(), fileTitle.isEmpty() ? 2 : 3);
            lines.last() = WidestProgress;
            notice->setPlainText(lines.join(QLatin1Char('\n')));
            QCOMPARE(misfits(&main.window).join(QLatin1Char('\n')), QString());
            // And the widest word on what is done with the file once it is in.
            view.showCopyStage(QStringLiteral("повторное чтение: 99 из 99 частей"));
            QCOMPARE(misfits(&main.window).join(QLatin1Char('\n')), QString());

            // The cancel button sits in the notice's corner, inside its frame, over no text.
            const auto *button = main.control<QPushButton>("cmdCancel");
            QVERIFY(button->isVisible());
            const QRect buttonBox(notice->mapFrom(&main.window, button->pos()), button->size());
            QVERIFY(notice->contentsRect().contains(buttonBox));
            for (const TextLine &line : textLines(notice)) {
                const QRect ink = line.span.translated(notice->viewport()->geometry().topLeft());
                QVERIFY2(!ink.intersects(buttonBox),
                         qPrintable(QStringLiteral("\"%1\" under the button").arg(line.text)));
            }
        }
    }
};

QTEST_MAIN(TextFitTest)
#include "tst_textfit.moc"
