#include <csignal>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "FakeMedia.h"
#include "StopSignals.h"
#include "VideoGenerator.h"

class TestVideoGenerator : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }

    void cutsOffTheMainThreadIntoTheLibrary()
    {
        FakeCutter cutter;
        cutter.failures << 0.0;
        FakeLibrary library(dir->filePath(QStringLiteral("library")));
        library.refuse << QStringLiteral("refused");
        QVERIFY(library.prepare(0));
        VideoGenerator generator(cutter);
        QStringList written;
        int failed = 0;
        // No start is the beginning and no end the end.
        const std::vector<std::pair<QString, std::optional<double>>> cuts{
            {"good", 1.0}, {"bad", std::nullopt}, {"good", 2.0}, {"refused", 3.0}};
        const QUrl video = QUrl::fromLocalFile(QStringLiteral("/v.mp4"));
        for (const auto& [name, start] : cuts) {
            generator.splitVideo({video, start, start ? std::optional(*start + 1) : std::nullopt, name, CutMode::Exact, &library, {}, {}},
                                 [&](const QUrl& clip, double) { written << clip.toLocalFile(); },
                                 [&](const QString&) { ++failed; }, [] {});
        }
        generator.waitForCuts();
        // The callbacks wait for the main thread.
        QCOMPARE(written.size() + failed, 0);
        QTRY_COMPARE(written.size() + failed, 4);
        QCOMPARE(failed, 2);
        QStringList got;
        for (const FakeCutter::Call& call : cutter.recorded()) {
            QVERIFY2(!call.onMainThread, "cuts must run off the main thread");
            QCOMPARE(call.output.folder, library.folder());
            got << QStringLiteral("%1-%2").arg(call.startTime).arg(call.endTime);
        }
        QCOMPARE(got, (QStringList{"0-inf", "1-2", "2-3", "3-4"}));
        // Each clip under its name with the container's extension; every working file
        // is gone, the failed and refused cuts' with them.
        QCOMPARE(written, (QStringList{library.folder() + "/good.mp4", library.folder() + "/good.mp4"}));
        QCOMPARE(QDir(library.folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());

        // After a stop, what had not started never starts, and every cut says it
        // stopped (the ones under way too); an export started after it runs as usual.
        cutter.delay = std::chrono::milliseconds(100);
        int answers = 0;
        int stops = 0;
        const CancelToken stopped;
        for (int i = 0; i < 50; ++i)
            generator.splitVideo({video, i + 10.0, i + 11.0, QStringLiteral("stopped"), CutMode::Exact, &library, stopped, {}},
                                 [&](const QUrl&, double) { ++answers; }, [&](const QString&) { ++answers; }, [&] { ++answers; },
                                 [&] { ++stops; });
        generator.cancelAll();
        QVERIFY(stopped.isCancelled());
        generator.waitForCuts();
        QTRY_COMPARE(stops, 50);
        QVERIFY2(cutter.recorded().size() < 4 + 10, "cuts queued before the stop still ran");
        QCOMPARE(answers, 0);
        // The cut's progress ends at the whole, whatever the cutter said last.
        const CutProgress progress;
        generator.splitVideo({video, 70.0, 71.0, QStringLiteral("later"), CutMode::KeyframesOnly, &library, {}, progress},
                             [&](const QUrl& clip, double) { written << clip.toLocalFile(); }, [&](const QString&) { ++failed; },
                             [] {});
        QTRY_COMPARE(written.size(), 3);
        QCOMPARE(progress.fraction(), 1.0);
        QCOMPARE(written.last(), library.folder() + "/later.mp4");
        QCOMPARE(cutter.recorded().back().mode, CutMode::KeyframesOnly);
    }

    // A stop signal is the program's own only while a watcher lives: it arrives as a Qt
    // signal then, and does what it did before once the watcher is gone.
    void stopSignalsAreLentNotKept()
    {
        struct sigaction before {};
        QVERIFY(::sigaction(SIGTERM, nullptr, &before) == 0);
        {
            StopSignals watcher;
            QSignalSpy stops(&watcher, &StopSignals::stopRequested);
            QVERIFY(::raise(SIGTERM) == 0);
            QTRY_COMPARE(stops.count(), 1);
            QCOMPARE(stops.at(0).at(0).toInt(), int(SIGTERM));
        }
        struct sigaction after {};
        QVERIFY(::sigaction(SIGTERM, nullptr, &after) == 0);
        QCOMPARE(reinterpret_cast<void*>(after.sa_handler), reinterpret_cast<void*>(before.sa_handler));
    }

private:
    std::unique_ptr<QTemporaryDir> dir;
};

QTEST_GUILESS_MAIN(TestVideoGenerator)
#include "tst_videogenerator.moc"
