#include <cmath>
#include <limits>

#include <QTest>

#include "CutModel.h"

namespace {

using Ops = QList<QVariant>; // a double adds a split point there; the string "undo" undoes

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();

QList<double> toList(const std::vector<double>& values)
{
    return QList<double>(values.begin(), values.end());
}

QList<double> clipTimes(const std::vector<Clip>& clips)
{
    QList<double> times;
    for (const Clip& clip : clips)
        times << clip.startTime << clip.endTime;
    return times;
}

} // namespace

class TestCutModel : public QObject {
    Q_OBJECT

private slots:
    void edits_data();
    void edits();
    void clipsAreNumberedInTimelineOrder();
    void derivedListsLeaveInsertionOrderAlone();
    void splitPositionFromPointer_data();
    void splitPositionFromPointer();
};

void TestCutModel::edits_data()
{
    QTest::addColumn<Ops>("ops");
    // Per op: the count returned (new count for a split, count before removal for an
    // undo), or 0 when the op was refused or did nothing.
    QTest::addColumn<QList<int>>("results");
    QTest::addColumn<QList<double>>("splitPoints");
    QTest::addColumn<int>("actions");
    // Start and end of every clip, for a 10-second video.
    QTest::addColumn<QList<double>>("clips");

    QTest::newRow("fresh model: undo does nothing, one whole clip")
        << Ops{"undo"} << QList<int>{0} << QList<double>{} << 0 << QList<double>{0, 10};
    QTest::newRow("one point in the middle")
        << Ops{0.5} << QList<int>{1} << QList<double>{0.5} << 1 << QList<double>{0, 5, 5, 10};
    QTest::newRow("same place twice adds one point")
        << Ops{0.5, 0.5} << QList<int>{1, 0} << QList<double>{0.5} << 1 << QList<double>{0, 5, 5, 10};
    QTest::newRow("neighbouring doubles are distinct points")
        << Ops{0.5, std::nextafter(0.5, 1.0)} << QList<int>{1, 2}
        << QList<double>{0.5, std::nextafter(0.5, 1.0)} << 2
        << QList<double>{0, 5, 5, std::nextafter(0.5, 1.0) * 10, std::nextafter(0.5, 1.0) * 10, 10};
    QTest::newRow("split at the very start gives an empty first clip")
        << Ops{0.0} << QList<int>{1} << QList<double>{0.0} << 1 << QList<double>{0, 0, 0, 10};
    QTest::newRow("split at the very end gives an empty last clip")
        << Ops{1.0} << QList<int>{1} << QList<double>{1.0} << 1 << QList<double>{0, 10, 10, 10};
    QTest::newRow("out of order, then undo removes the last added, not the rightmost")
        << Ops{0.7, 0.2, "undo"} << QList<int>{1, 2, 2} << QList<double>{0.7} << 2
        << QList<double>{0, 7, 7, 10};
    QTest::newRow("out of order without undo")
        << Ops{0.7, 0.2} << QList<int>{1, 2} << QList<double>{0.7, 0.2} << 2
        << QList<double>{0, 2, 2, 7, 7, 10};
    QTest::newRow("undo, then the same place is accepted again")
        << Ops{0.5, "undo", 0.5} << QList<int>{1, 1, 1} << QList<double>{0.5} << 2
        << QList<double>{0, 5, 5, 10};
    QTest::newRow("undo runs down to empty, then does nothing")
        << Ops{0.3, 0.6, "undo", "undo", "undo"} << QList<int>{1, 2, 2, 1, 0} << QList<double>{} << 2
        << QList<double>{0, 10};
    QTest::newRow("past the end is clamped to the end")
        << Ops{1.02} << QList<int>{1} << QList<double>{1.0} << 1 << QList<double>{0, 10, 10, 10};
    QTest::newRow("clamped point equal to an existing one is refused")
        << Ops{1.0, 1.3} << QList<int>{1, 0} << QList<double>{1.0} << 1 << QList<double>{0, 10, 10, 10};
    QTest::newRow("before the start is clamped to the start")
        << Ops{-0.25, 0.0} << QList<int>{1, 0} << QList<double>{0.0} << 1 << QList<double>{0, 0, 0, 10};
    QTest::newRow("non-finite positions are refused")
        << Ops{NaN, INF, -INF, 0.4} << QList<int>{0, 0, 0, 1} << QList<double>{0.4} << 1
        << QList<double>{0, 4, 4, 10};
}

