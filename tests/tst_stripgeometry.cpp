#include <limits>

#include <QTest>

#include "StripGeometry.h"

using namespace strip;

class TestStripGeometry : public QObject {
    Q_OBJECT

private slots:
    void thumbnailSlots()
    {
        // An 8-second video on a strip of 320 x 50: eight slots tiling it, one a second,
        // rounded on the strip's outer corners.
        const std::vector<ThumbnailSlot> placed = strip::thumbnailSlots(320.0, 50.0, 8.0);
        QCOMPARE(int(placed.size()), THUMBNAIL_COUNT);
        for (int i = 0; i < THUMBNAIL_COUNT; ++i) {
            const ThumbnailSlot& slot = placed[size_t(i)];
            QCOMPARE(slot.index, i);
            QCOMPARE(slot.time, double(i));
            QCOMPARE(slot.frame, QRectF(40.0 * i, 0, 40, 50));
            QCOMPARE(int(slot.corners), int(i == 0 ? RoundedCorners::Left : i == 7 ? RoundedCorners::Right : RoundedCorners::None));
        }
    }

    void requestTime_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<double>("request");

        QTest::newRow("on the grid") << 1.275 << 1.275;
        QTest::newRow("rounds down to the nearest 1/40") << 1.26 << 1.25;
        QTest::newRow("rounds up to the nearest 1/40") << 1.27 << 1.275;
        QTest::newRow("NaN asks for the start") << std::numeric_limits<double>::quiet_NaN() << 0.0;
    }

    void requestTime()
    {
        QFETCH(double, seconds);
        QFETCH(double, request);
        QCOMPARE(thumbnailRequestTime(seconds), request);
    }

    void marker_data()
    {
        QTest::addColumn<double>("position");
        QTest::addColumn<QRectF>("frame");

        QTest::newRow("middle: left edge at the split") << 0.5 << QRectF(160, 0, 5, 50);
        QTest::newRow("end starts outside the strip") << 1.0 << QRectF(320, 0, 5, 50);
    }

    void marker()
    {
        QFETCH(double, position);
        QFETCH(QRectF, frame);

        const SplitMarker marker = splitMarker(position, 320.0, 50.0);
        QCOMPARE(marker.frame, frame);
        QCOMPARE(marker.line, QLineF(2.5, 2.0, 2.5, 50.0));
    }

    void labels_data()
    {
        QTest::addColumn<QList<double>>("sorted");
        QTest::addColumn<QList<double>>("xs"); // of the labels "1", "2", ... left to right

        // Strip 320 wide, numbers row 20 high.
        QTest::newRow("no split point: no labels") << QList<double>{} << QList<double>{};
        QTest::newRow("point at the start") << QList<double>{0.0} << QList<double>{-5, 155};
        QTest::newRow("point at the end") << QList<double>{1.0} << QList<double>{155, 315};
        QTest::newRow("0.2 and 0.7") << QList<double>{0.2, 0.7} << QList<double>{27, 139, 267};
    }

    void labels()
    {
        QFETCH(QList<double>, sorted);
        QFETCH(QList<double>, xs);

        const std::vector<ClipNumberLabel> labels =
            clipNumberLabels(std::vector<double>(sorted.begin(), sorted.end()), 320.0, 20.0);
        QCOMPARE(int(labels.size()), xs.size());
        for (int i = 0; i < xs.size(); ++i) {
            QCOMPARE(labels[size_t(i)].text, QString::number(i + 1));
            QCOMPARE(labels[size_t(i)].frame, QRectF(xs[i], 0, 10, 20));
        }
    }
};

QTEST_APPLESS_MAIN(TestStripGeometry)
#include "tst_stripgeometry.moc"
