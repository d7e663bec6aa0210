#include <limits>

#include <QTest>

#include "Playhead.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// "none", or the value.
QString text(const std::optional<double>& value)
{
    return value ? QString::number(*value) : QStringLiteral("none");
}

} // namespace

class TestPlayhead : public QObject {
    Q_OBJECT

private slots:
    void pointerFromTime_data()
    {
        QTest::addColumn<double>("time");
        QTest::addColumn<double>("duration");
        QTest::addColumn<QString>("pointer"); // on a strip 320 wide

        QTest::newRow("a quarter in") << 50.0 << 200.0 << "80";
        QTest::newRow("past the end is not clamped") << 201.0 << 200.0 << "321.6";
        QTest::newRow("zero duration keeps the pointer at 0") << 3.0 << 0.0 << "0";
        QTest::newRow("NaN duration keeps the pointer at 0") << 3.0 << NaN << "0";
        QTest::newRow("unknown player time leaves the pointer") << NaN << 10.0 << "none";
    }

    void pointerFromTime()
    {
        QFETCH(double, time);
        QFETCH(double, duration);
        QFETCH(QString, pointer);
        QCOMPARE(text(pointerPosition(time, duration, 320.0)), pointer);
    }

    void scrub_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("duration");
        QTest::addColumn<QString>("step"); // pointer, then the time sought; "ignored"

        QTest::newRow("left edge seeks to 0") << 0.0 << 320.0 << 200.0 << "0 0";
        QTest::newRow("right edge seeks to the duration") << 320.0 << 320.0 << 200.0 << "320 200";
        QTest::newRow("left of the strip is ignored") << -0.5 << 320.0 << 200.0 << "ignored";
        QTest::newRow("right of the strip is ignored") << 320.5 << 320.0 << 200.0 << "ignored";
        QTest::newRow("NaN position is ignored") << NaN << 320.0 << 200.0 << "ignored";
        QTest::newRow("zero width: pointer at 0, no seek") << 0.0 << 0.0 << 200.0 << "0 none";
        QTest::newRow("NaN duration: no seek") << 100.0 << 320.0 << NaN << "100 none";
    }

    void scrub()
    {
        QFETCH(double, x);
        QFETCH(double, width);
        QFETCH(double, duration);
        QFETCH(QString, step);
        const std::optional<ScrubStep> got = ::scrub(x, width, duration);
        QCOMPARE(got ? QString::number(got->pointerPosition) + QLatin1Char(' ') + text(got->seekTime) : QStringLiteral("ignored"),
                 step);
    }

    void standsAtEnd_data()
    {
        QTest::addColumn<double>("time");
        QTest::addColumn<double>("frame");
        QTest::addColumn<bool>("endOfMedia");
        QTest::addColumn<bool>("atEnd"); // of a 10-second video

        QTest::newRow("clock a little short of the probe") << 9.97 << 0.04 << false << true;
        QTest::newRow("clock a little past the probe") << 10.02 << 0.04 << false << true;
        QTest::newRow("two frames before the end plays on") << 9.92 << 0.04 << false << false;
        QTest::newRow("player said end of media") << 9.5 << 0.04 << true << true;
        QTest::newRow("unknown frame rate: exact end only") << 9.99 << NaN << false << false;
        QTest::newRow("unknown player time") << NaN << 0.04 << false << false;
    }

    void standsAtEnd()
    {
        QFETCH(double, time);
        QFETCH(double, frame);
        QFETCH(bool, endOfMedia);
        QFETCH(bool, atEnd);
        QCOMPARE(::standsAtEnd(time, 10.0, frame, endOfMedia), atEnd);
    }
};

QTEST_APPLESS_MAIN(TestPlayhead)
#include "tst_playhead.moc"
