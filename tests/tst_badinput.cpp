#include <csignal>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include "MediaOracle.h"
#include "MediaProbe.h"

// Bad input and faults, through the command line, as a user meets them: a message a
// person understands, an exit status that says it failed, nothing partial or empty
// left in the library, nothing already there changed, and no crash.
namespace {

struct Run {
    int exitCode = -1;
    bool crashed = false;
    QString out;
    QString err;
};

bool isRoot()
{
    return ::geteuid() == 0;
}

} // namespace

class TestBadInput : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void badInput_data();
    void badInput();
    void sourceChangedDuringTheExport_data();
    void sourceChangedDuringTheExport();
    void interrupted_data();
    void interrupted();
    void racingExportsOnExfat();

private:
    Run trimora(const QStringList& arguments, const QString& shellPrefix = QString(), bool asNobody = false);
    void checkLibrary(const QString& library, const QByteArray& skip = QByteArray());
    QString mountExfat();
    void checkCacheIsEmpty();

    std::unique_ptr<QTemporaryDir> dir;
    QString mounted;
    QString loopDevice;
};

void TestBadInput::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    // Others may pass through, for the rows run as an unprivileged user.
    QFile::setPermissions(dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                           | QFileDevice::ReadOther | QFileDevice::ExeOther | QFileDevice::ReadGroup
                                           | QFileDevice::ExeGroup);
}

void TestBadInput::cleanup()
{
    if (!mounted.isEmpty()) {
        ::umount(QFile::encodeName(mounted).constData());
        mounted.clear();
    }
    if (!loopDevice.isEmpty()) {
        QProcess::execute(QStringLiteral("losetup"), {QStringLiteral("-d"), loopDevice});
        loopDevice.clear();
    }
}

Run TestBadInput::trimora(const QStringList& arguments, const QString& shellPrefix, bool asNobody)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString cache = dir->filePath(QStringLiteral("cache"));
    QDir().mkpath(cache);
    QFile::setPermissions(cache, QFileDevice::Permissions(0x7777));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
    process.setProcessEnvironment(environment);
    QString binary = qEnvironmentVariable("TRIMORA_BINARY");
    if (asNobody && isRoot()) {
        // The checkout may sit in a folder only root can enter: the unprivileged user
        // gets its own copy of the program, in the test's folder.
        const QString copy = dir->filePath(QStringLiteral("trimora"));
        if (!QFileInfo::exists(copy))
            QFile::copy(binary, copy);
        QFile::setPermissions(copy, QFileDevice::Permissions(0x7555));
        binary = copy;
    }
    QStringList command{binary};
    command += arguments;
    QString script;
    for (const QString& part : command)
        script += QLatin1Char('\'') + QString(part).replace(QLatin1Char('\''), QStringLiteral("'\\''")) + QStringLiteral("' ");
    QStringList launcher{QStringLiteral("bash"), QStringLiteral("-c"), shellPrefix + QStringLiteral("exec ") + script};
    if (asNobody && isRoot()) {
        // Root writes wherever it likes; a user's permissions need a user.
        launcher = QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                               QStringLiteral("--clear-groups"), QStringLiteral("--")} + launcher;
    }
    process.start(launcher.takeFirst(), launcher);
    process.waitForFinished(120000);
    Run run;
    run.crashed = process.exitStatus() != QProcess::NormalExit;
    run.exitCode = run.crashed ? -1 : process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// Whatever is in the library is a whole, readable video under a final name; nothing
// hidden, nothing empty. (The lock file for naming clips stays, empty.)
void TestBadInput::checkLibrary(const QString& library, const QByteArray& skip)
{
    for (const QFileInfo& entry : QDir(library).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (!skip.isEmpty() && digest(entry.filePath()) == skip)
            continue; // the user's own file, checked separately
        if (entry.fileName() == QLatin1String(".trimora.lock"))
            continue;
        QVERIFY2(!entry.fileName().startsWith(QLatin1Char('.')), qPrintable(entry.fileName()));
        QVERIFY2(entry.size() > 0, qPrintable(entry.fileName()));
        const Outcome<VideoInfo> info = probeVideo(entry.filePath());
        QVERIFY2(info.ok(), qPrintable(entry.fileName() + QStringLiteral(": ") + info.error()));
    }
}

