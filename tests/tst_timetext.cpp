#include <limits>

#include <QTest>

#include "TimeText.h"

class TestTimeText : public QObject {
    Q_OBJECT

private slots:
    void timeText_data();
    void timeText();
    void timeLabelText_data();
    void timeLabelText();
};

void TestTimeText::timeText_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << 0.0 << "00:00";
    QTest::newRow("truncated, not rounded") << 59.9 << "00:59";
    QTest::newRow("one minute") << 60.0 << "01:00";
    QTest::newRow("just under a second") << 0.999 << "00:00";
    QTest::newRow("last second below an hour") << 3599.0 << "59:59";
    QTest::newRow("last fraction below an hour") << 3599.99 << "59:59";
    QTest::newRow("one hour keeps its hour") << 3600.0 << "1:00:00";
    QTest::newRow("1 h 2 min 5 s") << 3725.0 << "1:02:05";
    QTest::newRow("100 min 5 s") << 6005.0 << "1:40:05";
    QTest::newRow("two hours five minutes") << 7500.0 << "2:05:00";
    QTest::newRow("more than ten hours") << 36000.0 + 61.5 << "10:01:01";
    QTest::newRow("more than a hundred hours") << 360000.0 << "100:00:00";
    QTest::newRow("negative zero") << -0.0 << "00:00";
    QTest::newRow("negative") << -5.0 << "00:00";
    QTest::newRow("small negative") << -0.4 << "00:00";
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << "--:--";
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "--:--";
    QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << "--:--";
    QTest::newRow("beyond 64-bit seconds") << 1e19 << "--:--";
    QTest::newRow("largest double") << std::numeric_limits<double>::max() << "--:--";
}

void TestTimeText::timeText()
{
    QFETCH(double, seconds);
    QFETCH(QString, text);
    QCOMPARE(::timeText(seconds), text);
}

void TestTimeText::timeLabelText_data()
{
    QTest::addColumn<double>("current");
    QTest::addColumn<double>("total");
    QTest::addColumn<QString>("text");

    QTest::newRow("within a 200 s video") << 65.4 << 200.0 << "01:05 / 03:20";
    QTest::newRow("at the start") << 0.0 << 200.0 << "00:00 / 03:20";
    QTest::newRow("at the end") << 200.0 << 200.0 << "03:20 / 03:20";
    QTest::newRow("long video") << 59.0 << 7500.0 << "00:59 / 2:05:00";
    QTest::newRow("unknown player time") << std::numeric_limits<double>::quiet_NaN() << 10.0
                                         << "--:-- / 00:10";
}

void TestTimeText::timeLabelText()
{
    QFETCH(double, current);
    QFETCH(double, total);
    QFETCH(QString, text);
    QCOMPARE(::timeLabelText(current, total), text);
}

QTEST_APPLESS_MAIN(TestTimeText)
#include "tst_timetext.moc"
