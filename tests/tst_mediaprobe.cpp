#include <cmath>

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include "MediaOracle.h"
#include "MediaProbe.h"
#include "ThumbnailSource.h"

namespace {

// Mean absolute difference of two pictures of the same size, 0 to 255.
double difference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32).scaled(x.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double sum = 0.0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int column = 0; column < x.width(); ++column) {
            sum += std::abs(qRed(p[column]) - qRed(q[column])) + std::abs(qGreen(p[column]) - qGreen(q[column]))
                + std::abs(qBlue(p[column]) - qBlue(q[column]));
        }
    }
    return sum / (3.0 * x.width() * x.height());
}

} // namespace

class TestMediaProbe : public QObject {
    Q_OBJECT

private slots:
    void readable_data();
    void readable();
    void unreadable_data();
    void unreadable();
    void rotationFromMatrix_data();
    void rotationFromMatrix();
    void thumbnailsAreUprightAndNear_data();
    void thumbnailsAreUprightAndNear();
    void thumbnailOfUnreadableFile();
    void thumbnailShowsWhereACutStarts();
};

void TestMediaProbe::readable_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<double>("duration");
    QTest::addColumn<int>("rotation");
    QTest::addColumn<QSize>("display");
    QTest::addColumn<QString>("codec");
    QTest::addColumn<int>("audioStreams");

    QTest::newRow("H.264") << "h264.mp4" << 10.0 << 0 << QSize(320, 240) << "h264" << 1;
    QTest::newRow("HEVC") << "hevc.mp4" << 10.0 << 0 << QSize(320, 240) << "hevc" << 1;
    QTest::newRow("rotated shows upright") << "rotated.mp4" << 10.0 << 270 << QSize(240, 320) << "h264" << 1;
    QTest::newRow("QuickTime") << "apple.mov" << 10.0 << 0 << QSize(320, 240) << "h264" << 1;
    QTest::newRow("Matroska") << "h264.mkv" << 10.0 << 0 << QSize(320, 240) << "h264" << 1;
    QTest::newRow("video only") << "videoonly.mp4" << 10.0 << 0 << QSize(320, 240) << "h264" << 0;
    QTest::newRow("picture 45 s after the sound") << "late45.mkv" << 55.0 << 0 << QSize(320, 240) << "h264" << 1;
}

void TestMediaProbe::readable()
{
    QFETCH(QString, file);
    QFETCH(double, duration);
    QFETCH(int, rotation);
    QFETCH(QSize, display);
    QFETCH(QString, codec);
    QFETCH(int, audioStreams);

    const Outcome<VideoInfo> info = probeVideo(fixture(file));
    QVERIFY2(info.ok(), qPrintable(info.error()));
    // Container lengths differ from the nominal one by the sound's last packet.
    QVERIFY2(std::abs(info->duration - duration) < 0.1, qPrintable(QString::number(info->duration)));
    QCOMPARE(info->rotation, rotation);
    QCOMPARE(info->displaySize, display);
    QCOMPARE(info->videoCodec, codec);
    QVERIFY(info->frameDuration > 0.0 && info->frameDuration < 0.05);
    int audio = 0;
    for (const StreamInfo& stream : info->streams)
        audio += stream.kind == StreamInfo::Kind::Audio;
    QCOMPARE(audio, audioStreams);
}

void TestMediaProbe::unreadable_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("words");

    QTest::newRow("text named .mp4") << "notavideo.mp4" << "Could not read video 'notavideo.mp4': ";
    QTest::newRow("empty") << "empty.mp4" << "Could not read video 'empty.mp4': ";
    QTest::newRow("sound only") << "audioonly.m4a" << "Could not open video 'audioonly.m4a': it has no video track.";
    QTest::newRow("missing") << "missing.mp4" << "Could not read video 'missing.mp4': No such file or directory";
}

void TestMediaProbe::unreadable()
{
    QFETCH(QString, file);
    QFETCH(QString, words);
    const Outcome<VideoInfo> info = probeVideo(fixture(file));
    QVERIFY(!info.ok());
    QVERIFY2(info.error().startsWith(words), qPrintable(info.error()));
}

void TestMediaProbe::rotationFromMatrix_data()
{
    QTest::addColumn<QList<int>>("matrix");
    QTest::addColumn<int>("rotation");

    // 16.16 fixed point a, b, c, d with u, v, w; 1.0 is 0x10000, w is 2.30.
    const int one = 0x10000;
    QTest::newRow("identity") << QList<int>{one, 0, 0, 0, one, 0, 0, 0, 1 << 30} << 0;
    QTest::newRow("quarter clockwise") << QList<int>{0, one, 0, -one, 0, 0, 0, 0, 1 << 30} << 90;
    QTest::newRow("half turn") << QList<int>{-one, 0, 0, 0, -one, 0, 0, 0, 1 << 30} << 180;
    QTest::newRow("quarter anticlockwise") << QList<int>{0, -one, 0, one, 0, 0, 0, 0, 1 << 30} << 270;
    QTest::newRow("degenerate") << QList<int>{0, 0, 0, 0, 0, 0, 0, 0, 0} << 0;
}