// What the program leaves in its cache: nothing, ever.
void TestBadInput::checkCacheIsEmpty()
{
    QDirIterator cached(dir->filePath(QStringLiteral("cache")), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QVERIFY2(!cached.hasNext(), qPrintable(cached.hasNext() ? cached.next() : QString()));
}

// An exFAT disk over FUSE, as on a camera's card or a USB stick: no unnamed files, no
// hard links, no rename that refuses to replace. Empty when it cannot be had here.
QString TestBadInput::mountExfat()
{
    if (!isRoot())
        return {};
    const QString image = dir->filePath(QStringLiteral("exfat.img"));
    const QString point = dir->filePath(QStringLiteral("stick"));
    QDir().mkpath(point);
    if (QProcess::execute(QStringLiteral("truncate"), {QStringLiteral("-s"), QStringLiteral("64M"), image}) != 0
        || QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("mkfs.exfat \"$0\" >/dev/null"), image}) != 0)
        return {};
    // Run as root, the FUSE driver wants a block device: a loop device over the image.
    QProcess losetup;
    losetup.start(QStringLiteral("losetup"), {QStringLiteral("-f"), QStringLiteral("--show"), image});
    losetup.waitForFinished();
    const QString device = QString::fromUtf8(losetup.readAllStandardOutput()).trimmed();
    if (losetup.exitCode() != 0 || device.isEmpty())
        return {};
    loopDevice = device;
    if (QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("mount.exfat-fuse \"$0\" \"$1\" >/dev/null 2>&1"), device, point}) != 0)
        return {};
    mounted = point;
    return point;
}

void TestBadInput::badInput_data()
{
    QTest::addColumn<QString>("source");  // a fixture, or a name made below
    QTest::addColumn<QString>("library"); // how the library is set up
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("words");   // in the output or the messages

    QTest::newRow("not a video") << "notavideo.mp4" << "fresh" << 2 << "Could not read video 'notavideo.mp4'";
    QTest::newRow("zero-byte file") << "empty.mp4" << "fresh" << 2 << "Could not read video 'empty.mp4'";
    QTest::newRow("cut off at half its size") << "truncated.mp4" << "fresh" << 1 << "ends early";
    QTest::newRow("cut off inside its last clip") << "late end" << "fresh" << 1 << "split-2: failed: ";
    QTest::newRow("a named pipe") << "fifo" << "fresh" << 2 << "a pipe cannot be read twice";
    QTest::newRow("a pipe from the shell") << "shell pipe" << "fresh" << 2 << "a pipe cannot be read twice";
    QTest::newRow("a device") << "/dev/zero" << "fresh" << 2 << "it is a device";
    QTest::newRow("sound only") << "audioonly.m4a" << "fresh" << 2 << "it has no video track";
    QTest::newRow("a format MP4 cannot carry") << "theora.mkv" << "fresh" << 1 << "theora";
    QTest::newRow("no presentation times") << "h264.avi" << "fresh" << 1 << "no presentation times";
    QTest::newRow("spaces, letters and a newline in the name") << "odd name" << "fresh" << 0 << "\\n";
    QTest::newRow("library folder missing") << "h264.mp4" << "missing" << 0 << "split-2.mp4";
    QTest::newRow("library already holds split-0") << "h264.mp4" << "taken" << 0 << "split-0 (2).mp4";
    QTest::newRow("library read-only") << "h264.mp4" << "read-only" << 2 << "Permission denied";
    QTest::newRow("library is a file") << "h264.mp4" << "a file" << 2 << "it is not a folder";
    QTest::newRow("library on a full disk") << "h264.mp4" << "full" << 2 << "not enough space";
}

