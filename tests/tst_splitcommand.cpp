#include <cmath>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "MediaOracle.h"

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

// Each run gets a cache of its own, so what one leaves there is not seen by another.
Run trimora(const QStringList& arguments, const QString& cache = QString())
{
    QProcess process;
    if (!cache.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
        process.setProcessEnvironment(environment);
    }
    process.start(qEnvironmentVariable("TRIMORA_BINARY"), arguments);
    process.waitForFinished(120000);
    Run run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

class TestSplitCommand : public QObject {
    Q_OBJECT

private slots:
    void init();
    void splits_data();
    void splits();
    void badUsage_data();
    void badUsage();
    void neverOverwrites();
    void controlCharactersInPathsAreEscaped();
    void videoThatCannotBeCutExactly();
    void version();

private:
    std::unique_ptr<QTemporaryDir> dir;
};

void TestSplitCommand::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestSplitCommand::splits_data()
{
    QTest::addColumn<QStringList>("how");
    QTest::addColumn<QStringList>("lines"); // after "split-k: ", a name in the library or "empty, skipped"
    QTest::addColumn<QList<double>>("lengths");

    QTest::newRow("two times") << QStringList{"--at", "3.33", "--at", "0:06.71"}
                               << QStringList{"split-0.mp4", "split-1.mp4", "split-2.mp4"}
                               << QList<double>{3.36, 3.36, 3.28};
    QTest::newRow("times in any order") << QStringList{"--at", "6.71", "--at", "3.33"}
                                        << QStringList{"split-0.mp4", "split-1.mp4", "split-2.mp4"}
                                        << QList<double>{3.36, 3.36, 3.28};
    QTest::newRow("equal parts") << QStringList{"--parts", "4"}
                                 << QStringList{"split-0.mp4", "split-1.mp4", "split-2.mp4", "split-3.mp4"}
                                 << QList<double>{2.52, 2.48, 2.52, 2.48};
    QTest::newRow("every three seconds") << QStringList{"--every", "3"}
                                         << QStringList{"split-0.mp4", "split-1.mp4", "split-2.mp4", "split-3.mp4"}
                                         << QList<double>{3.0, 3.0, 3.0, 1.0};
    QTest::newRow("a share of the length") << QStringList{"--at", "50%"}
                                           << QStringList{"split-0.mp4", "split-1.mp4"} << QList<double>{5.0, 5.0};
    QTest::newRow("split at the start leaves an empty first clip")
        << QStringList{"--at", "0", "--at", "5"} << QStringList{"empty, skipped", "split-1.mp4", "split-2.mp4"}
        << QList<double>{5.0, 5.0};
}

void TestSplitCommand::splits()
{
    QFETCH(QStringList, how);
    QFETCH(QStringList, lines);
    QFETCH(QList<double>, lengths);

    const QString library = dir->filePath(QStringLiteral("My Videos"));
    const QString cache = dir->filePath(QStringLiteral("cache"));
    const Run run = trimora(QStringList{"split", fixture(QStringLiteral("h264.mp4"))} + how + QStringList{"--library", library},
                            cache);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    QStringList expected;
    for (int k = 0; k < lines.size(); ++k) {
        const bool empty = lines[k].startsWith(QLatin1String("empty"));
        expected << QStringLiteral("split-%1: %2").arg(k).arg(empty ? lines[k] : library + QLatin1Char('/') + lines[k]);
    }
    QCOMPARE(run.out.trimmed().split(QLatin1Char('\n')), expected);

    QStringList files = QDir(library).entryList(QDir::Files, QDir::Name);
    QCOMPARE(files.size(), lengths.size());
    for (int i = 0; i < files.size(); ++i) {
        const double length = oracle::probe(library + QLatin1Char('/') + files[i], QStringLiteral("stream=duration"),
                                            QStringLiteral("v:0")).toDouble();
        // Each clip is the frames asked for: lengths on the 25 fps frame grid.
        QVERIFY2(std::abs(length - lengths[i]) < 0.001, qPrintable(QStringLiteral("%1: %2 s").arg(files[i]).arg(length)));
    }
    // Clips are cut where they live: no working file anywhere, none in the cache.
    QCOMPARE(QDir(library).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(), lengths.size());
    QDirIterator cached(cache, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QVERIFY2(!cached.hasNext(), qPrintable(cached.hasNext() ? cached.next() : QString()));
}

void TestSplitCommand::badUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("words");

    const QString video = fixture(QStringLiteral("h264.mp4"));
    QTest::newRow("no way to split") << QStringList{"split", video} << "exactly one of";
    QTest::newRow("two ways to split") << QStringList{"split", video, "--parts", "2", "--every", "3"} << "exactly one of";
    QTest::newRow("no video") << QStringList{"split", "--parts", "2"} << "name one video";
    QTest::newRow("two videos") << QStringList{"split", video, video, "--parts", "2"} << "only one video";
    QTest::newRow("after the end") << QStringList{"split", video, "--at", "11"} << "after the end of the video (00:10)";
    QTest::newRow("the same point twice") << QStringList{"split", video, "--at", "5", "--at", "0:05"} << "repeats a split point";
    QTest::newRow("not a time") << QStringList{"split", video, "--at", "soon"} << "'soon' is not a time";
    QTest::newRow("negative time") << QStringList{"split", video, "--at", "-3"} << "'-3' is not a time";
    QTest::newRow("zero parts") << QStringList{"split", video, "--parts", "0"} << "--parts: 0 is not a whole number";
    QTest::newRow("parts not given") << QStringList{"split", video, "--parts", ""} << "--parts: '' is not a number";
    QTest::newRow("every zero seconds") << QStringList{"split", video, "--every", "0"} << "--every: wants a length";
    QTest::newRow("unknown option") << QStringList{"split", video, "--fast"} << "Unknown option";
    QTest::newRow("not a video") << QStringList{"split", fixture(QStringLiteral("notavideo.mp4")), "--parts", "2"}
                                 << "Could not read video 'notavideo.mp4'";
    QTest::newRow("sound only") << QStringList{"split", fixture(QStringLiteral("audioonly.m4a")), "--parts", "2"}
                                << "it has no video track";
    QTest::newRow("unknown command") << QStringList{"cut", video} << "Usage: trimora";
}

void TestSplitCommand::badUsage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, words);

    const QString library = dir->filePath(QStringLiteral("library"));
    const Run run = trimora(arguments + QStringList{"--library", library});
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(words), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
    QVERIFY(!QFileInfo::exists(library));
}

