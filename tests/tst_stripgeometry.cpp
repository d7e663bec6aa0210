#include <QTest>

#include "StripGeometry.h"

using namespace strip;

Q_DECLARE_METATYPE(RoundedCorners)

class TestStripGeometry : public QObject {
    Q_OBJECT

private slots:
    void thumbnailSlots_data();
    void thumbnailSlots();
    void thumbnailTimesAccumulate();
    void requestTime_data();
    void requestTime();
    void marker_data();
    void marker();
    void labels_data();
    void labels();
};

void TestStripGeometry::thumbnailSlots_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<double>("time");
    QTest::addColumn<QRectF>("frame");
    QTest::addColumn<RoundedCorners>("corners");

    // An 8-second video on a strip of 320 x 50.
    const RoundedCorners corners[] = {RoundedCorners::Left, RoundedCorners::None, RoundedCorners::None,
                                      RoundedCorners::None, RoundedCorners::None, RoundedCorners::None,
                                      RoundedCorners::None, RoundedCorners::Right};
    for (int i = 0; i < 8; ++i) {
        QTest::addRow("slot %d", i) << i << double(i) << QRectF(40.0 * i, 0, 40, 50) << corners[i];
    }
}

void TestStripGeometry::thumbnailSlots()
{
    QFETCH(int, index);
    QFETCH(double, time);
    QFETCH(QRectF, frame);
    QFETCH(RoundedCorners, corners);

    const std::vector<ThumbnailSlot> thumbnails = strip::thumbnailSlots(320.0, 50.0, 8.0);
    QCOMPARE(int(thumbnails.size()), THUMBNAIL_COUNT);
    const ThumbnailSlot& slot = thumbnails[size_t(index)];
    QCOMPARE(slot.index, index);
    QCOMPARE(slot.time, time);
    QCOMPARE(slot.frame, frame);
    QCOMPARE(slot.corners, corners);
}

void TestStripGeometry::thumbnailTimesAccumulate()
{
    // The last slot shows 7/8 of the way in, and the times come from adding the step
    // again and again (which differs from i * step in the last bits for such a step).
    const double duration = 10.1;
    const std::vector<ThumbnailSlot> thumbnails = strip::thumbnailSlots(800.0, 60.0, duration);
    double expected = 0.0;
    for (const ThumbnailSlot& slot : thumbnails) {
        QCOMPARE(slot.time, expected); // exact: same additions in the same order
        QVERIFY(slot.time == expected);
        expected += duration * 0.125;
    }
    QVERIFY(thumbnails.back().time < duration);
    // The slots tile the strip with no gap and no overlap.
    for (size_t i = 1; i < thumbnails.size(); ++i)
        QCOMPARE(thumbnails[i].frame.left(), thumbnails[i - 1].frame.right());
    QCOMPARE(thumbnails.back().frame.right(), 800.0);
}

void TestStripGeometry::requestTime_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<double>("request");

    QTest::newRow("whole second") << 3.0 << 3.0;
    QTest::newRow("on the grid") << 1.275 << 1.275;
    QTest::newRow("rounds down to the nearest 1/40") << 1.26 << 1.25;
    QTest::newRow("rounds up to the nearest 1/40") << 1.27 << 1.275;
    QTest::newRow("eighth of ten seconds") << 1.25 << 1.25;
    QTest::newRow("NaN asks for the start") << std::numeric_limits<double>::quiet_NaN() << 0.0;
}

void TestStripGeometry::requestTime()
{
    QFETCH(double, seconds);
    QFETCH(double, request);
    QCOMPARE(thumbnailRequestTime(seconds), request);
}

void TestStripGeometry::marker_data()
{
    QTest::addColumn<double>("position");
    QTest::addColumn<QRectF>("frame");

    QTest::newRow("middle: left edge at the split") << 0.5 << QRectF(160, 0, 5, 50);
    QTest::newRow("start") << 0.0 << QRectF(0, 0, 5, 50);
    QTest::newRow("end starts outside the strip") << 1.0 << QRectF(320, 0, 5, 50);
}

void TestStripGeometry::marker()
{
    QFETCH(double, position);
    QFETCH(QRectF, frame);

    const SplitMarker marker = splitMarker(position, 320.0, 50.0);
    QCOMPARE(marker.frame, frame);
    QCOMPARE(marker.line, QLineF(2.5, 2.0, 2.5, 50.0));
}

void TestStripGeometry::labels_data()
{
    QTest::addColumn<QList<double>>("sorted");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<double>>("xs");

    // Strip 320 wide, numbers row 20 high.
    QTest::newRow("no split point: no labels") << QList<double>{} << QStringList{} << QList<double>{};
    QTest::newRow("one point at 0.5") << QList<double>{0.5} << QStringList{"1", "2"} << QList<double>{75, 235};
    QTest::newRow("point at the start") << QList<double>{0.0} << QStringList{"1", "2"} << QList<double>{-5, 155};
    QTest::newRow("point at the end") << QList<double>{1.0} << QStringList{"1", "2"} << QList<double>{155, 315};
    QTest::newRow("0.2 and 0.7 read 1 2 3 left to right")
        << QList<double>{0.2, 0.7} << QStringList{"1", "2", "3"} << QList<double>{27, 139, 267};
}

void TestStripGeometry::labels()
{
    QFETCH(QList<double>, sorted);
    QFETCH(QStringList, texts);
    QFETCH(QList<double>, xs);

    const std::vector<ClipNumberLabel> labels =
        clipNumberLabels(std::vector<double>(sorted.begin(), sorted.end()), 320.0, 20.0);
    QStringList gotTexts;
    QList<double> gotXs;
    for (const ClipNumberLabel& label : labels) {
        gotTexts << label.text;
        gotXs << label.frame.x();
        QCOMPARE(label.text, QString::number(label.number));
        QCOMPARE(label.frame.y(), 0.0);
        QCOMPARE(label.frame.width(), 10.0);
        QCOMPARE(label.frame.height(), 20.0);
    }
    QCOMPARE(gotTexts, texts);
    QCOMPARE(gotXs, xs);
}

QTEST_APPLESS_MAIN(TestStripGeometry)
#include "tst_stripgeometry.moc"