void TestBadInput::badInput()
{
    QFETCH(QString, source);
    QFETCH(QString, library);
    QFETCH(int, exitCode);
    QFETCH(QString, words);

    QString video = fixture(source);
    if (source == QLatin1String("odd name")) {
        const QString folder = dir->filePath(QString::fromUtf8("Été à Kyōto"));
        QDir().mkpath(folder);
        video = folder + QString::fromUtf8("/mon film\nd'été.mp4");
        QVERIFY(QFile::copy(fixture(QStringLiteral("h264.mp4")), video));
    }
    QString libraryPath = dir->filePath(QStringLiteral("library"));
    QString prefix;
    if (source == QLatin1String("late end")) {
        QFile whole(fixture(QStringLiteral("front.mp4")));
        QVERIFY(whole.open(QIODevice::ReadOnly));
        video = dir->filePath(QStringLiteral("late end.mp4"));
        QFile cut(video);
        QVERIFY(cut.open(QIODevice::WriteOnly));
        cut.write(whole.read(whole.size() * 85 / 100));
    } else if (source == QLatin1String("fifo")) {
        // Opening it would wait for a writer that never comes.
        video = dir->filePath(QStringLiteral("pipe.mp4"));
        QVERIFY(::mkfifo(QFile::encodeName(video).constData(), 0644) == 0);
    } else if (source == QLatin1String("shell pipe")) {
        prefix = QStringLiteral("exec 3< <(cat '%1'); ").arg(fixture(QStringLiteral("h264.mp4")));
        video = QStringLiteral("/dev/fd/3");
    } else if (source.startsWith(QLatin1Char('/'))) {
        video = source;
    }
    bool asNobody = false;
    QByteArray mine;
    if (library == QLatin1String("missing")) {
        libraryPath = dir->filePath(QStringLiteral("not/yet/there"));
    } else if (library == QLatin1String("taken")) {
        QDir().mkpath(libraryPath);
        QFile taken(libraryPath + QStringLiteral("/split-0.mp4"));
        QVERIFY(taken.open(QIODevice::WriteOnly));
        taken.write("a video of mine");
        taken.close();
        mine = digest(taken.fileName());
    } else if (library == QLatin1String("read-only")) {
        // A copy the unprivileged user can read, wherever the fixtures are.
        video = dir->filePath(QStringLiteral("video.mp4"));
        QVERIFY(QFile::copy(fixture(source), video));
        QFile::setPermissions(video, QFileDevice::Permissions(0x4444));
        QDir().mkpath(libraryPath);
        QFile::setPermissions(libraryPath, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                               | QFileDevice::ExeOther);
        asNobody = true;
    } else if (library == QLatin1String("a file")) {
        QFile blocker(libraryPath);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    } else if (library == QLatin1String("full")) {
        QDir().mkpath(libraryPath);
        if (isRoot()) {
            // A disk of 300 KiB: the working files are on another, so each clip must be
            // copied in, and none fits whole.
            QVERIFY(::mount("tmpfs", QFile::encodeName(libraryPath).constData(), "tmpfs", 0, "size=300k") == 0);
            mounted = libraryPath;
        } else {
            // The disk has room; the limit is met while writing.
            prefix = QStringLiteral("ulimit -f 300; ");
            words = QStringLiteral("File too large");
            exitCode = 1;
        }
    }

    const Run run = trimora({QStringLiteral("split"), video, QStringLiteral("--at"), QStringLiteral("3.33"),
                             QStringLiteral("--at"), QStringLiteral("6.71"), QStringLiteral("--library"), libraryPath},
                            prefix, asNobody);
    QVERIFY2(!run.crashed, qPrintable(run.err));
    QVERIFY2(run.exitCode == exitCode, qPrintable(QStringLiteral("exit %1\n%2%3").arg(run.exitCode).arg(run.out, run.err)));
    QVERIFY2((run.out + run.err).contains(words), qPrintable(run.out + run.err));
    checkLibrary(libraryPath, mine);
    if (!mine.isEmpty())
        QCOMPARE(digest(libraryPath + QStringLiteral("/split-0.mp4")), mine);
    // Refused before anything was cut: nothing in the library, nothing anywhere else.
    if (exitCode == 2) {
        QVERIFY(!QFileInfo(libraryPath).isDir() || QDir(libraryPath).isEmpty());
        QVERIFY(!run.err.contains(QStringLiteral("Cutting")));
    }
}

void TestBadInput::sourceChangedDuringTheExport_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("deleted") << "rm -f";
    QTest::newRow("cut to half its size") << "truncate -s 50%";
}

void TestBadInput::sourceChangedDuringTheExport()
{
    QFETCH(QString, change);
    // Many clips, so that some are still waiting when the source changes.
    const QString video = dir->filePath(QStringLiteral("source.mp4"));
    QVERIFY(QFile::copy(fixture(QStringLiteral("h264.mp4")), video));
    const QString library = dir->filePath(QStringLiteral("library"));
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), dir->filePath(QStringLiteral("cache")));
    process.setProcessEnvironment(environment);
    process.start(qEnvironmentVariable("TRIMORA_BINARY"),
                  {QStringLiteral("split"), video, QStringLiteral("--parts"), QStringLiteral("40"),
                   QStringLiteral("--library"), library});
    QVERIFY(process.waitForStarted());
    // Once the cuts have started, change the source under them.
    process.setReadChannel(QProcess::StandardError);
    QByteArray said;
    while (!said.contains("Cutting") && process.waitForReadyRead(20000))
        said += process.readAllStandardError();
    QVERIFY2(said.contains("Cutting"), said.constData());
    QProcess::execute(QStringLiteral("bash"), {QStringLiteral("-c"), change + QStringLiteral(" '") + video + QLatin1Char('\'')});
    QVERIFY(process.waitForFinished(120000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    // Each clip is either in the library or reported as failed, with a reason.
    const QStringList lines = out.trimmed().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 40);
    int failed = 0;
    for (const QString& line : lines) {
        if (line.contains(QStringLiteral(": failed: "))) {
            ++failed;
            QVERIFY2(line.section(QStringLiteral(": failed: "), 1).size() > 10, qPrintable(line));
        } else {
            QVERIFY2(QFileInfo::exists(line.section(QStringLiteral(": "), 1)), qPrintable(line));
        }
    }
    QCOMPARE(process.exitCode(), failed > 0 ? 1 : 0);
    checkLibrary(library);
}

