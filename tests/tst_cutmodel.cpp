#include <cmath>
#include <limits>

#include <QTest>

#include "CutModel.h"
#include "ExportPlan.h"

namespace {

using Ops = QList<QVariant>; // a double adds a split point there; the string "undo" undoes

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();
const double NEXT = std::nextafter(0.5, 1.0);

} // namespace

class TestCutModel : public QObject {
    Q_OBJECT

private slots:
    void edits_data()
    {
        QTest::addColumn<Ops>("ops");
        // Per op: the count returned (new count for a split, count before removal for an
        // undo), or 0 when the op was refused or did nothing.
        QTest::addColumn<QList<int>>("results");
        QTest::addColumn<QList<double>>("splitPoints");
        QTest::addColumn<int>("actions");
        QTest::addColumn<QList<double>>("clips"); // start and end of every clip of a 10-second video

        QTest::newRow("fresh model: undo does nothing, one whole clip")
            << Ops{"undo"} << QList<int>{0} << QList<double>{} << 0 << QList<double>{0, 10};
        QTest::newRow("same place twice adds one point")
            << Ops{0.5, 0.5} << QList<int>{1, 0} << QList<double>{0.5} << 1 << QList<double>{0, 5, 5, 10};
        QTest::newRow("neighbouring doubles are distinct points")
            << Ops{0.5, NEXT} << QList<int>{1, 2} << QList<double>{0.5, NEXT} << 2
            << QList<double>{0, 5, 5, NEXT * 10, NEXT * 10, 10};
        QTest::newRow("split at the very start gives an empty first clip")
            << Ops{0.0} << QList<int>{1} << QList<double>{0.0} << 1 << QList<double>{0, 0, 0, 10};
        QTest::newRow("out of order; undo removes the last added, not an end one")
            << Ops{0.7, 0.2, 0.5, "undo"} << QList<int>{1, 2, 3, 3} << QList<double>{0.7, 0.2} << 3
            << QList<double>{0, 2, 2, 7, 7, 10};
        QTest::newRow("undo, the same place again, undo down to empty")
            << Ops{0.5, "undo", 0.5, "undo", "undo"} << QList<int>{1, 1, 1, 1, 0} << QList<double>{} << 2
            << QList<double>{0, 10};
        QTest::newRow("past the end is clamped to the end")
            << Ops{1.02} << QList<int>{1} << QList<double>{1.0} << 1 << QList<double>{0, 10, 10, 10};
        QTest::newRow("clamped point equal to an existing one is refused")
            << Ops{1.0, 1.3} << QList<int>{1, 0} << QList<double>{1.0} << 1 << QList<double>{0, 10, 10, 10};
        QTest::newRow("before the start is clamped to the start, never to -0")
            << Ops{-0.25, 0.0} << QList<int>{1, 0} << QList<double>{0.0} << 1 << QList<double>{0, 0, 0, 10};
        QTest::newRow("non-finite positions are refused")
            << Ops{NaN, INF, -INF, 0.4} << QList<int>{0, 0, 0, 1} << QList<double>{0.4} << 1 << QList<double>{0, 4, 4, 10};
    }

    void edits()
    {
        QFETCH(Ops, ops);
        QFETCH(QList<int>, results);
        QFETCH(QList<double>, splitPoints);
        QFETCH(int, actions);
        QFETCH(QList<double>, clips);

        CutModel model(10.0);
        QList<int> got;
        for (const QVariant& op : ops) {
            const std::optional<int> result =
                op.typeId() == QMetaType::QString ? model.undoLastSplitPoint() : model.addSplitPoint(op.toDouble());
            got << result.value_or(0);
        }
        QCOMPARE(got, results);
        // The clips and the export plan, in timeline order, numbered and named from it; the
        // last ends on the duration itself. Deriving them leaves the placing order alone.
        const std::vector<PlannedCut> plan = exportPlan(model.splitPoints(), model.duration());
        QList<double> times;
        for (const Clip& clip : model.clips()) {
            QCOMPARE(clip.number, times.size() / 2 + 1);
            const PlannedCut& cut = plan[size_t(clip.number - 1)];
            QCOMPARE(cut.fileName, QStringLiteral("split-%1").arg(clip.number - 1));
            QCOMPARE(cut.isLast, clip.number == model.videoCount());
            QCOMPARE(cut.startTime, clip.startTime);
            QCOMPARE(cut.endTime, clip.endTime);
            times << clip.startTime << clip.endTime;
        }
        QCOMPARE(times, clips);
        QCOMPARE(int(plan.size()), model.videoCount());
        QCOMPARE(QList<double>(model.splitPoints().begin(), model.splitPoints().end()), splitPoints);
        QCOMPARE(int(model.actionsArray().size()), actions);
        for (std::int64_t action : model.actionsArray())
            QCOMPARE(action, CutModel::ADD_SPLIT_ACTION);
        QCOMPARE(model.splitPointCount(), int(splitPoints.size()));
        for (double point : model.splitPoints())
            QVERIFY(!std::signbit(point));
    }

    void splitPositionFromPointer_data()
    {
        QTest::addColumn<double>("offset");
        QTest::addColumn<double>("width");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<double>("position");

        QTest::newRow("middle") << 160.0 << 320.0 << true << 0.5;
        QTest::newRow("right edge") << 320.0 << 320.0 << true << 1.0;
        QTest::newRow("zero width has no fraction") << 0.0 << 0.0 << false << 0.0;
        QTest::newRow("NaN width has no fraction") << 10.0 << NaN << false << 0.0;
    }

    void splitPositionFromPointer()
    {
        QFETCH(double, offset);
        QFETCH(double, width);
        QFETCH(bool, valid);
        QFETCH(double, position);

        const std::optional<double> result = splitPosition(offset, width);
        QCOMPARE(result.has_value(), valid);
        if (valid)
            QCOMPARE(*result, position);
    }
};

QTEST_APPLESS_MAIN(TestCutModel)
#include "tst_cutmodel.moc"
