#include <QTemporaryDir>
#include <QTest>

#include "FakeMedia.h"
#include "VideoGenerator.h"

class TestVideoGenerator : public QObject {
    Q_OBJECT

private slots:
    void init();
    void nameIsTakenAtTheCall();
    void workingFilesGoUnlessPublished();
    void stopEndsEveryCut();
    void remainsOfStoppedCutsAreSwept();

private:
    std::unique_ptr<QTemporaryDir> dir;
};

void TestVideoGenerator::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestVideoGenerator::nameIsTakenAtTheCall()
{
    FakeCutter cutter;
    FakeLibrary library(dir->filePath(QStringLiteral("library")));
    QVERIFY(library.prepare(0));
    VideoGenerator generator(cutter, dir->filePath(QStringLiteral("cache")));
    QStringList clips;
    int callbacks = 0;
    generator.fileName = QStringLiteral("first");
    generator.splitVideo(QUrl::fromLocalFile(QStringLiteral("/v.mp4")), 1.0, 2.0, library,
                         [&](const QUrl& clip) { clips << clip.toLocalFile(); }, [&](const QString&) { ++callbacks; },
                         [&] { ++callbacks; });
    generator.fileName = QStringLiteral("second");
    generator.splitVideo(QUrl::fromLocalFile(QStringLiteral("/v.mp4")), std::nullopt, std::nullopt, library,
                         [&](const QUrl& clip) { clips << clip.toLocalFile(); }, [&](const QString&) { ++callbacks; },
                         [&] { ++callbacks; });
    generator.waitForCuts();
    // The callbacks wait for the main thread.
    QCOMPARE(clips.size(), 0);
    QTRY_COMPARE(clips.size(), 2);
    QTest::qWait(20);
    QCOMPARE(clips.size() + callbacks, 2);
    clips.sort();
    QCOMPARE(clips, (QStringList{library.folder() + QStringLiteral("/first.mp4"), library.folder() + QStringLiteral("/second.mp4")}));

    std::vector<FakeCutter::Call> calls = cutter.recorded();
    QCOMPARE(int(calls.size()), 2);
    std::sort(calls.begin(), calls.end(), [](const auto& a, const auto& b) { return a.startTime > b.startTime; });
    QVERIFY2(!calls[0].onMainThread && !calls[1].onMainThread, "cuts must run off the main thread");
    QCOMPARE(calls[0].startTime, 1.0);
    QCOMPARE(calls[0].endTime, 2.0);
    QCOMPARE(calls[0].output.folder, library.folder());
    // No start is the beginning and no end the end of the video.
    QCOMPARE(calls[1].startTime, 0.0);
    QVERIFY(std::isinf(calls[1].endTime));
}

void TestVideoGenerator::workingFilesGoUnlessPublished()
{
    FakeCutter cutter;
    cutter.failures[5.0] = QStringLiteral("no");
    cutter.empties.push_back(7.0);
    FakeLibrary library(dir->filePath(QStringLiteral("library")));
    library.refuse << QStringLiteral("refused");
    QVERIFY(library.prepare(0));
    VideoGenerator generator(cutter, dir->filePath(QStringLiteral("cache")));
    QStringList written;
    QStringList failed;
    int empty = 0;
    const std::vector<std::pair<QString, double>> cuts{
        {"good", 0.0}, {"good", 1.0}, {"bad", 5.0}, {"refused", 2.0}, {"nothing", 7.0}};
    for (const auto& [name, start] : cuts) {
        generator.fileName = name;
        generator.splitVideo(QUrl::fromLocalFile(QStringLiteral("/v.mp4")), start, start + 1.0, library,
                             [&](const QUrl& clip) { written << QFileInfo(clip.toLocalFile()).fileName(); },
                             [&](const QString& why) { failed << why; }, [&] { ++empty; });
    }
    generator.waitForCuts();
    QTRY_COMPARE(written.size() + failed.size() + empty, 5);
    written.sort();
    QCOMPARE(written, (QStringList{QStringLiteral("good (2).mp4"), QStringLiteral("good.mp4")}));
    QCOMPARE(failed.size(), 2);
    QCOMPARE(empty, 1);
    // The failed, refused and empty cuts' working files are gone with them.
    QCOMPARE(QDir(library.folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), written);
}

void TestVideoGenerator::stopEndsEveryCut()
{
    FakeCutter cutter;
    cutter.delay = std::chrono::milliseconds(100);
    FakeLibrary library(dir->filePath(QStringLiteral("library")));
    QVERIFY(library.prepare(0));
    VideoGenerator generator(cutter, dir->filePath(QStringLiteral("cache")));
    int callbacks = 0;
    for (int i = 0; i < 50; ++i) {
        generator.fileName = QStringLiteral("clip");
        generator.splitVideo(QUrl::fromLocalFile(QStringLiteral("/v.mp4")), i, i + 1, library,
                             [&](const QUrl&) { ++callbacks; }, [&](const QString&) { ++callbacks; }, [&] { ++callbacks; });
    }
    generator.stop();
    generator.waitForCuts();
    QTest::qWait(20);
    // What had not started never starts, and what was under way does not answer.
    QVERIFY2(cutter.recorded().size() < 10, "cuts queued before the stop still ran");
    QCOMPARE(callbacks, 0);
    QCOMPARE(QDir(library.folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

void TestVideoGenerator::remainsOfStoppedCutsAreSwept()
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

QTEST_GUILESS_MAIN(TestVideoGenerator)
#include "tst_videogenerator.moc"
