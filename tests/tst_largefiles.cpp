#include <QDir>
#include <QStorageInfo>
#include <QTemporaryDir>

#include "MediaOracle.h"

// Files past the old limits: over 4 GiB (64-bit offsets, "co64" chunk tables) and over
// two hours (times with hours). Made here rather than with the other fixtures, so
// that only this test pays for them, in a folder removed when it ends.
namespace {

bool ffmpeg(const QStringList& arguments)
{
    return run(QStringList{"ffmpeg", "-v", "error", "-nostdin", "-y"} + arguments).exitCode == 0;
}

} // namespace

class TestLargeFiles : public QObject {
    Q_OBJECT

private slots:
    void overFourGibibytes()
    {
        QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/large-XXXXXX"));
        QVERIFY(dir.isValid());
        QVERIFY2(QStorageInfo(dir.path()).bytesAvailable() > 12LL << 30, "this test needs 12 GiB of free disk");
        // Two seconds of noise, losslessly coded (220 MB), repeated to 4.6 GB.
        const QString piece = dir.filePath(QStringLiteral("piece.mp4"));
        const QString source = dir.filePath(QStringLiteral("large.mp4"));
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=25,noise=alls=100:allf=t", "-f", "lavfi", "-i",
                        "sine=duration=2", "-t", "2", "-c:v", "libx264", "-preset", "ultrafast", "-qp", "0", "-g", "25",
                        "-c:a", "aac", piece}));
        QVERIFY(ffmpeg({"-stream_loop", "20", "-i", piece, "-c", "copy", source}));
        QFile::remove(piece);
        QVERIFY(QFileInfo(source).size() > (4LL << 30) + (100LL << 20));
        const double duration = oracle::probe(source, QStringLiteral("format=duration")).toDouble();
        QVERIFY(duration > 40.0);

        // Split near the end: the first clip is itself over 4 GiB, the second is read
        // from past 4 GiB in the source.
        const QString library = dir.filePath(QStringLiteral("library"));
        const double split = 40.02;
        const Run cut = run(trimora({"split", source, "--at", QString::number(split), "--library", library}),
                            dir.filePath(QStringLiteral("cache")));
        QVERIFY2(cut.exitCode == 0, qPrintable(cut.err));
        const QString first = library + QStringLiteral("/split-0.mp4");
        const QString second = library + QStringLiteral("/split-1.mp4");
        QVERIFY(QFileInfo(first).size() > 4LL << 30);
        QVERIFY(oracle::head(first).contains("co64"));
        const double firstLength = oracle::probe(first, QStringLiteral("stream=duration"), QStringLiteral("v:0")).toDouble();
        const double secondLength = oracle::probe(second, QStringLiteral("stream=duration"), QStringLiteral("v:0")).toDouble();
        // The first clip ends where the first frame at or after the split is shown (the
        // repeated pieces leave the frames off any even grid: ask the file).
        double endOfFirst = 0.0;
        double firstShown = 1e9;
        const QStringList times = run({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "packet=pts_time",
                                       "-of", "csv=p=0", source}).out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& time : times) {
            const double t = time.toDouble();
            firstShown = std::min(firstShown, t);
            if (t >= split - 1e-6 && (endOfFirst == 0.0 || t < endOfFirst))
                endOfFirst = t;
        }
        QVERIFY2(std::abs(firstLength - (endOfFirst - firstShown)) < 0.001,
                 qPrintable(QStringLiteral("%1 vs %2").arg(firstLength).arg(endOfFirst - firstShown)));
        QVERIFY2(std::abs(firstLength + secondLength - duration) <= 0.08,
                 qPrintable(QStringLiteral("%1 + %2 vs %3").arg(firstLength).arg(secondLength).arg(duration)));
        // The second clip starts on the source's frame at the split (encoded again, so
        // alike, not identical).
        const QString a = dir.filePath(QStringLiteral("a.png"));
        const QString b = dir.filePath(QStringLiteral("b.png"));
        QVERIFY(ffmpeg({"-ss", QString::number(endOfFirst - 0.001, 'f', 3), "-i", source, "-frames:v", "1", a}));
        QVERIFY(ffmpeg({"-i", second, "-frames:v", "1", b}));
        const double psnr = oracle::lowestPsnr(b, a, 0, 1);
        QVERIFY2(psnr >= 35.0, qPrintable(QStringLiteral("%1 dB").arg(psnr)));
    }

    void overTwoHours()
    {
        QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/long-XXXXXX"));
        QVERIFY(dir.isValid());
        const QString source = dir.filePath(QStringLiteral("long.mp4"));
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=2:duration=7800", "-f", "lavfi", "-i",
                        "sine=sample_rate=8000:duration=7800", "-c:v", "libx264", "-preset", "ultrafast", "-g", "20",
                        "-c:a", "aac", "-b:a", "8k", source}));

        const QString library = dir.filePath(QStringLiteral("library"));
        const Run cut = run(trimora({"split", source, "--at", "1:05:00", "--at", "2:00:00.5", "--library", library}),
                            dir.filePath(QStringLiteral("cache")));
        QVERIFY2(cut.exitCode == 0, qPrintable(cut.err));
        QVERIFY2(cut.err.contains(QStringLiteral("(2:10:00)")), qPrintable(cut.err)); // the length keeps its hours
        const QList<double> expected{3900.0, 3300.5, 599.5};
        for (int k = 0; k < 3; ++k) {
            const double length = oracle::probe(library + QStringLiteral("/split-%1.mp4").arg(k), QStringLiteral("stream=duration"),
                                                QStringLiteral("v:0")).toDouble();
            QVERIFY2(std::abs(length - expected[k]) < 0.001, qPrintable(QStringLiteral("split-%1: %2 s").arg(k).arg(length)));
        }
    }
};

QTEST_GUILESS_MAIN(TestLargeFiles)
#include "tst_largefiles.moc"
