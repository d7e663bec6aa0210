#include <thread>

#include <unistd.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "FolderVideoLibrary.h"
#include "MediaOracle.h"

namespace {

// A clip as the cutter leaves it: the fixture's bytes in a working file of the library.
std::unique_ptr<VideoLibrary::WorkingFile> workingCopy(VideoLibrary& library, const QString& fixtureName)
{
    Outcome<std::unique_ptr<VideoLibrary::WorkingFile>> made = library.createWorkingFile();
    QFile source(fixture(fixtureName));
    if (!made || !source.open(QIODevice::ReadOnly))
        return nullptr;
    QFile target(made.value()->path());
    if (!target.open(QIODevice::WriteOnly) || target.write(source.readAll()) != source.size())
        return nullptr;
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
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }

    void publishes_data()
    {
        QTest::addColumn<QStringList>("existing"); // names already in the library
        QTest::addColumn<QString>("clip");
        QTest::addColumn<QString>("expected");

        QTest::newRow("name taken") << QStringList{"split-0.mp4"} << "split-0.mp4" << "split-0 (2).mp4";
        QTest::newRow("a gap is used") << QStringList{"split-0.mp4", "split-0 (3).mp4"} << "split-0.mp4"
                                       << "split-0 (2).mp4";
        QTest::newRow("a folder of that name is not replaced") << QStringList{"split-0.mp4/"} << "split-0.mp4"
                                                               << "split-0 (2).mp4";
        QTest::newRow("spaces and letters") << QStringList{} << QString::fromUtf8("Été à Kyōto.mp4")
                                            << QString::fromUtf8("Été à Kyōto.mp4");
    }

    void publishes()
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
        const Outcome<QString> placed = working->publish(clip);
        QVERIFY2(placed.ok(), qPrintable(placed.error()));
        QCOMPARE(placed.value(), root + QLatin1Char('/') + expected);
        QCOMPARE(digest(placed.value()), digest(fixture(QStringLiteral("h264.mp4"))));
        // Nothing already there was touched, and nothing else appeared.
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QCOMPARE(digest(root + QLatin1Char('/') + it.key()), it.value());
        working.reset();
        QCOMPARE(everything(root).size(), existing.size() + 1);
    }

    void refusesWhatIsNotAVideo()
    {
        const QString root = dir->filePath(QStringLiteral("library"));
        FolderVideoLibrary library(root);
        QVERIFY(library.prepare(0));
        std::unique_ptr<VideoLibrary::WorkingFile> working = workingCopy(library, QStringLiteral("notavideo.mp4"));
        QVERIFY(working);
        const Outcome<QString> placed = working->publish(QStringLiteral("split-0.mp4"));
        QVERIFY(!placed.ok());
        QVERIFY2(placed.error().contains(QStringLiteral("split-0.mp4")), qPrintable(placed.error()));
        working.reset();
        QCOMPARE(everything(root), QStringList());
    }

    void leftoversOfGoneProcesses_data()
    {
        QTest::addColumn<QString>("owner"); // whose working file it is
        QTest::addColumn<bool>("removed");

        QTest::newRow("a process that is gone") << "gone" << true;
        QTest::newRow("a process that runs") << "running" << false;
        QTest::newRow("a later process with a gone one's id") << "id reused" << true;
        QTest::newRow("a process on another machine") << "other host" << false;
        QTest::newRow("not one of ours") << "user" << false;
    }

    void leftoversOfGoneProcesses()
    {
        QFETCH(QString, owner);
        QFETCH(bool, removed);

        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        const QString tag = QString::fromLatin1(host).remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9]"))).left(24);
        QFile stat(QStringLiteral("/proc/self/stat"));
        QVERIFY(stat.open(QIODevice::ReadOnly));
        // The 22nd field, the 20th after the command's name: when this process started.
        const qulonglong started = QString::fromLatin1(stat.readAll()).section(QLatin1Char(')'), 1).simplified()
                                       .section(QLatin1Char(' '), 19, 19).toULongLong();
        constexpr qint64 GONE = 4194304 + 17; // above the largest process id Linux gives
        const QMap<QString, QString> names{
            {"gone", QStringLiteral(".trimora-%1-%2-%3-a1.part").arg(tag).arg(GONE).arg(started)},
            {"running", QStringLiteral(".trimora-%1-%2-%3-a1.part").arg(tag).arg(::getpid()).arg(started)},
            {"id reused", QStringLiteral(".trimora-%1-%2-%3-a1.part").arg(tag).arg(::getpid()).arg(started + 1)},
            {"other host", QStringLiteral(".trimora-%1x-%2-%3-a1.part").arg(tag).arg(GONE).arg(started)},
            {"user", QStringLiteral(".trimora-notes.part")}};

        const QString root = dir->filePath(QStringLiteral("library"));
        QDir().mkpath(root);
        QFile leftover(root + QLatin1Char('/') + names.value(owner));
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.close();
        QVERIFY(FolderVideoLibrary(root).prepare(0));
        QCOMPARE(QFileInfo::exists(leftover.fileName()), !removed);
    }

    void racingPublishesKeepEveryClip()
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

        // After a stop nothing more is begun or named, and nothing is left behind.
        std::unique_ptr<VideoLibrary::WorkingFile> late = workingCopy(library, QStringLiteral("h264.mp4"));
        QVERIFY(late);
        library.stop();
        QVERIFY(!late->publish(QStringLiteral("split-1.mp4")));
        QVERIFY(!library.createWorkingFile());
        late.reset();
        QCOMPARE(everything(root).size(), COUNT);
    }

private:
    std::unique_ptr<QTemporaryDir> dir;
};

QTEST_GUILESS_MAIN(TestFolderLibrary)
#include "tst_folderlibrary.moc"
