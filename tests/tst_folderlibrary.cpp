#include <thread>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "FolderVideoLibrary.h"
#include "MediaOracle.h"

namespace {

// A working file as the cutter leaves it: a clip in a folder of its own.
QString workingCopy(const QString& root, const QString& fixtureName, const QString& name)
{
    static int counter = 0;
    const QString folder = root + QStringLiteral("/cut-%1").arg(++counter);
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name;
    if (!QFile::copy(fixture(fixtureName), path))
        return {};
    return path;
}

} // namespace

class TestFolderLibrary : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }

    void imports_data()
    {
        QTest::addColumn<QStringList>("existing"); // names already in the library
        QTest::addColumn<QString>("clip");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("inMemory"); // the working file on another filesystem: copied, not linked

        QTest::newRow("name taken") << QStringList{"split-0.mp4"} << "split-0.mp4" << "split-0 (2).mp4" << false;
        QTest::newRow("a gap is used") << QStringList{"split-0.mp4", "split-0 (3).mp4"} << "split-0.mp4"
                                       << "split-0 (2).mp4" << false;
        QTest::newRow("a folder of that name is not replaced") << QStringList{"split-0.mp4/"} << "split-0.mp4"
                                                               << "split-0 (2).mp4" << false;
        QTest::newRow("spaces and letters") << QStringList{} << QString::fromUtf8("Été à Kyōto.mp4")
                                            << QString::fromUtf8("Été à Kyōto.mp4") << false;
        QTest::newRow("across filesystems") << QStringList{"split-0.mp4"} << "split-0.mp4" << "split-0 (2).mp4" << true;
    }

    void imports()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, clip);
        QFETCH(QString, expected);
        QFETCH(bool, inMemory);

        const QString root = dir->filePath(QStringLiteral("Videos/Trimora"));
        QDir().mkpath(root);
        QMap<QString, QByteArray> before;
        for (const QString& name : existing) {
            if (name.endsWith(QLatin1Char('/'))) {
                QDir().mkpath(root + QLatin1Char('/') + name);
                continue;
            }
            QFile file(root + QLatin1Char('/') + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("the user's own " + name.toUtf8());
            file.close();
            before.insert(name, digest(file.fileName()));
        }

        QTemporaryDir memory(QStringLiteral("/dev/shm/trimora-test-XXXXXX"));
        QVERIFY2(!inMemory || memory.isValid(), "this row needs a writable /dev/shm");
        const QString working = workingCopy(inMemory ? memory.path() : dir->filePath(QStringLiteral("cache")),
                                            QStringLiteral("h264.mp4"), clip);
        QVERIFY(!working.isEmpty());
        const QByteArray clipDigest = digest(working);

        const Outcome<QString> placed = FolderVideoLibrary(root).importFile(working);
        QVERIFY2(placed.ok(), qPrintable(placed.error()));
        QCOMPARE(placed.value(), root + QLatin1Char('/') + expected);
        QCOMPARE(digest(placed.value()), clipDigest);
        // Nothing already there was touched.
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QCOMPARE(digest(root + QLatin1Char('/') + it.key()), it.value());
        // The working file is gone once the library holds the clip, and nothing else
        // appeared: no temporary or partial files.
        QVERIFY(!QFileInfo::exists(working));
        QCOMPARE(QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(),
                 existing.size() + 1);
    }

    void refusesWhatIsNotAVideo()
    {
        const QString root = dir->filePath(QStringLiteral("library"));
        const QString working = workingCopy(dir->filePath(QStringLiteral("cache")), QStringLiteral("notavideo.mp4"),
                                            QStringLiteral("split-0.mp4"));
        const Outcome<QString> placed = FolderVideoLibrary(root).importFile(working);
        QVERIFY(!placed.ok());
        // The message says what happened and where the clip is kept.
        QVERIFY2(placed.error().contains(QStringLiteral("split-0.mp4")), qPrintable(placed.error()));
        QVERIFY2(placed.error().contains(working), qPrintable(placed.error()));
        QVERIFY(QFileInfo::exists(working));
        QVERIFY(!QFileInfo::exists(root + QStringLiteral("/split-0.mp4")));
    }

    void racingImportsKeepEveryClip()
    {
        const QString root = dir->filePath(QStringLiteral("library"));
        constexpr int COUNT = 6;
        QStringList working;
        for (int i = 0; i < COUNT; ++i)
            working << workingCopy(dir->filePath(QStringLiteral("cache")), QStringLiteral("videoonly.mp4"), QStringLiteral("split-0.mp4"));

        std::vector<std::optional<Outcome<QString>>> results(COUNT);
        std::vector<std::thread> threads;
        for (int i = 0; i < COUNT; ++i)
            threads.emplace_back([&, i] { results[size_t(i)] = FolderVideoLibrary(root).importFile(working[i]); });
        for (std::thread& thread : threads)
            thread.join();

        QSet<QString> placed;
        for (const auto& result : results) {
            QVERIFY(result && result->ok());
            placed.insert(QFileInfo(result->value()).fileName());
        }
        QCOMPARE(placed.size(), COUNT);
        QCOMPARE(QDir(root).entryList(QDir::Files).size(), COUNT);
    }

    void addVideoAnswersOnTheMainThread()
    {
        const QString root = dir->filePath(QStringLiteral("library"));
        const QString working = workingCopy(dir->filePath(QStringLiteral("cache")), QStringLiteral("h264.mp4"), QStringLiteral("split-3.mp4"));
        FolderVideoLibrary library(root);
        std::optional<Outcome<QString>> answer;
        bool onMain = false;
        library.addVideo(working, [&](const Outcome<QString>& result) {
            onMain = QThread::currentThread() == QCoreApplication::instance()->thread();
            answer = result;
        });
        QVERIFY(!answer.has_value()); // it returned before the work was done
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 10000);
        QVERIFY(onMain);
        QVERIFY2(answer->ok(), qPrintable(answer->error()));
        QVERIFY(QFileInfo::exists(root + QStringLiteral("/split-3.mp4")));
    }

private:
    std::unique_ptr<QTemporaryDir> dir;
};

QTEST_GUILESS_MAIN(TestFolderLibrary)
#include "tst_folderlibrary.moc"
