#include <limits>

#include <QTest>

#include "Playhead.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

class TestPlayhead : public QObject {
    Q_OBJECT

private slots:
    void pointerFromTime_data()
    {
        QTest::addColumn<double>("time");
        QTest::addColumn<double>("duration");
        QTest::addColumn<double>("width");
        QTest::addColumn<bool>("moves");
        QTest::addColumn<double>("pointer");

        QTest::newRow("a quarter in") << 50.0 << 200.0 << 320.0 << true << 80.0;
        QTest::newRow("past the end is not clamped") << 201.0 << 200.0 << 320.0 << true << 321.6;
        QTest::newRow("zero duration keeps the pointer at 0") << 3.0 << 0.0 << 320.0 << true << 0.0;
        QTest::newRow("NaN duration keeps the pointer at 0") << 3.0 << NaN << 320.0 << true << 0.0;
        QTest::newRow("unknown player time leaves the pointer") << NaN << 10.0 << 320.0 << false << 0.0;
    }

    void pointerFromTime()
    {
        QFETCH(double, time);
        QFETCH(double, duration);
        QFETCH(double, width);
        QFETCH(bool, moves);
        QFETCH(double, pointer);

        const std::optional<double> result = pointerPosition(time, duration, width);
        QCOMPARE(result.has_value(), moves);
        if (moves)
            QCOMPARE(*result, pointer);
    }

    void scrub_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("duration");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<double>("pointer");
        QTest::addColumn<bool>("seeks");
        QTest::addColumn<double>("seekTime");

        QTest::newRow("left edge seeks to 0") << 0.0 << 320.0 << 200.0 << true << 0.0 << true << 0.0;
        QTest::newRow("right edge seeks to the duration") << 320.0 << 320.0 << 200.0 << true << 320.0 << true << 200.0;
        QTest::newRow("left of the strip is ignored") << -0.5 << 320.0 << 200.0 << false << 0.0 << false << 0.0;
        QTest::newRow("right of the strip is ignored") << 320.5 << 320.0 << 200.0 << false << 0.0 << false << 0.0;
        QTest::newRow("NaN position is ignored") << NaN << 320.0 << 200.0 << false << 0.0 << false << 0.0;
        QTest::newRow("zero width: pointer at 0, no seek") << 0.0 << 0.0 << 200.0 << true << 0.0 << false << 0.0;
        QTest::newRow("NaN duration: no seek") << 100.0 << 320.0 << NaN << true << 100.0 << false << 0.0;
    }

    void scrub()
    {
        QFETCH(double, x);
        QFETCH(double, width);
        QFETCH(double, duration);
        QFETCH(bool, accepted);
        QFETCH(double, pointer);
        QFETCH(bool, seeks);
        QFETCH(double, seekTime);

        const std::optional<ScrubStep> step = ::scrub(x, width, duration);
        QCOMPARE(step.has_value(), accepted);
        if (!accepted)
            return;
        QCOMPARE(step->pointerPosition, pointer);
        QCOMPARE(step->seekTime.has_value(), seeks);
        if (seeks)
            QCOMPARE(*step->seekTime, seekTime);
    }

    void standsAtEnd_data()
    {
        QTest::addColumn<double>("time");
        QTest::addColumn<double>("duration");
        QTest::addColumn<double>("frame");
        QTest::addColumn<bool>("endOfMedia");
        QTest::addColumn<bool>("atEnd");

        QTest::newRow("clock a little short of the probe") << 9.97 << 10.0 << 0.04 << false << true;
        QTest::newRow("clock a little past the probe") << 10.02 << 10.0 << 0.04 << false << true;
        QTest::newRow("two frames before the end plays on") << 9.92 << 10.0 << 0.04 << false << false;
        QTest::newRow("player said end of media") << 9.5 << 10.0 << 0.04 << true << true;
        QTest::newRow("unknown frame rate: exact end only") << 9.99 << 10.0 << NaN << false << false;
        QTest::newRow("unknown player time") << NaN << 10.0 << 0.04 << false << false;
    }

    void standsAtEnd()
    {
        QFETCH(double, time);
        QFETCH(double, duration);
        QFETCH(double, frame);
        QFETCH(bool, endOfMedia);
        QFETCH(bool, atEnd);
        QCOMPARE(::standsAtEnd(time, duration, frame, endOfMedia), atEnd);
    }
};

QTEST_APPLESS_MAIN(TestPlayhead)
#include "tst_playhead.moc"
