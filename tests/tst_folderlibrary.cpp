#include <ctime>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "FolderVideoLibrary.h"
#include "MediaOracle.h"

namespace {

// A clip as the cutter leaves it: the fixture's bytes in a working file of the library.
// A working file holding a fixture, or its first `bytes`.
std::unique_ptr<VideoLibrary::WorkingFile> workingCopy(VideoLibrary& library, const QString& fixtureName,
                                                       qint64 bytes = -1)
{
    Outcome<std::unique_ptr<VideoLibrary::WorkingFile>> made = library.createWorkingFile();
    QFile source(fixture(fixtureName));
    if (!made || !source.open(QIODevice::ReadOnly))
        return nullptr;
    const QByteArray content = source.readAll().left(bytes < 0 ? source.size() : bytes);
    QFile target;
    if (!target.open(made.value()->descriptor(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle)
        || target.write(content) != content.size() || !target.flush())
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

    void refusesWhatIsNotAVideo_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<qint64>("bytes"); // how much of it, -1: all

        QTest::newRow("not a video") << "notavideo.mp4" << qint64(-1);
        // Its index, at the front, says everything about it; its first picture does not
        // decode, for it is not there.
        QFile front(fixture(QStringLiteral("front.mp4")));
        QVERIFY(front.open(QIODevice::ReadOnly));
        QTest::newRow("pictures cut off after the index") << "front.mp4" << front.readAll().indexOf("mdat") + 40;
    }

    void refusesWhatIsNotAVideo()
    {
        QFETCH(QString, file);
        QFETCH(qint64, bytes);

        const QString root = dir->filePath(QStringLiteral("library"));
        FolderVideoLibrary library(root);
        QVERIFY(library.prepare(0));
        std::unique_ptr<VideoLibrary::WorkingFile> working = workingCopy(library, file, bytes);
        QVERIFY(working);
        const Outcome<QString> placed = working->publish(QStringLiteral("split-0.mp4"));
        QVERIFY(!placed.ok());
        QVERIFY2(placed.error().contains(QStringLiteral("split-0.mp4")), qPrintable(placed.error()));
        working.reset();
        QCOMPARE(everything(root), QStringList());
    }

    void onlyItsOwnLeftoversAreRemoved_data()
    {
        QTest::addColumn<QString>("name"); // MACHINE: 32 hex digits
        QTest::addColumn<QString>("what"); // what is there under that name
        QTest::addColumn<bool>("removed");

        const QString part = QStringLiteral(".trimora-MACHINE-4242-a1b2c3d4.part");
        QTest::newRow("a working file whose writer is gone") << part << "file" << true;
        // Its lock is held wherever the writer runs: another PID namespace, a container,
        // another machine sharing the folder.
        QTest::newRow("a working file whose writer runs") << part << "locked" << false;
        // A laptop asleep over a weekend: the lock still says it runs.
        QTest::newRow("its writer asleep for two days") << part << "locked old file" << false;
        QTest::newRow("another user's") << part << "other user" << false;
        QTest::newRow("a pipe of that name") << part << "fifo" << false;
        QTest::newRow("a link of that name") << part << "link" << false;
        QTest::newRow("a folder of that name") << part << "folder" << false;
        // Made and never locked: its writer was killed between the two (or is there this
        // moment, and claims another name when it finds it gone). Once locked, it lives.
        const QString claim = QStringLiteral(".trimora-MACHINE-4242-a1b2c3d4.new");
        QTest::newRow("a file made and never locked") << claim << "file" << true;
        QTest::newRow("a file being made") << claim << "locked" << false;
        QTest::newRow("not one of ours") << ".trimora-notes.part" << "file" << false;
        QTest::newRow("a process field with a space") << ".trimora-MACHINE- 999995-a1b2c3d4.part" << "file" << false;
        QTest::newRow("a process field with a sign") << ".trimora-MACHINE-+999994-a1b2c3d4.part" << "file" << false;
        QTest::newRow("no random field") << ".trimora-MACHINE-4242-.part" << "file" << false;
        QTest::newRow("a host name for a machine") << ".trimora-vm-4242-123456-a1.part" << "file" << false;
    }

    void onlyItsOwnLeftoversAreRemoved()
    {
        QFETCH(QString, name);
        QFETCH(QString, what);
        QFETCH(bool, removed);

        const QString root = dir->filePath(QStringLiteral("library"));
        QDir().mkpath(root);
        const QString path = root + QLatin1Char('/') + name.replace(QStringLiteral("MACHINE"), QString(32, QLatin1Char('7')));
        const QByteArray bytes = QFile::encodeName(path);
        // What a link or a folder of that name leads to: the user's own, never touched.
        const QString elsewhere = dir->filePath(QStringLiteral("mine"));
        QDir().mkpath(elsewhere);
        QFile own(elsewhere + QStringLiteral("/notes.txt"));
        QVERIFY(own.open(QIODevice::WriteOnly) && own.write("mine") == 4);
        own.close();
        int held = -1;
        if (what == QLatin1String("fifo")) {
            QVERIFY(::mkfifo(bytes.constData(), 0600) == 0);
        } else if (what == QLatin1String("link")) {
            QVERIFY(QFile::link(own.fileName(), path));
        } else if (what == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(path) && QFile::copy(own.fileName(), path + QStringLiteral("/notes.txt")));
        } else {
            held = ::open(bytes.constData(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
            QVERIFY(held >= 0);
            if (what.startsWith(QLatin1String("locked"))) {
                struct flock whole {};
                whole.l_type = F_WRLCK;
                QVERIFY(::fcntl(held, F_OFD_SETLK, &whole) == 0);
            } else if (what == QLatin1String("other user")) {
                if (::geteuid() != 0)
                    QSKIP("only root can give a file to another user");
                QVERIFY(::fchown(held, 65534, 65534) == 0);
            }
            if (what.endsWith(QLatin1String("old file"))) {
                const struct timespec twoDaysAgo[2] = {{std::time(nullptr) - 2 * 86400, 0}, {std::time(nullptr) - 2 * 86400, 0}};
                QVERIFY(::futimens(held, twoDaysAgo) == 0);
            }
            if (!what.startsWith(QLatin1String("locked"))) {
                ::close(held);
                held = -1;
            }
        }
        QVERIFY(FolderVideoLibrary(root).prepare(0));
        if (held >= 0)
            ::close(held);
        struct stat info {};
        QCOMPARE(::lstat(bytes.constData(), &info) != 0, removed);
        // Nothing a link or a folder leads to is touched.
        QCOMPARE(digest(own.fileName()), QCryptographicHash::hash("mine", QCryptographicHash::Sha256));
        if (what == QLatin1String("folder"))
            QVERIFY(QFileInfo::exists(path + QStringLiteral("/notes.txt")));
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
