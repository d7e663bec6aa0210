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

    void cutsOffTheMainThreadIntoFoldersOfTheirOwn()
    {
        FakeCutter cutter;
        cutter.failures << QStringLiteral("bad");
        const QString root = dir->filePath(QStringLiteral("cache"));
        VideoGenerator generator(cutter, root);
        QStringList written;
        int failed = 0;
        // The name is taken at the call; no start is the beginning and no end the end.
        for (const QString& name : {QStringLiteral("good"), QStringLiteral("bad"), QStringLiteral("good")}) {
            generator.fileName = name;
            generator.splitVideo(QUrl::fromLocalFile(QStringLiteral("/v.mp4")), name == "bad" ? std::nullopt : std::optional(1.0),
                                 name == "bad" ? std::nullopt : std::optional(2.0),
                                 [&](const QUrl& clip) { written << clip.toLocalFile(); }, [&](const QString&) { ++failed; }, [] {});
        }
        generator.waitForCuts();
        // The callbacks wait for the main thread.
        QCOMPARE(written.size() + failed, 0);
        QTRY_COMPARE(written.size() + failed, 3);
        QCOMPARE(failed, 1);
        QStringList got;
        for (const FakeCutter::Call& call : cutter.recorded()) {
            QVERIFY2(!call.onMainThread, "cuts must run off the main thread");
            got << QStringLiteral("%1 %2-%3").arg(call.baseName).arg(call.startTime).arg(call.endTime);
        }
        QCOMPARE(got, (QStringList{"bad 0-inf", "good 1-2", "good 1-2"}));
        // Each clip in a new folder under the cache; the failed cut's folder is gone.
        QVERIFY(written[0] != written[1]);
        for (const QString& path : written)
            QVERIFY(path.startsWith(root + QLatin1Char('/')) && QFileInfo::exists(path));
        QCOMPARE(QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 2);
    }

    void remainsOfStoppedCutsAreSwept()
    {
        const QString root = dir->filePath(QStringLiteral("cache"));
        // A cut stopped half way: its lock file stayed, nobody holds the lock.
        QDir().mkpath(root + QStringLiteral("/cut-stopped"));
        QFile(root + QStringLiteral("/cut-stopped/.cutting")).open(QIODevice::WriteOnly);
        QFile(root + QStringLiteral("/cut-stopped/split-0.mp4")).open(QIODevice::WriteOnly);
        // A finished clip the library refused: the user was told where it is; it stays.
        QDir().mkpath(root + QStringLiteral("/cut-kept"));
        QVERIFY(QFile(root + QStringLiteral("/cut-kept/split-1.mp4")).open(QIODevice::WriteOnly));

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
