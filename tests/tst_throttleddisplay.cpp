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

        // Showing at once drops the value still waiting. Shown afresh first, so the
        // interval surely runs whatever the wait above took.
        display.showNow(5);
        display.setValue(200);
        display.showNow(0);
        QCOMPARE(shown, (QList<qint64>{4095, 1000, 5, 0}));

        // Its interval ends with nothing to show. Timers fire in the order they fall
        // due, so this one, due later, marks that end.
        bool intervalOver = false;
        QTimer::singleShot(100ms, Qt::PreciseTimer, [&] { intervalOver = true; });
        QTRY_VERIFY(intervalOver);
        QCOMPARE(shown, (QList<qint64>{4095, 1000, 5, 0}));
        // Quiet for an interval, a change is shown at once again.
        display.setValue(7);
        QCOMPARE(shown.last(), 7);
    }
};

QTEST_GUILESS_MAIN(ThrottledDisplayTest)
#include "tst_throttleddisplay.moc"
