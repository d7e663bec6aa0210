#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "ExportPlan.h"
#include "ExportRun.h"
#include "FakeMedia.h"
#include "VideoGenerator.h"

namespace {

// Runs one export to its end and keeps what it reported.
struct ExportWatch {
    std::vector<ClipReport> reports;
    std::optional<ExportSummary> summary;
    int finishedCalls = 0;
    bool handlersOnMainThread = true;

    ExportHandlers handlers()
    {
        ExportHandlers h;
        h.clipDone = [this](const ClipReport& report, const ExportSummary&) {
            handlersOnMainThread &= QThread::currentThread() == QCoreApplication::instance()->thread();
            reports.push_back(report);
        };
        h.finished = [this](const ExportSummary& s) {
            summary = s;
            ++finishedCalls;
        };
        return h;
    }

    ClipReport::Result resultOf(const QString& name) const
    {
        for (const ClipReport& report : reports) {
            if (report.fileName == name)
                return report.result;
        }
        return ClipReport::Result::CutFailed;
    }
};

} // namespace

Q_DECLARE_METATYPE(ClipReport::Result)

class TestExportRun : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cutsCarryTheirNamesAndTimes();
    void outcomes_data();
    void outcomes();
    void twoExportsAtOnce();
    void nameIsTakenAtTheCall();
    void workingFoldersAreNewAndCleaned();
    void remainsOfStoppedCutsAreSwept();

private:
    std::unique_ptr<QTemporaryDir> dir;
};

void TestExportRun::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestExportRun::cutsCarryTheirNamesAndTimes()
{
    FakeCutter cutter;
    FakeLibrary library(dir->filePath(QStringLiteral("library")));
    VideoGenerator generator(cutter, dir->filePath(QStringLiteral("cache")));
    ExportWatch watch;

    const QUrl source = QUrl::fromLocalFile(QStringLiteral("/videos/a b.mp4"));
    startExport(exportPlan({0.7, 0.2, 0.5}, 20.0), source, generator, library, watch.handlers());
    QTRY_VERIFY(watch.summary.has_value());

    std::vector<FakeCutter::Call> calls = cutter.recorded();
    std::sort(calls.begin(), calls.end(), [](const auto& a, const auto& b) { return a.startTime < b.startTime; });
    QStringList names;
    QList<double> times;
    for (const FakeCutter::Call& call : calls) {
        names << call.baseName;
        times << call.startTime << call.endTime;
        QCOMPARE(call.source, QStringLiteral("/videos/a b.mp4"));
        QVERIFY2(!call.onMainThread, "cuts must run off the main thread");
    }
    QCOMPARE(names, (QStringList{"split-0", "split-1", "split-2", "split-3"}));
    QCOMPARE(times, (QList<double>{0, 4, 4, 10, 10, 14, 14, 20}));
    QVERIFY(watch.handlersOnMainThread);
    QCOMPARE(watch.finishedCalls, 1);
    QVERIFY(watch.summary->succeeded());
    QCOMPARE(watch.summary->inLibrary, 4);
    QCOMPARE(QDir(library.folder).entryList(QDir::Files).size(), 4);
}

void TestExportRun::outcomes_data()
{
    QTest::addColumn<QString>("failCut");
    QTest::addColumn<QString>("emptyCut");
    QTest::addColumn<QString>("refuse");
    QTest::addColumn<bool>("succeeded");
    QTest::addColumn<ClipReport::Result>("middle");

    QTest::newRow("all well") << "" << "" << "" << true << ClipReport::Result::InLibrary;
    QTest::newRow("middle clip fails to cut") << "split-1" << "" << "" << false << ClipReport::Result::CutFailed;
    QTest::newRow("library refuses the middle clip") << "" << "" << "split-1" << false << ClipReport::Result::LibraryRefused;
    QTest::newRow("empty middle clip is skipped, still a success")
        << "" << "split-1" << "" << true << ClipReport::Result::Empty;
    QTest::newRow("last clip fails") << "split-2" << "" << "" << false << ClipReport::Result::InLibrary;
}

void TestExportRun::outcomes()
{
    QFETCH(QString, failCut);
    QFETCH(QString, emptyCut);
    QFETCH(QString, refuse);
    QFETCH(bool, succeeded);
    QFETCH(ClipReport::Result, middle);

    FakeCutter cutter;
    if (!failCut.isEmpty())
        cutter.failures[failCut] = QStringLiteral("The disk said no.");
    if (!emptyCut.isEmpty())
        cutter.empties[emptyCut] = true;
    FakeLibrary library(dir->filePath(QStringLiteral("library")));
    if (!refuse.isEmpty())
        library.refuse << refuse;
    VideoGenerator generator(cutter, dir->filePath(QStringLiteral("cache")));
    ExportWatch watch;

    startExport(exportPlan({0.6, 0.3}, 10.0), QUrl::fromLocalFile(QStringLiteral("/v.mp4")), generator, library,
                watch.handlers());
    QTRY_VERIFY(watch.summary.has_value());
    // Give any stray callback a chance to run: there must be none.
    QTest::qWait(50);

    QCOMPARE(watch.finishedCalls, 1);
    QCOMPARE(int(watch.reports.size()), 3);
    QCOMPARE(watch.summary->succeeded(), succeeded);
    QCOMPARE(watch.resultOf(QStringLiteral("split-1")), middle);
    QCOMPARE(watch.summary->done(), 3);
    for (const ClipReport& report : watch.reports) {
        const bool failed = report.result == ClipReport::Result::CutFailed
            || report.result == ClipReport::Result::LibraryRefused;
        QCOMPARE(report.error.isEmpty(), !failed);
    }
}

