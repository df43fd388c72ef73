// The port and speed fields paint their whole design text, in whatever font the
// platform gives them.
#include "app/Form1.h"
#include "support/scriptedprompts.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

namespace {

// Where a picture holds ink: pixels nearer the text colour than the background.
QRect inkBounds(const QImage &picture, const QColor &text, const QColor &background)
{
    QRect bounds;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const int lightness = picture.pixelColor(x, y).lightness();
            if (qAbs(lightness - text.lightness()) < qAbs(lightness - background.lightness()))
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

} // namespace

class FieldTextsTest : public QObject
{
    Q_OBJECT

private slots:
    void designTextIsPaintedWhole_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("port") << QStringLiteral("Combo1") << QStringLiteral("5");
        QTest::newRow("speed") << QStringLiteral("Combo2") << QStringLiteral("115200");
    }

    void designTextIsPaintedWhole()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        ScriptedPrompts prompts;
        Form1 window(prompts);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Keep the caret out of the picture.
        window.findChild<QListWidget *>("List2")->setFocus();

        QLineEdit *field = window.findChild<QComboBox *>(name)->lineEdit();
        QCOMPARE(field->text(), text);
        const QImage picture = field->grab().toImage();
        const QRect ink = inkBounds(picture, field->palette().color(QPalette::Text),
                                    field->palette().color(QPalette::Base));
        QVERIFY2(!ink.isEmpty(), "no text to be seen");
        // Text cut off at an edge, or scrolled sideways, leaves ink at that edge.
        QVERIFY2(picture.rect().adjusted(1, 1, -1, -1).contains(ink),
                 qPrintable(QStringLiteral("ink at %1,%2 %3x%4 in a %5x%6 field")
                                .arg(ink.x()).arg(ink.y()).arg(ink.width()).arg(ink.height())
                                .arg(picture.width()).arg(picture.height())));
    }
};

QTEST_MAIN(FieldTextsTest)
#include "tst_fieldtexts.moc"
