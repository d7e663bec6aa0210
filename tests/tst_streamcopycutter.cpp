#include <cmath>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "MediaOracle.h"
#include "StreamCopyCutter.h"

namespace {

QStringList hashes(const QList<oracle::Frame>& frames)
{
    QStringList list;
    for (const oracle::Frame& frame : frames)
        list << QString::fromLatin1(frame.hash);
    return list;
}

// The source frame shown at or after a time, as the editor means a split there.
int firstFrameAtOrAfter(const QList<oracle::Frame>& frames, double time)
{
    for (int i = 0; i < frames.size(); ++i) {
        if (frames[i].time >= time - 1e-6)
            return i;
    }
    return int(frames.size());
}

} // namespace

class TestStreamCopyCutter : public QObject {
    Q_OBJECT

private slots:
    void init();
    void adjacentClipsHoldEveryFrameOnce_data();
    void adjacentClipsHoldEveryFrameOnce();
    void keepsWhatTheSourceCarries_data();
    void keepsWhatTheSourceCarries();
    void emptyRanges_data();
    void emptyRanges();
    void refusals_data();
    void refusals();

private:
    std::unique_ptr<QTemporaryDir> dir;
};

void TestStreamCopyCutter::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestStreamCopyCutter::adjacentClipsHoldEveryFrameOnce_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QList<double>>("splits");
    QTest::addColumn<QString>("extension");

    // Split times between frames, on frames, and near keyframes.
    const QList<double> between{3.33, 6.71};
    QTest::newRow("H.264 with B-frames") << "h264.mp4" << between << "mp4";
    QTest::newRow("H.264 on frame times and a keyframe") << "h264.mp4" << QList<double>{2.0, 4.04, 7.96} << "mp4";
    QTest::newRow("HEVC") << "hevc.mp4" << between << "mp4";
    QTest::newRow("rotated") << "rotated.mp4" << between << "mp4";
    QTest::newRow("variable frame rate") << "vfr.mp4" << QList<double>{1.01, 5.55, 9.0} << "mp4";
    QTest::newRow("open GOP") << "opengop.mp4" << QList<double>{1.95, 2.01, 5.5} << "mp4";
    QTest::newRow("QuickTime") << "apple.mov" << between << "mov";
    QTest::newRow("Matroska into MP4") << "h264.mkv" << between << "mp4";
    QTest::newRow("video only") << "videoonly.mp4" << between << "mp4";
    QTest::newRow("split among the last frames") << "h264.mp4" << QList<double>{9.95} << "mp4";
    QTest::newRow("splits around the last frame") << "hevc.mp4" << QList<double>{9.91, 9.95} << "mp4";
    QTest::newRow("picture starting after the sound") << "late.mkv" << QList<double>{3.0, 6.51} << "mp4";
}

void TestStreamCopyCutter::adjacentClipsHoldEveryFrameOnce()
{
    QFETCH(QString, file);
    QFETCH(QList<double>, splits);
    QFETCH(QString, extension);

    const QList<oracle::Frame> source = oracle::videoFrames(fixture(file));
    QVERIFY(source.size() > 100);
    const double duration = oracle::probe(fixture(file), QStringLiteral("format=duration")).toDouble();

    QList<double> bounds = splits;
    bounds.prepend(0.0);
    bounds.append(duration);
    StreamCopyCutter cutter;
    QStringList all;
    for (int k = 0; k + 1 < bounds.size(); ++k) {
        const QString folder = dir->filePath(QStringLiteral("cut-%1").arg(k));
        QDir().mkpath(folder);
        const QString path = folder + QStringLiteral("/split-%1.clip").arg(k);
        const CutResult result = cutter.cut(fixture(file), bounds[k], bounds[k + 1], {path, folder});
        QVERIFY2(result.kind == CutResult::Kind::Written, qPrintable(result.error));
        QCOMPARE(result.extension, extension);

        const QList<oracle::Frame> clip = oracle::videoFrames(path);
        QVERIFY2(!clip.isEmpty(), qPrintable(path));
        // The first and last pictures are the ones asked for.
        const int first = firstFrameAtOrAfter(source, bounds[k]);
        const int end = k + 2 == bounds.size() ? int(source.size()) : firstFrameAtOrAfter(source, bounds[k + 1]);
        QCOMPARE(clip.front().hash, source[first].hash);
        QCOMPARE(clip.back().hash, source[end - 1].hash);
        QCOMPARE(int(clip.size()), end - first);
        // The clip's own timeline starts at its first picture.
        QVERIFY2(std::abs(clip.front().time) < 1e-3, qPrintable(QString::number(clip.front().time)));
        all << hashes(clip);
    }
    // Together the clips show every frame of the source exactly once, in order.
    QCOMPARE(all, hashes(source));
}