void TestCutModel::edits()
{
    QFETCH(Ops, ops);
    QFETCH(QList<int>, results);
    QFETCH(QList<double>, splitPoints);
    QFETCH(int, actions);
    QFETCH(QList<double>, clips);

    CutModel model(10.0);
    QList<int> got;
    for (const QVariant& op : ops) {
        if (op.typeId() == QMetaType::QString) {
            const std::optional<SplitEdit> undone = model.undo();
            got << (undone ? undone->index + 1 : 0);
        } else {
            got << model.addSplitPoint(op.toDouble()).value_or(0);
        }
    }
    QCOMPARE(got, results);
    QCOMPARE(toList(model.splitPoints()), splitPoints);
    QCOMPARE(int(model.actionsArray().size()), actions);
    for (std::int64_t action : model.actionsArray())
        QCOMPARE(action, CutModel::ADD_SPLIT_ACTION);
    QCOMPARE(model.splitPointCount(), int(splitPoints.size()));
    QCOMPARE(model.videoCount(), int(splitPoints.size()) + 1);
    QCOMPARE(clipTimes(model.clips()), clips);
    // Stored points never carry a negative zero.
    for (double point : model.splitPoints())
        QVERIFY(!std::signbit(point));
}

void TestCutModel::clipsAreNumberedInTimelineOrder()
{
    CutModel model(20.0);
    model.addSplitPoint(0.7);
    model.addSplitPoint(0.2);
    model.addSplitPoint(0.5);
    const std::vector<Clip> clips = model.clips();
    QCOMPARE(int(clips.size()), 4);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(clips[size_t(i)].number, i + 1);
    QCOMPARE(clips.front().startTime, 0.0);
    // The last clip ends at the duration itself.
    QCOMPARE(clips.back().endTime, 20.0);
    QVERIFY(std::is_sorted(clips.begin(), clips.end(),
                           [](const Clip& a, const Clip& b) { return a.startTime < b.startTime; }));
}

void TestCutModel::derivedListsLeaveInsertionOrderAlone()
{
    CutModel model(10.0);
    model.addSplitPoint(0.9);
    model.addSplitPoint(0.1);
    model.addSplitPoint(0.5);
    QCOMPARE(toList(model.sortedSplitPoints()), (QList<double>{0.1, 0.5, 0.9}));
    model.clips();
    QCOMPARE(toList(model.splitPoints()), (QList<double>{0.9, 0.1, 0.5}));
    // And undo still takes the last placed point, not the largest.
    QCOMPARE(model.undo()->index, 2);
    QCOMPARE(toList(model.splitPoints()), (QList<double>{0.9, 0.1}));
}

void TestCutModel::splitPositionFromPointer_data()
{
    QTest::addColumn<double>("offset");
    QTest::addColumn<double>("width");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("position");

    QTest::newRow("middle") << 160.0 << 320.0 << true << 0.5;
    QTest::newRow("left edge") << 0.0 << 320.0 << true << 0.0;
    QTest::newRow("right edge") << 320.0 << 320.0 << true << 1.0;
    QTest::newRow("zero width has no fraction") << 0.0 << 0.0 << false << 0.0;
    QTest::newRow("negative width has no fraction") << 10.0 << -5.0 << false << 0.0;
    QTest::newRow("NaN width has no fraction") << 10.0 << NaN << false << 0.0;
}

void TestCutModel::splitPositionFromPointer()
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

QTEST_APPLESS_MAIN(TestCutModel)
#include "tst_cutmodel.moc"
