#include <thread>

#include <unistd.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "FolderVideoLibrary.h"
#include "MediaOracle.h"

namespace {

// A clip as the cutter leaves it: the fixture's bytes, written into a working file of
// the library.
std::unique_ptr<VideoLibrary::WorkingFile> workingCopy(VideoLibrary& library, const QString& fixtureName)
{
    Outcome<std::unique_ptr<VideoLibrary::WorkingFile>> made = library.createWorkingFile();
    if (!made)
        return nullptr;
    QFile source(fixture(fixtureName));
    QFile target(made.value()->path());
    if (!source.open(QIODevice::ReadOnly) || !target.open(QIODevice::WriteOnly))
        return nullptr;
    target.write(source.readAll());
    return std::move(made).value();
}

QStringList everything(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

} // namespace

class TestFolderLibrary : public QObject {
    Q_OBJECT

private slots:
    void init();
    void imports_data();
    void imports();
    void refusesWhatIsNotAVideo_data();
    void refusesWhatIsNotAVideo();
    void leftoversOfGoneProcesses_data();
    void leftoversOfGoneProcesses();
    void racingPublishesKeepEveryClip();
    void stopRemovesWorkingFiles();
    void defaultFolderIsInTheVideosFolder();

private:
    std::unique_ptr<QTemporaryDir> dir;
};

void TestFolderLibrary::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestFolderLibrary::imports_data()
{
    QTest::addColumn<QStringList>("existing"); // names already in the library
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty library") << QStringList{} << "split-0.mp4" << "split-0.mp4";
    QTest::newRow("name taken") << QStringList{"split-0.mp4"} << "split-0.mp4" << "split-0 (2).mp4";
    QTest::newRow("several taken") << QStringList{"split-0.mp4", "split-0 (2).mp4", "split-0 (3).mp4"}
                                   << "split-0.mp4" << "split-0 (4).mp4";
    QTest::newRow("a gap is used") << QStringList{"split-0.mp4", "split-0 (3).mp4"} << "split-0.mp4"
                                   << "split-0 (2).mp4";
    QTest::newRow("other extension does not clash") << QStringList{"split-0.mov"} << "split-0.mp4" << "split-0.mp4";
    QTest::newRow("a folder of that name is not replaced") << QStringList{"split-0.mp4/"} << "split-0.mp4"
                                                           << "split-0 (2).mp4";
    QTest::newRow("spaces and letters") << QStringList{} << QString::fromUtf8("Été à Kyōto.mp4")
                                        << QString::fromUtf8("Été à Kyōto.mp4");
}

void TestFolderLibrary::imports()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, clip);
    QFETCH(QString, expected);

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

    FolderVideoLibrary library(root);
    QVERIFY(library.prepare(0));
    std::unique_ptr<VideoLibrary::WorkingFile> working = workingCopy(library, QStringLiteral("h264.mp4"));
    QVERIFY(working);
    const QByteArray clipDigest = digest(fixture(QStringLiteral("h264.mp4")));

    const Outcome<QString> placed = working->publish(clip);
    QVERIFY2(placed.ok(), qPrintable(placed.error()));
    QCOMPARE(placed.value(), root + QLatin1Char('/') + expected);
    QCOMPARE(digest(placed.value()), clipDigest);
    // Nothing already there was touched.
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QCOMPARE(digest(root + QLatin1Char('/') + it.key()), it.value());
    // And nothing else appeared: no temporary or partial files.
    working.reset();
    QCOMPARE(everything(root).size(), existing.size() + 1);
}

void TestFolderLibrary::refusesWhatIsNotAVideo_data()
{
    QTest::addColumn<QString>("fixtureName");
    QTest::newRow("text named .mp4") << "notavideo.mp4";
    QTest::newRow("empty file") << "empty.mp4";
    QTest::newRow("sound only") << "audioonly.m4a";
}

void TestFolderLibrary::refusesWhatIsNotAVideo()
{
    QFETCH(QString, fixtureName);

    const QString root = dir->filePath(QStringLiteral("library"));
    FolderVideoLibrary library(root);
    QVERIFY(library.prepare(0));
    std::unique_ptr<VideoLibrary::WorkingFile> working = workingCopy(library, fixtureName);
    QVERIFY(working);
    const Outcome<QString> placed = working->publish(QStringLiteral("split-0.mp4"));
    QVERIFY(!placed.ok());
    QVERIFY2(placed.error().contains(QStringLiteral("split-0.mp4")), qPrintable(placed.error()));
    working.reset();
    QCOMPARE(everything(root), QStringList());
}