void TestMediaProbe::rotationFromMatrix()
{
    QFETCH(QList<int>, matrix);
    QFETCH(int, rotation);
    std::array<int32_t, 9> raw{};
    std::copy(matrix.begin(), matrix.end(), raw.begin());
    QCOMPARE(rotationFromDisplayMatrix(raw.data()), rotation);
    QCOMPARE(rotationFromDisplayMatrix(nullptr), 0);
}

void TestMediaProbe::thumbnailsAreUprightAndNear_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<double>("time");

    QTest::newRow("H.264 at a keyframe") << "h264.mp4" << 4.0;
    QTest::newRow("H.264 between keyframes") << "h264.mp4" << 7.5;
    QTest::newRow("rotated") << "rotated.mp4" << 2.0;
    QTest::newRow("HEVC") << "hevc.mp4" << 6.0;
    QTest::newRow("open GOP") << "opengop.mp4" << 3.0;
    QTest::newRow("Matroska") << "h264.mkv" << 8.75;
}

void TestMediaProbe::thumbnailsAreUprightAndNear()
{
    QFETCH(QString, file);
    QFETCH(double, time);

    const Outcome<std::shared_ptr<ThumbnailSource>> source = ThumbnailSource::open(fixture(file));
    QVERIFY2(source.ok(), qPrintable(source.error()));
    const Outcome<VideoInfo> info = probeVideo(fixture(file));
    const QSize size = info->displaySize / 2;
    const Outcome<QImage> picture = source.value()->frameNear(time, size);
    QVERIFY2(picture.ok(), qPrintable(picture.error()));
    QCOMPARE(picture->size(), size);

    // The picture is one the player would show within a keyframe interval (2 s)
    // before the time asked for, and upright: compare with ffmpeg's own pictures,
    // which are turned as the file says.
    QTemporaryDir dir;
    const double from = std::max(0.0, time - 2.0);
    oracle::run(QStringLiteral("ffmpeg"), {"-v", "error", "-nostdin", "-ss", QString::number(from, 'f', 3), "-i", fixture(file),
                                           "-t", QString::number(time - from + 0.01, 'f', 3), "-fps_mode", "passthrough",
                                           dir.filePath(QStringLiteral("f%03d.png"))});
    const QStringList pngs = QDir(dir.path()).entryList({QStringLiteral("*.png")});
    QVERIFY(pngs.size() >= 2);
    double best = 1e9;
    for (const QString& png : pngs) {
        const QImage expected(dir.filePath(png));
        QCOMPARE(expected.size(), info->displaySize);
        best = std::min(best, difference(picture.value(), expected));
    }
    QVERIFY2(best < 6.0, qPrintable(QStringLiteral("closest frame differs by %1").arg(best)));

    // Turned the wrong way it would not match anything.
    if (info->rotation != 0) {
        const QImage wrong = picture->transformed(QTransform().rotate(180)).scaled(picture->size());
        QVERIFY(difference(wrong, picture.value()) > 10.0);
    }
}

void TestMediaProbe::thumbnailOfUnreadableFile()
{
    const Outcome<std::shared_ptr<ThumbnailSource>> source = ThumbnailSource::open(fixture(QStringLiteral("notavideo.mp4")));
    QVERIFY(!source.ok());
    QVERIFY2(source.error().contains(QStringLiteral("notavideo.mp4")), qPrintable(source.error()));
}

void TestMediaProbe::thumbnailShowsWhereACutStarts()
{
    // The picture starts 1.5 s after the sound. The strip's picture at 3 s must be the
    // frame a split at 3 s starts its clip with: both count from the file's start.
    const QString file = fixture(QStringLiteral("late.mkv"));
    const QList<oracle::Frame> frames = oracle::videoFrames(file);
    QVERIFY(frames.size() > 100);
    QVERIFY(frames.front().time > 1.4);
    const Outcome<std::shared_ptr<ThumbnailSource>> source = ThumbnailSource::open(file);
    QVERIFY(source.ok());
    const Outcome<QImage> picture = source.value()->frameNear(3.0, QSize(320, 240));
    QVERIFY(picture.ok());
    QTemporaryDir dir;
    // The frames either side of 3 s of the file's own timeline: the strip may show the
    // keyframe just before the time asked for.
    double nearest = 1e9;
    for (const char* at : {"2.95", "3.0"}) {
        const QString png = dir.filePath(QStringLiteral("at%1.png").arg(QLatin1String(at)));
        oracle::run(QStringLiteral("ffmpeg"), {"-v", "error", "-nostdin", "-i", file, "-vf",
                                               QStringLiteral("select='gte(t,%1)'").arg(QLatin1String(at)),
                                               "-frames:v", "1", "-fps_mode", "passthrough", png});
        const QImage expected(png);
        QVERIFY(!expected.isNull());
        nearest = std::min(nearest, difference(picture.value(), expected));
    }
    QVERIFY2(nearest < 3.0, qPrintable(QString::number(nearest)));
    // And not the one 1.5 s later, where counting from the picture's start would land.
    const QString later = dir.filePath(QStringLiteral("at45.png"));
    oracle::run(QStringLiteral("ffmpeg"), {"-v", "error", "-nostdin", "-i", file, "-vf", "select='gte(t,4.5)'",
                                           "-frames:v", "1", "-fps_mode", "passthrough", later});
    QVERIFY(difference(picture.value(), QImage(later)) > 10.0);
}

QTEST_APPLESS_MAIN(TestMediaProbe)
#include "tst_mediaprobe.moc"