void TestExportRun::twoExportsAtOnce()
{
    FakeCutter cutter;
    FakeLibrary library(dir->filePath(QStringLiteral("library")));
    VideoGenerator generator(cutter, dir->filePath(QStringLiteral("cache")));
    ExportWatch first;
    ExportWatch second;
    cutter.failures[QStringLiteral("split-2")] = QStringLiteral("no");

    const QUrl source = QUrl::fromLocalFile(QStringLiteral("/v.mp4"));
    startExport(exportPlan({0.5}, 10.0), source, generator, library, first.handlers());
    startExport(exportPlan({0.2, 0.4}, 10.0), source, generator, library, second.handlers());
    QTRY_VERIFY(first.summary && second.summary);

    // Each export keeps its own count: the failure of the second's third clip is
    // not the first's.
    QCOMPARE(first.summary->total, 2);
    QVERIFY(first.summary->succeeded());
    QCOMPARE(second.summary->total, 3);
    QCOMPARE(second.summary->failed, 1);
    // Both exports' clips of the same names are in the library, none overwritten.
    QCOMPARE(QDir(library.folder).entryList(QDir::Files).size(), 4);
}

void TestExportRun::nameIsTakenAtTheCall()
{
    FakeCutter cutter;
    VideoGenerator generator(cutter, dir->filePath(QStringLiteral("cache")));
    int callbacks = 0;
    generator.fileName = QStringLiteral("first");
    generator.splitVideo(QUrl::fromLocalFile(QStringLiteral("/v.mp4")), 1.0, 2.0,
                         [&](const QUrl&) { ++callbacks; }, [&](const QString&) { ++callbacks; }, [&] { ++callbacks; });
    generator.fileName = QStringLiteral("second");
    generator.splitVideo(QUrl::fromLocalFile(QStringLiteral("/v.mp4")), std::nullopt, std::nullopt,
                         [&](const QUrl&) { ++callbacks; }, [&](const QString&) { ++callbacks; }, [&] { ++callbacks; });
    generator.waitForCuts();
    // The callbacks wait for the main thread.
    QCOMPARE(callbacks, 0);
    QTRY_COMPARE(callbacks, 2);
    QTest::qWait(20);
    QCOMPARE(callbacks, 2);

    std::vector<FakeCutter::Call> calls = cutter.recorded();
    QCOMPARE(int(calls.size()), 2);
    std::sort(calls.begin(), calls.end(), [](const auto& a, const auto& b) { return a.baseName < b.baseName; });
    QCOMPARE(calls[0].baseName, QStringLiteral("first"));
    QCOMPARE(calls[0].startTime, 1.0);
    QCOMPARE(calls[1].baseName, QStringLiteral("second"));
    // No start is the beginning and no end the end of the video.
    QCOMPARE(calls[1].startTime, 0.0);
    QVERIFY(std::isinf(calls[1].endTime));
}

void TestExportRun::workingFoldersAreNewAndCleaned()
{
    FakeCutter cutter;
    cutter.failures[QStringLiteral("bad")] = QStringLiteral("no");
    const QString root = dir->filePath(QStringLiteral("cache"));
    VideoGenerator generator(cutter, root);
    QStringList written;
    for (const QString& name : {QStringLiteral("good"), QStringLiteral("good"), QStringLiteral("bad")}) {
        generator.fileName = name;
        generator.splitVideo(QUrl::fromLocalFile(QStringLiteral("/v.mp4")), 0.0, 1.0,
                             [&](const QUrl& clip) { written << clip.toLocalFile(); }, [](const QString&) {}, [] {});
    }
    generator.waitForCuts();
    QTRY_COMPARE(written.size(), 2);
    QVERIFY(written[0] != written[1]);
    for (const QString& path : written) {
        QVERIFY(path.startsWith(root + QLatin1Char('/')));
        QVERIFY(QFileInfo::exists(path));
    }
    // The failed cut's folder is gone; the two written ones remain.
    QCOMPARE(QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 2);
}

void TestExportRun::remainsOfStoppedCutsAreSwept()
{
    const QString root = dir->filePath(QStringLiteral("cache"));
    // A cut stopped half way: its lock file stayed, nobody holds the lock.
    QDir().mkpath(root + QStringLiteral("/cut-stopped"));
    QFile(root + QStringLiteral("/cut-stopped/.cutting")).open(QIODevice::WriteOnly);
    QFile partial(root + QStringLiteral("/cut-stopped/split-0.mp4"));
    QVERIFY(partial.open(QIODevice::WriteOnly));
    partial.write("half a clip");
    partial.close();
    // A finished clip the library refused: the user was told where it is; it stays.
    QDir().mkpath(root + QStringLiteral("/cut-kept"));
    QFile kept(root + QStringLiteral("/cut-kept/split-1.mp4"));
    QVERIFY(kept.open(QIODevice::WriteOnly));
    kept.close();

    FakeCutter cutter;
    VideoGenerator generator(cutter, root);
    generator.waitForCuts();
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/cut-stopped")));
    QVERIFY(QFileInfo::exists(root + QStringLiteral("/cut-kept/split-1.mp4")));
}

QTEST_GUILESS_MAIN(TestExportRun)
#include "tst_exportrun.moc"
