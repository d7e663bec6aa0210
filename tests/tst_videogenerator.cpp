#include <QTemporaryDir>
#include <QTest>

#include "FakeMedia.h"
#include "VideoGenerator.h"

class TestVideoGenerator : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }

    void nameIsTakenAtTheCall()
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

        const std::vector<FakeCutter::Call> calls = cutter.recorded();
        QCOMPARE(int(calls.size()), 2);
        QCOMPARE(calls[0].baseName, QStringLiteral("first"));
        QVERIFY2(!calls[0].onMainThread && !calls[1].onMainThread, "cuts must run off the main thread");
        QCOMPARE(calls[0].startTime, 1.0);
        QCOMPARE(calls[1].baseName, QStringLiteral("second"));
        // No start is the beginning and no end the end of the video.
        QCOMPARE(calls[1].startTime, 0.0);
        QVERIFY(std::isinf(calls[1].endTime));
    }

    void workingFoldersAreNewAndCleaned()
    {
        FakeCutter cutter;
        cutter.failures << QStringLiteral("bad");
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

    void remainsOfStoppedCutsAreSwept()
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

private:
    std::unique_ptr<QTemporaryDir> dir;
};

QTEST_GUILESS_MAIN(TestVideoGenerator)
#include "tst_videogenerator.moc"
