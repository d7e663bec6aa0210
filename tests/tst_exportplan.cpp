#include <QTest>

#include "CutModel.h"
#include "ExportPlan.h"

class TestExportPlan : public QObject {
    Q_OBJECT

private slots:
    void plan_data();
    void plan();
    void planLeavesTheModelAlone();
};

void TestExportPlan::plan_data()
{
    QTest::addColumn<QList<double>>("splitPoints"); // in the order placed
    QTest::addColumn<double>("duration");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<double>>("times"); // start and end of each cut

    QTest::newRow("one point at 0.5 on 10 s")
        << QList<double>{0.5} << 10.0 << QStringList{"split-0", "split-1"} << QList<double>{0, 5, 5, 10};
    QTest::newRow("0.7, 0.2, 0.5 on 20 s, in timeline order")
        << QList<double>{0.7, 0.2, 0.5} << 20.0
        << QStringList{"split-0", "split-1", "split-2", "split-3"}
        << QList<double>{0, 4, 4, 10, 10, 14, 14, 20};
    QTest::newRow("empty first clip is passed on unchanged")
        << QList<double>{0.0} << 10.0 << QStringList{"split-0", "split-1"} << QList<double>{0, 0, 0, 10};
    QTest::newRow("empty last clip is passed on unchanged")
        << QList<double>{1.0} << 10.0 << QStringList{"split-0", "split-1"} << QList<double>{0, 10, 10, 10};
    QTest::newRow("no split point: the whole video")
        << QList<double>{} << 10.0 << QStringList{"split-0"} << QList<double>{0, 10};
    QTest::newRow("eleven clips count past one digit")
        << QList<double>{0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 0.95} << 100.0
        << QStringList{"split-0", "split-1", "split-2", "split-3", "split-4", "split-5",
                       "split-6", "split-7", "split-8", "split-9", "split-10"}
        << QList<double>{0, 10, 10, 20, 20, 30, 30, 40, 40, 50, 50, 60, 60, 70, 70, 80, 80, 90, 90, 95, 95, 100};
}

void TestExportPlan::plan()
{
    QFETCH(QList<double>, splitPoints);
    QFETCH(double, duration);
    QFETCH(QStringList, names);
    QFETCH(QList<double>, times);

    const std::vector<PlannedCut> cuts =
        exportPlan(std::vector<double>(splitPoints.begin(), splitPoints.end()), duration);
    QStringList gotNames;
    QList<double> gotTimes;
    for (size_t i = 0; i < cuts.size(); ++i) {
        QCOMPARE(cuts[i].index, int(i));
        QCOMPARE(cuts[i].isLast, i + 1 == cuts.size());
        gotNames << cuts[i].fileName;
        gotTimes << cuts[i].startTime << cuts[i].endTime;
    }
    QCOMPARE(gotNames, names);
    QCOMPARE(gotTimes, times);
    // The last cut ends on the duration itself, bit for bit.
    QVERIFY(cuts.back().endTime == duration);
}

void TestExportPlan::planLeavesTheModelAlone()
{
    CutModel model(20.0);
    model.addSplitPoint(0.7);
    model.addSplitPoint(0.2);
    model.addSplitPoint(0.5);
    const std::vector<double> before = model.splitPoints();
    const std::vector<PlannedCut> cuts = exportPlan(model.splitPoints(), model.duration());
    QCOMPARE(model.splitPoints(), before);
    QCOMPARE(int(cuts.size()), model.videoCount());
    // Every cut is the model's clip of the same place: one set of times for both.
    const std::vector<Clip> clips = model.clips();
    for (size_t i = 0; i < cuts.size(); ++i) {
        QCOMPARE(cuts[i].startTime, clips[i].startTime);
        QCOMPARE(cuts[i].endTime, clips[i].endTime);
    }
}

QTEST_APPLESS_MAIN(TestExportPlan)
#include "tst_exportplan.moc"