void TestSplitCommand::neverOverwrites()
{
    const QString library = dir->filePath(QStringLiteral("library"));
    QDir().mkpath(library);
    QFile mine(library + QStringLiteral("/split-0.mp4"));
    QVERIFY(mine.open(QIODevice::WriteOnly));
    mine.write("my own holiday video");
    mine.close();

    const Run run = trimora({"split", fixture(QStringLiteral("h264.mp4")), "--parts", "2", "--library", library});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY(run.out.contains(QStringLiteral("split-0: ") + library + QStringLiteral("/split-0 (2).mp4")));
    QVERIFY(mine.open(QIODevice::ReadOnly));
    QCOMPARE(mine.readAll(), QByteArray("my own holiday video"));
}

void TestSplitCommand::controlCharactersInPathsAreEscaped()
{
    const QString library = dir->filePath(QStringLiteral("odd\nname"));
    const Run run = trimora({"split", fixture(QStringLiteral("h264.mp4")), "--parts", "2", "--library", library});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    // One line per clip, the newline in the folder's name shown as \n.
    QCOMPARE(run.out.trimmed().split(QLatin1Char('\n')).size(), 2);
    QVERIFY(run.out.contains(QStringLiteral("odd\\nname/split-1.mp4")));
    QVERIFY(QFileInfo::exists(library + QStringLiteral("/split-1.mp4")));
}

void TestSplitCommand::videoThatCannotBeCutExactly()
{
    // AVI is read, but its frames carry no times: every clip fails, and says so.
    const QString library = dir->filePath(QStringLiteral("library"));
    const Run run = trimora({"split", fixture(QStringLiteral("h264.avi")), "--parts", "2", "--library", library});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.out.contains(QStringLiteral("no presentation times")), qPrintable(run.out));
    QCOMPARE(QDir(library).entryList(QDir::Files).size(), 0);
}

void TestSplitCommand::version()
{
    const Run run = trimora({"--version"});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.startsWith(QStringLiteral("trimora ")));
}

QTEST_GUILESS_MAIN(TestSplitCommand)
#include "tst_splitcommand.moc"
