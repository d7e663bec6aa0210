#include <sys/mount.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
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

private:
    Run trimora(const QStringList& arguments, const QString& shellPrefix = QString(), bool asNobody = false);
    void checkLibrary(const QString& library, const QByteArray& skip = QByteArray());

    std::unique_ptr<QTemporaryDir> dir;
    QString mounted;
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

// Whatever is in the library is a whole, readable video; nothing hidden, nothing empty.
void TestBadInput::checkLibrary(const QString& library, const QByteArray& skip)
{
    for (const QFileInfo& entry : QDir(library).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (!skip.isEmpty() && digest(entry.filePath()) == skip)
            continue; // the user's own file, checked separately
        QVERIFY2(!entry.fileName().startsWith(QLatin1Char('.')), qPrintable(entry.fileName()));
        QVERIFY2(entry.size() > 0, qPrintable(entry.fileName()));
        const Outcome<VideoInfo> info = probeVideo(entry.filePath());
        QVERIFY2(info.ok(), qPrintable(entry.fileName() + QStringLiteral(": ") + info.error()));
    }
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
    QTest::newRow("sound only") << "audioonly.m4a" << "fresh" << 2 << "it has no video track";
    QTest::newRow("no presentation times") << "h264.avi" << "fresh" << 1 << "no presentation times";
    QTest::newRow("spaces, letters and a newline in the name") << "odd name" << "fresh" << 0 << "\\n";
    QTest::newRow("library folder missing") << "h264.mp4" << "missing" << 0 << "split-2.mp4";
    QTest::newRow("library already holds split-0") << "h264.mp4" << "taken" << 0 << "split-0 (2).mp4";
    QTest::newRow("library read-only") << "h264.mp4" << "read-only" << 1 << "Permission denied";
    QTest::newRow("library on a full disk") << "h264.mp4" << "full" << 1 << "not enough space";
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
    } else if (library == QLatin1String("full")) {
        QDir().mkpath(libraryPath);
        if (isRoot()) {
            // A disk of 300 KiB: the working files are on another, so each clip must be
            // copied in, and none fits whole.
            QVERIFY(::mount("tmpfs", QFile::encodeName(libraryPath).constData(), "tmpfs", 0, "size=300k") == 0);
            mounted = libraryPath;
        } else {
            prefix = QStringLiteral("ulimit -f 300; ");
            words = QStringLiteral("File too large");
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
    if (exitCode == 2)
        QVERIFY(!QFileInfo::exists(libraryPath) || QDir(libraryPath).isEmpty());
    // A clip the library refused is kept, and the message says where.
    for (const QString& line : run.out.split(QLatin1Char('\n'))) {
        if (!line.contains(QStringLiteral("kept at '")))
            continue;
        const QString kept = line.section(QStringLiteral("kept at '"), 1).section(QLatin1Char('\''), 0, 0);
        QVERIFY2(QFileInfo(kept).size() > 0, qPrintable(line));
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

QTEST_GUILESS_MAIN(TestBadInput)
#include "tst_badinput.moc"
