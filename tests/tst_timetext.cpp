#include <limits>

#include <QTest>

#include "TimeText.h"

class TestTimeText : public QObject {
    Q_OBJECT

private slots:
    void timeText_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");

        QTest::newRow("zero") << 0.0 << "00:00";
        QTest::newRow("truncated, not rounded") << 59.9 << "00:59";
        QTest::newRow("last fraction below an hour") << 3599.99 << "59:59";
        QTest::newRow("one hour keeps its hour") << 3600.0 << "1:00:00";
        QTest::newRow("1 h 2 min 5 s") << 3725.0 << "1:02:05";
        QTest::newRow("more than a hundred hours") << 360000.0 << "100:00:00";
        QTest::newRow("small negative") << -0.4 << "00:00";
        QTest::newRow("negative") << -5.0 << "00:00";
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << "--:--";
        QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << "--:--";
        QTest::newRow("beyond 64-bit seconds") << 1e19 << "--:--";
    }

    void timeText()
    {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(::timeText(seconds), text);
        // The editor's label: where the player is, of the whole.
        QCOMPARE(timeLabelText(seconds, 200.0), text + QStringLiteral(" / 03:20"));
    }
};

QTEST_APPLESS_MAIN(TestTimeText)
#include "tst_timetext.moc"