void TestFolderLibrary::leftoversOfGoneProcesses_data()
{
    QTest::addColumn<QString>("owner"); // whose working file it is
    QTest::addColumn<bool>("removed");

    QTest::newRow("a process that is gone") << "gone" << true;
    QTest::newRow("a process that runs") << "running" << false;
    QTest::newRow("a process that took a gone one's id") << "id reused" << true;
    QTest::newRow("a process on another machine") << "other host" << false;
    QTest::newRow("not one of ours") << "user" << false;
}

void TestFolderLibrary::leftoversOfGoneProcesses()
{
    QFETCH(QString, owner);
    QFETCH(bool, removed);

    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    const QString tag = QString::fromLatin1(host).remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9]"))).left(24);
    QFile stat(QStringLiteral("/proc/self/stat"));
    QVERIFY(stat.open(QIODevice::ReadOnly));
    const QString started = QString::fromLatin1(stat.readAll()).section(QLatin1Char(')'), 1).simplified().section(QLatin1Char(' '), 19, 19);
    // Above the largest process id Linux gives: no process has it.
    constexpr qint64 GONE = 4194304 + 17;
    QString name;
    if (owner == QLatin1String("gone"))
        name = QStringLiteral(".trimora-%1-%2-%3-a1.part").arg(tag).arg(GONE).arg(started);
    else if (owner == QLatin1String("running"))
        name = QStringLiteral(".trimora-%1-%2-%3-a1.part").arg(tag).arg(::getpid()).arg(started);
    else if (owner == QLatin1String("id reused"))
        name = QStringLiteral(".trimora-%1-%2-%3-a1.part").arg(tag).arg(::getpid()).arg(started.toULongLong() + 1);
    else if (owner == QLatin1String("other host"))
        name = QStringLiteral(".trimora-%1x-%2-%3-a1.part").arg(tag).arg(GONE).arg(started);
    else
        name = QStringLiteral(".trimora-notes.part");

    const QString root = dir->filePath(QStringLiteral("library"));
    QDir().mkpath(root);
    QFile leftover(root + QLatin1Char('/') + name);
    QVERIFY(leftover.open(QIODevice::WriteOnly));
    leftover.write("half a clip");
    leftover.close();
    QVERIFY(FolderVideoLibrary(root).prepare(0));
    QCOMPARE(QFileInfo::exists(leftover.fileName()), !removed);
}

void TestFolderLibrary::racingPublishesKeepEveryClip()
{
    const QString root = dir->filePath(QStringLiteral("library"));
    constexpr int COUNT = 6;
    FolderVideoLibrary library(root);
    QVERIFY(library.prepare(0));
    std::vector<std::unique_ptr<VideoLibrary::WorkingFile>> working;
    for (int i = 0; i < COUNT; ++i)
        working.push_back(workingCopy(library, QStringLiteral("videoonly.mp4")));

    std::vector<std::optional<Outcome<QString>>> results(COUNT);
    std::vector<std::thread> threads;
    for (int i = 0; i < COUNT; ++i)
        threads.emplace_back([&, i] { results[size_t(i)] = working[size_t(i)]->publish(QStringLiteral("split-0.mp4")); });
    for (std::thread& thread : threads)
        thread.join();

    QSet<QString> placed;
    for (const auto& result : results) {
        QVERIFY(result && result->ok());
        placed.insert(QFileInfo(result->value()).fileName());
    }
    QCOMPARE(placed.size(), COUNT);
    working.clear();
    QCOMPARE(everything(root).size(), COUNT);
}

void TestFolderLibrary::stopRemovesWorkingFiles()
{
    const QString root = dir->filePath(QStringLiteral("library"));
    FolderVideoLibrary library(root);
    QVERIFY(library.prepare(0));
    std::unique_ptr<VideoLibrary::WorkingFile> working = workingCopy(library, QStringLiteral("h264.mp4"));
    QVERIFY(working);
    library.stop();
    // Nothing is published after a stop, nothing new is begun, and nothing stays.
    QVERIFY(!working->publish(QStringLiteral("split-0.mp4")));
    QVERIFY(!library.createWorkingFile());
    working.reset();
    QCOMPARE(everything(root), QStringList());
}

void TestFolderLibrary::defaultFolderIsInTheVideosFolder()
{
    // The test's environment gives it a home of its own.
    const QString folder = FolderVideoLibrary::defaultFolder();
    QVERIFY2(folder.startsWith(qEnvironmentVariable("HOME") + QLatin1Char('/')), qPrintable(folder));
    QVERIFY(folder.endsWith(QStringLiteral("/Trimora")));
}

QTEST_GUILESS_MAIN(TestFolderLibrary)
#include "tst_folderlibrary.moc"