void TestStreamCopyCutter::keepsWhatTheSourceCarries_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("entries");
    QTest::addColumn<QString>("streams");

    QTest::newRow("hvc1 tag") << "hevc.mp4" << "stream=codec_tag_string" << "v:0";
    QTest::newRow("rotation") << "rotated.mp4" << "stream_side_data=rotation" << "v:0";
    QTest::newRow("title") << "h264.mp4" << "format_tags=title" << "";
    QTest::newRow("creation time") << "h264.mp4" << "format_tags=creation_time" << "";
    QTest::newRow("audio language") << "h264.mp4" << "stream_tags=language" << "a:0";
    QTest::newRow("Apple camera make") << "apple.mov" << "format_tags=com.apple.quicktime.make" << "";
    QTest::newRow("Apple location") << "apple.mov" << "format_tags=com.apple.quicktime.location.ISO6709" << "";
    QTest::newRow("streams") << "h264.mp4" << "stream=codec_type" << "";
}

void TestStreamCopyCutter::keepsWhatTheSourceCarries()
{
    QFETCH(QString, file);
    QFETCH(QString, entries);
    QFETCH(QString, streams);

    const QString expected = oracle::probe(fixture(file), entries, streams);
    QVERIFY2(!expected.isEmpty(), "the fixture lacks what this row checks");
    const QString path = dir->filePath(QStringLiteral("clip.mp4"));
    const CutResult result = StreamCopyCutter().cut(fixture(file), 2.5, 7.5, {path, dir->path()});
    QVERIFY2(result.kind == CutResult::Kind::Written, qPrintable(result.error));
    QCOMPARE(oracle::probe(path, entries, streams), expected);

    // The index is at the front, so the clip plays while it is still being read.
    const QStringList boxes = oracle::topLevelBoxTypes(path);
    QVERIFY2(boxes.indexOf(QStringLiteral("moov")) >= 0
                 && boxes.indexOf(QStringLiteral("moov")) < boxes.indexOf(QStringLiteral("mdat")),
             qPrintable(boxes.join(QLatin1Char(' '))));

    // Sound starts with the picture, within one audio frame (1024 samples at 48 kHz).
    if (!oracle::probe(path, QStringLiteral("stream=codec_type"), QStringLiteral("a")).isEmpty()) {
        const double video = oracle::firstFrameTime(path, QStringLiteral("v:0"));
        const double audio = oracle::firstFrameTime(path, QStringLiteral("a:0"));
        QVERIFY2(std::abs(audio - video) <= 1024.0 / 48000.0 + 1e-6,
                 qPrintable(QStringLiteral("video %1, audio %2").arg(video).arg(audio)));
        const double videoLength = oracle::probe(path, QStringLiteral("stream=duration"), QStringLiteral("v:0")).toDouble();
        const double audioLength = oracle::probe(path, QStringLiteral("stream=duration"), QStringLiteral("a:0")).toDouble();
        QVERIFY2(std::abs(audioLength - videoLength) <= 2 * 1024.0 / 48000.0,
                 qPrintable(QStringLiteral("video %1 s, audio %2 s").arg(videoLength).arg(audioLength)));
    }
}

void TestStreamCopyCutter::emptyRanges_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");

    // 25 frames a second: frames at 3.32 and 3.36, none in between.
    QTest::newRow("between two frames") << 3.33 << 3.35;
    QTest::newRow("zero length at the start") << 0.0 << 0.0;
    QTest::newRow("zero length at the end") << 10.0 << 10.0;
    QTest::newRow("after the last frame") << 9.99 << 10.0;
    QTest::newRow("end before start") << 5.0 << 4.0;
}

void TestStreamCopyCutter::emptyRanges()
{
    QFETCH(double, start);
    QFETCH(double, end);

    const CutResult result = StreamCopyCutter().cut(fixture(QStringLiteral("h264.mp4")), start, end,
                                                    {dir->filePath(QStringLiteral("split-0.mp4")), dir->path()});
    QCOMPARE(int(result.kind), int(CutResult::Kind::Empty));
    // Nothing is left behind for an empty clip.
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files).size(), 0);
}

void TestStreamCopyCutter::refusals_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("words"); // what the message must say

    QTest::newRow("text named .mp4") << "notavideo.mp4" << "Could not read video 'notavideo.mp4'";
    QTest::newRow("empty file") << "empty.mp4" << "Could not read video 'empty.mp4'";
    QTest::newRow("sound only") << "audioonly.m4a" << "no video track";
    QTest::newRow("codec MP4 cannot carry") << "theora.mkv" << "theora";
    QTest::newRow("missing file") << "no-such-file.mp4" << "No such file";
    QTest::newRow("AVI has no presentation times") << "h264.avi" << "no presentation times";
    QTest::newRow("a download that stopped half way") << "truncated.mp4" << "ends early";
}

void TestStreamCopyCutter::refusals()
{
    QFETCH(QString, file);
    QFETCH(QString, words);

    const CutResult result = StreamCopyCutter().cut(fixture(file), 3.0, 8.0, {dir->filePath(QStringLiteral("split-0.mp4")), dir->path()});
    QCOMPARE(int(result.kind), int(CutResult::Kind::Failed));
    QVERIFY2(result.error.contains(words), qPrintable(result.error));
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files).size(), 0);
}

QTEST_APPLESS_MAIN(TestStreamCopyCutter)
#include "tst_streamcopycutter.moc"