void TestBadInput::interrupted_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<bool>("onExfat"); // else the test's own disk, which has unnamed files
    QTest::addColumn<int>("exitCode");

    QTest::newRow("Ctrl+C") << int(SIGINT) << false << 130;
    QTest::newRow("SIGTERM, on exFAT") << int(SIGTERM) << true << 143;
    QTest::newRow("a closed terminal") << int(SIGHUP) << false << 129;
    QTest::newRow("kill -9, on exFAT") << int(SIGKILL) << true << -1;
    QTest::newRow("kill -9") << int(SIGKILL) << false << -1;
}

void TestBadInput::interrupted()
{
    QFETCH(int, signalNumber);
    QFETCH(bool, onExfat);
    QFETCH(int, exitCode);

    QString library = dir->filePath(QStringLiteral("library"));
    if (onExfat) {
        const QString stick = mountExfat();
        if (stick.isEmpty())
            QSKIP("exFAT over FUSE cannot be mounted here (it needs root, exfat-fuse, exfatprogs and a loop device)");
        library = stick + QStringLiteral("/Trimora");
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), dir->filePath(QStringLiteral("cache")));
    // A kill can come at any point: a few, each at a point of its own.
    for (int round = 0; round < (signalNumber == SIGKILL ? 3 : 1); ++round) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(qEnvironmentVariable("TRIMORA_BINARY"), {QStringLiteral("split"), fixture(QStringLiteral("h264.mp4")),
                                                               QStringLiteral("--every"), QStringLiteral("0.1"),
                                                               QStringLiteral("--library"), library});
        QVERIFY(process.waitForStarted());
        QByteArray said;
        while (!said.contains("Cutting") && process.waitForReadyRead(20000))
            said += process.readAllStandardError();
        QTest::qWait(int(QRandomGenerator::global()->bounded(300)));
        ::kill(pid_t(process.processId()), signalNumber);
        QVERIFY2(process.waitForFinished(5000), "the export did not stop");
        if (signalNumber == SIGKILL)
            continue;
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
        const QString err = QString::fromUtf8(said + process.readAllStandardError());
        const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        // Each clip it says it saved is there, and it counts them right.
        for (const QString& line : lines)
            QVERIFY2(QFileInfo::exists(line.section(QStringLiteral(": "), 1)), qPrintable(line));
        QVERIFY2(err.contains(QStringLiteral("Stopped: %1 of 100 clips saved to %2").arg(lines.size()).arg(library)),
                 qPrintable(err));
    }
    // The next run tidies up after a killed one, and leaves nothing of its own.
    if (signalNumber == SIGKILL)
        QCOMPARE(trimora({QStringLiteral("split"), fixture(QStringLiteral("h264.mp4")), QStringLiteral("--parts"),
                          QStringLiteral("2"), QStringLiteral("--library"), library}).exitCode, 0);
    checkLibrary(library);
    checkCacheIsEmpty();
}

void TestBadInput::racingExportsOnExfat()
{
    const QString stick = mountExfat();
    if (stick.isEmpty())
        QSKIP("exFAT over FUSE cannot be mounted here (it needs root, exfat-fuse, exfatprogs and a loop device)");
    // Four exports of two videos at once into one library, a few times: every clip is
    // under a name of its own, holding what its own export cut (with sound or without).
    for (int round = 0; round < 3; ++round) {
        const QString library = stick + QStringLiteral("/round %1").arg(round);
        std::vector<std::unique_ptr<QProcess>> runs;
        for (int k = 0; k < 4; ++k) {
            runs.push_back(std::make_unique<QProcess>());
            runs.back()->start(qEnvironmentVariable("TRIMORA_BINARY"),
                               {QStringLiteral("split"), fixture(k % 2 ? QStringLiteral("videoonly.mp4") : QStringLiteral("h264.mp4")),
                                QStringLiteral("--parts"), QStringLiteral("4"), QStringLiteral("--library"), library});
        }
        QSet<QString> reported;
        for (int k = 0; k < 4; ++k) {
            QVERIFY(runs[size_t(k)]->waitForFinished(60000));
            QCOMPARE(runs[size_t(k)]->exitCode(), 0);
            for (const QString& line : QString::fromUtf8(runs[size_t(k)]->readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
                const QString clip = line.section(QStringLiteral(": "), 1);
                QVERIFY2(!reported.contains(clip), qPrintable(line));
                reported.insert(clip);
                QCOMPARE(oracle::probe(clip, QStringLiteral("format=nb_streams")), QString::number(k % 2 ? 1 : 2));
            }
        }
        QCOMPARE(reported.size(), 16);
        QCOMPARE(QDir(library).entryList(QDir::Files).size(), 16);
        checkLibrary(library);
    }
}

QTEST_GUILESS_MAIN(TestBadInput)
#include "tst_badinput.moc"
