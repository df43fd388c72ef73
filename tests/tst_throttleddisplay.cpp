// The display that keeps a fast-changing number from being painted thousands of
// times a second, yet always ends on the latest value.
#include "app/throttleddisplay.h"

#include <QTest>

using namespace std::chrono_literals;

class ThrottledDisplayTest : public QObject
{
    Q_OBJECT

private slots:
    void showsAtOnceThenOnlyTheLatestOfABurst()
    {
        QList<qint64> shown;
        ThrottledDisplay display(50ms, [&](qint64 value) { shown.append(value); });

        display.setValue(4095);
        QCOMPARE(shown, QList<qint64>{4095});

        // A burst inside the interval: nothing more now, then only its last value.
        for (qint64 value = 1; value <= 1000; ++value)
            display.setValue(value);
        QCOMPARE(shown, QList<qint64>{4095});
        QTRY_COMPARE(shown, (QList<qint64>{4095, 1000}));

        // Once the line is quiet for an interval, a change is shown at once again.
        QTest::qWait(200);
        QCOMPARE(shown.size(), 2);
        display.setValue(7);
        QCOMPARE(shown.last(), 7);
    }

    void showNowDropsTheWaitingValue()
    {
        QList<qint64> shown;
        ThrottledDisplay display(50ms, [&](qint64 value) { shown.append(value); });

        display.setValue(100);
        display.setValue(200);
        display.showNow(0);
        QCOMPARE(shown, (QList<qint64>{100, 0}));
        QTest::qWait(200);
        QCOMPARE(shown, (QList<qint64>{100, 0}));
    }
};

QTEST_GUILESS_MAIN(ThrottledDisplayTest)
#include "tst_throttleddisplay.moc"
