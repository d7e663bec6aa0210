#include <optional>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include "ClipPlan.h"
#include "MediaOracle.h"
#include "MediaProbe.h"
#include "SoundPeaks.h"
#include "StillFrames.h"
#include "StreamCopyCutter.h"
#include "ThumbnailSource.h"

// The FFmpeg engine on real files, with the ffmpeg command as the judge.
namespace {

// Mean absolute difference of two pictures, 0 to 255: the second's middle, of the
// first's shape, scaled to the first.
double difference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    QSize middle = x.size().scaled(b.size(), Qt::KeepAspectRatio);
    const QImage y = b.convertToFormat(QImage::Format_RGB32)
                         .copy(QRect(QPoint((b.width() - middle.width()) / 2, (b.height() - middle.height()) / 2), middle))
                         .scaled(x.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double sum = 0.0;
    for (int row = 0; row < x.height(); ++row) {
        for (int column = 0; column < x.width(); ++column) {
            const QRgb p = x.pixel(column, row);
            const QRgb q = y.pixel(column, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * x.width() * x.height());
}

struct ShownFrame {
    double time = 0.0; // seconds from the file's start
    QImage picture;
};

// Every picture ffmpeg shows of a file up to a time, upright, with its time.
std::vector<ShownFrame> shownFrames(const QString& file, double until)
{
    QTemporaryDir dir;
    run({"ffmpeg", "-v", "error", "-nostdin", "-i", file, "-map", "0:v:0", "-fps_mode", "passthrough", "-to",
         QString::number(until, 'f', 3), dir.filePath(QStringLiteral("f%04d.png"))});
    const QList<oracle::Frame> times = oracle::videoFrames(file);
    const QStringList pngs = QDir(dir.path()).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    std::vector<ShownFrame> frames;
    for (qsizetype i = 0; i < pngs.size() && i < times.size(); ++i)
        frames.push_back({times[i].time, QImage(dir.filePath(pngs[i]))});
    return frames;
}

// The length of the run of dark pixels through a picture's middle, across and down.
QSize darkMiddle(const QImage& picture)
{
    const auto dark = [&](int x, int y) {
        const QRgb pixel = picture.pixel(x, y);
        return std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)}) < 64;
    };
    const QPoint middle(picture.width() / 2, picture.height() / 2);
    int left = middle.x(), right = middle.x(), top = middle.y(), bottom = middle.y();
    while (left > 0 && dark(left - 1, middle.y()))
        --left;
    while (right + 1 < picture.width() && dark(right + 1, middle.y()))
        ++right;
    while (top > 0 && dark(middle.x(), top - 1))
        --top;
    while (bottom + 1 < picture.height() && dark(middle.x(), bottom + 1))
        ++bottom;
    return dark(middle.x(), middle.y()) ? QSize(right - left + 1, bottom - top + 1) : QSize();
}

// A video track written as its packets in decode order: "I" a keyframe a decoder can
// start at (H.264 IDR, HEVC IDR or CRA), "K" one it cannot (an open-GOP I picture),
// "X" a packet that cannot be read, anything else a frame that is no keyframe; the
// number is the frame's shown time. Decode times count up from -2, so that no frame
// decodes after it is shown.
class ListedPackets final : public PacketReader {
public:
    explicit ListedPackets(const QString& track)
    {
        int64_t dts = -2;
        for (const QString& word : track.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QChar kind = word.at(0);
            packets.push_back({word.mid(1).toLongLong(), dts++, kind == 'I' || kind == 'K', kind == 'I', kind == 'X', 0});
        }
        for (ScannedPacket& packet : packets)
            damaged.push_back(std::exchange(packet.leading, false));
        markLeading(packets);
    }

    // As a seek and a read of the file would give them.
    Outcome<std::vector<ScannedPacket>> read(int64_t from, int64_t until) override
    {
        size_t start = 0;
        for (size_t i = 0; i < packets.size(); ++i) {
            if (packets[i].key && packets[i].dts <= from)
                start = i;
        }
        while (start < packets.size() && !packets[start].key)
            ++start;
        std::vector<ScannedPacket> read;
        for (size_t i = start; i < packets.size(); ++i) {
            if (damaged[i])
                return Outcome<std::vector<ScannedPacket>>::failure(QStringLiteral("unreadable"));
            read.push_back(packets[i]);
            if (packets[i].dts > until)
                break;
        }
        return read;
    }

private:
    std::vector<ScannedPacket> packets;
    std::vector<bool> damaged;
};

QString optionalTicks(const std::optional<ScannedPacket>& packet)
{
    return packet ? QString::number(packet->pts) : QStringLiteral("-");
}

} // namespace

// A file for the cutter to write, open as the library hands one out; closed with this.
class ClipFile final {
public:
    ClipFile(const QString& path, QString folder)
        : fd(::open(QFile::encodeName(path).constData(), O_CREAT | O_RDWR | O_TRUNC | O_CLOEXEC, 0644))
        , where(std::move(folder))
    {
    }
    ~ClipFile() { ::close(fd); }
    ClipFile(const ClipFile&) = delete;
    ClipFile& operator=(const ClipFile&) = delete;

    operator CutOutput() const { return {fd, where}; } // NOLINT(google-explicit-constructor)

private:
    int fd;
    QString where;
};

class TestMediaEngine : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }

    // QTemporaryDir cannot remove a name that is not UTF-8.
    void cleanup() { removeFolder(dir->path()); }

    // Every decision of the planner, on tracks written out: a clip's first frame, the
    // keyframe its head is decoded from, where the copy starts and stops, and the tail.
    void plans_data()
    {
        QTest::addColumn<QString>("track");
        QTest::addColumn<QString>("how"); // "exact" or "keyframes", then "dropping" if leading pictures may be left out
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("end"); // -1: to the end of the video
        QTest::addColumn<QString>("plan");

        // Closed GOPs of six frames with B-frames; a frame is one tick.
        const QString closed = "I0 P2 B1 P5 B3 B4 I6 P8 B7 P11 B9 B10 I12 P14 B13 P17 B15 B16";
        QTest::newRow("on a keyframe, to the next") << closed << "exact" << 6LL << 12LL << "from 6 open 6 copy 6 until 12";
        QTest::newRow("between keyframes: head and tail") << closed << "exact" << 4LL << 14LL << "from 4 open 0 copy 6 until 13 tail 12";
        QTest::newRow("one tick after a frame") << closed << "exact" << 7LL << 15LL << "from 7 open 6 copy 12 until 15";
        // One frame before a keyframe that decodes before the end, as an MPEG-TS seek
        // finds it: the B-frames before the end refer to the frame at it.
        QTest::newRow("one frame before a keyframe") << closed << "exact" << 6LL << 11LL << "from 6 open 6 copy 6 until 9 tail 6";
        QTest::newRow("before the first frame") << closed << "exact" << -5LL << 3LL << "from 0 open 0 copy 0 until 3";
        QTest::newRow("to the end") << closed << "exact" << 15LL << -1LL << "from 15 open 12 copy - until -";
        QTest::newRow("after the last frame") << closed << "exact" << 18LL << -1LL << "empty";
        QTest::newRow("ends before it says") << closed << "exact, ends at 40" << 30LL << -1LL << "failed: ends early";
        QTest::newRow("keyframes: each end moves back") << closed << "keyframes" << 8LL << 14LL << "from 6 open 6 copy 6 until 12";
        QTest::newRow("keyframes: ends exactly on keyframes") << closed << "keyframes" << 6LL << 12LL << "from 6 open 6 copy 6 until 12";
        QTest::newRow("keyframes: both ends on one keyframe") << closed << "keyframes" << 7LL << 10LL << "empty at 6";
        QTest::newRow("keyframes: before the first") << closed << "keyframes" << -3LL << 4LL << "empty at 0";
        // Keyframes a decoder cannot start at (marked so, but not I pictures): only the
        // first starts afresh.
        const QString open = "I0 P3 B1 B2 K6 B4 B5 P9 B7 B8 K12 B10 B11 P15 B13 B14";
        QTest::newRow("no keyframe to copy from: all encoded again") << open << "exact" << 7LL << 13LL << "from 7 open 0 copy - until -";
        QTest::newRow("keyframes: back to the first") << open << "keyframes" << 7LL << -1LL << "from 0 open 0 copy 0 until -";
        // HEVC CRA pictures, and H.264 I pictures of open GOPs, with leading pictures:
        // a copy may start at one and leave them to the head.
        const QString cra = "I0 P3 B1 B2 I6 B4 B5 P9 B7 B8 I12 B10 B11 P15 B13 B14";
        QTest::newRow("among a CRA's leading pictures") << cra << "exact, dropping" << 4LL << 8LL << "from 4 open 0 copy 6 until 7 tail 6 dropping";
        // Ending on a CRA or among its leading pictures: they are decoded after it, so
        // the tail is decoded from the CRA before.
        QTest::newRow("ending among a CRA's leading pictures") << cra << "exact, dropping" << 4LL << 11LL << "from 4 open 0 copy 6 until 10 tail 6 dropping";
        QTest::newRow("leading pictures kept: no copy") << cra << "exact" << 4LL << 11LL << "from 4 open 0 copy - until -";
        QTest::newRow("keyframes: at CRAs, leading pictures to the clip before") << cra << "keyframes, dropping" << 8LL << 14LL
                                                                                 << "from 6 open 6 copy 6 until 10 tail 6 dropping";
        QTest::newRow("keyframes: the end's keyframe unreadable") << "I0 P1 P2 X3 P4 I5 P6 K7 P8 P9 P10 P11" << "keyframes"
                                                                  << 5LL << 9LL << "failed: unreadable";
        QTest::newRow("no keyframe a decoder can start at") << "K0 P1 P2" << "exact" << 1LL << -1LL << "failed: no first keyframe";
    }

    void plans()
    {
        QFETCH(QString, track);
        QFETCH(QString, how);
        QFETCH(qint64, start);
        QFETCH(qint64, end);

        ListedPackets packets(track);
        TrackTiming timing;
        timing.margin = 2;
        timing.knownEnd = how.contains(QStringLiteral("ends at 40")) ? 40 : 18;
        timing.endSlack = 2;
        timing.mayDropLeading = how.contains(QStringLiteral("dropping"));
        const PlanDecision decision = planClip(packets, timing, start, end < 0 ? std::nullopt : std::optional<int64_t>(end),
                                               how.startsWith(QStringLiteral("keyframes")));
        const ClipPlan& plan = decision.plan;
        QString got;
        if (decision.kind == PlanResult::Kind::Failed) {
            got = decision.problem == PlanProblem::EndsEarly ? QStringLiteral("failed: ends early")
                : decision.problem == PlanProblem::NoFirstKeyframe ? QStringLiteral("failed: no first keyframe")
                                                                   : QStringLiteral("failed: unreadable");
        } else if (decision.kind == PlanResult::Kind::Empty) {
            got = plan.endPts ? QStringLiteral("empty at %1").arg(*plan.endPts) : QStringLiteral("empty");
        } else {
            got = QStringLiteral("from %1 open %2 copy %3 until %4")
                      .arg(plan.firstPts)
                      .arg(plan.openKey.pts)
                      .arg(optionalTicks(plan.copyKey),
                           plan.copyUntil == std::numeric_limits<int64_t>::max() ? QStringLiteral("-") : QString::number(plan.copyUntil));
            if (plan.hasTail())
                got += QStringLiteral(" tail ") + optionalTicks(plan.tailKey);
            if (plan.dropLeading)
                got += QStringLiteral(" dropping");
        }
        QTEST(got, "plan");
    }

    void probes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<double>("duration");
        QTest::addColumn<int>("rotation");
        QTest::addColumn<QSize>("display");
        QTest::addColumn<QString>("codec");
        QTest::addColumn<int>("audioStreams");
        QTest::addColumn<QList<double>>("pictures"); // where they start and end; none: not said

        QTest::newRow("H.264") << "h264.mp4" << 10.0 << 0 << QSize(320, 240) << "h264" << 1 << QList<double>{0.0, 10.0};
        QTest::newRow("HEVC") << "hevc.mp4" << 10.0 << 0 << QSize(320, 240) << "hevc" << 1 << QList<double>{0.0, 10.0};
        QTest::newRow("rotated shows upright") << "rotated.mp4" << 10.0 << 270 << QSize(240, 320) << "h264" << 1 << QList<double>{0.0, 10.0};
        QTest::newRow("Matroska") << "h264.mkv" << 10.0 << 0 << QSize(320, 240) << "h264" << 1 << QList<double>{};
        QTest::newRow("video only") << "videoonly.mp4" << 10.0 << 0 << QSize(320, 240) << "h264" << 0 << QList<double>{0.0, 10.0};
        QTest::newRow("picture 45 s after the sound") << "late45.mkv" << 55.0 << 0 << QSize(320, 240) << "h264" << 1 << QList<double>{};
        // Its sound starts 21 ms before the picture, and so ends after it.
        QTest::newRow("MP4 whose edit list starts with 10 s of nothing") << "offset.mp4" << 10.0 << 0 << QSize(320, 240) << "h264" << 1
                                                                         << QList<double>{0.022, 10.022};
        QTest::newRow("MPEG-TS") << "h264.mts" << 10.0 << 0 << QSize(320, 240) << "h264" << 1 << QList<double>{0.021, 10.021};
    }

    void probes()
    {
        QFETCH(QString, file);
        QFETCH(double, duration);
        QFETCH(int, rotation);
        QFETCH(QSize, display);
        QFETCH(QString, codec);
        QFETCH(int, audioStreams);
        QFETCH(QList<double>, pictures);

        const Outcome<VideoInfo> info = probeVideo(fixture(file));
        QVERIFY2(info.ok(), qPrintable(info.error()));
        // Container lengths differ from the nominal one by the sound's last packet.
        QVERIFY2(std::abs(info->duration - duration) < 0.1, qPrintable(QString::number(info->duration)));
        QCOMPARE(info->rotation, rotation);
        const std::array<int32_t, 9> degenerate{};
        QCOMPARE(rotationFromDisplayMatrix(degenerate.data()), 0);
        QCOMPARE(info->displaySize, display);
        QCOMPARE(info->videoCodec, codec);
        QVERIFY(info->frameDuration > 0.0 && info->frameDuration < 0.05);
        const QList<double> span = info->picturesEnd > 0.0 ? QList<double>{info->picturesStart, info->picturesEnd} : QList<double>{};
        // Where the file does not say, FFmpeg may give the pictures its whole length.
        if (pictures.isEmpty() && !span.isEmpty())
            pictures = {0.0, info->duration};
        QVERIFY2(span.size() == pictures.size()
                     && std::equal(span.begin(), span.end(), pictures.begin(), [](double a, double b) { return std::abs(a - b) < 0.001; }),
                 qPrintable(QStringLiteral("%1 to %2").arg(info->picturesStart).arg(info->picturesEnd)));
        QCOMPARE(int(std::count_if(info->streams.begin(), info->streams.end(),
                               [](const StreamInfo& stream) { return stream.kind == StreamInfo::Kind::Audio; })),
                 audioStreams);
    }

    void thumbnailsAreUprightAndNear_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QList<double>>("bounds"); // of stretches asked for in turn of one source
        QTest::addColumn<QSize>("size");           // empty: half the video's own
        QTest::addColumn<double>("shows");         // the first picture's time; -1: any in its stretch

        // Slots of a 10 s video: a keyframe (2 s apart) inside the slot, or none.
        QTest::newRow("H.264, keyframe in the slot") << "h264.mp4" << QList<double>{7.5, 8.75} << QSize() << -1.0;
        // Two keyframes in it (2.0 and 4.0): the first, nearest the stretch's start.
        QTest::newRow("H.264, the first keyframe in the slot") << "h264.mp4" << QList<double>{1.5, 5.0} << QSize() << 2.0;
        // Its first keyframe is decoded before 0 (B-frames): the first slot shows it.
        QTest::newRow("H.264, the opening picture") << "h264.mp4" << QList<double>{0.0, 5.0} << QSize() << 0.0;
        QTest::newRow("H.264, decoded on from the keyframe before") << "h264.mp4" << QList<double>{2.5, 3.75} << QSize() << -1.0;
        QTest::newRow("rotated") << "rotated.mp4" << QList<double>{2.5, 3.75} << QSize() << -1.0;
        QTest::newRow("HEVC") << "hevc.mp4" << QList<double>{6.25, 7.5} << QSize() << -1.0;
        QTest::newRow("open GOP") << "opengop.mp4" << QList<double>{3.75, 5.0, 6.25} << QSize() << -1.0;
        QTest::newRow("Matroska") << "h264.mkv" << QList<double>{8.75, 10.0} << QSize() << -1.0;
        // No index: the seek for the last slot lands past the keyframe it needs.
        QTest::newRow("MPEG-TS, the last slot") << "h264.mts" << QList<double>{8.75, 10.0} << QSize() << -1.0;
        // Times count from the file's start, as a split's do, not from the picture's.
        QTest::newRow("picture starting 1.5 s after the sound") << "late.mkv" << QList<double>{3.0, 4.25} << QSize() << -1.0;
        // A whole strip decoded from one keyframe, each picture from its own eighth.
        QTest::newRow("3 s, one keyframe") << "onekey.mp4" << QList<double>{0, .375, .75, 1.125, 1.5, 1.875, 2.25, 2.625, 3}
                                           << QSize() << -1.0;
        // Keyframes 10 s apart: some slots hold one, others are decoded on to.
        QTest::newRow("60 s") << "minute.mp4" << QList<double>{0, 7.5, 15, 22.5, 30, 37.5, 45, 52.5, 60}
                              << QSize(160, 120) << -1.0;
        // Upright in a landscape slot: its middle, not the whole picture squeezed in.
        QTest::newRow("portrait") << "portrait.mp4" << QList<double>{0.75, 1.125} << QSize(160, 90) << -1.0;
    }

    void thumbnailsAreUprightAndNear()
    {
        QFETCH(QString, file);
        QFETCH(QList<double>, bounds);
        QFETCH(QSize, size);
        QFETCH(double, shows);

        const Outcome<std::unique_ptr<ThumbnailSource>> source = ThumbnailSource::open(fixture(file));
        QVERIFY2(source.ok(), qPrintable(source.error()));
        if (size.isEmpty())
            size = probeVideo(fixture(file))->displaySize / 2;
        // ffmpeg turns its pictures as the file says: the one most like each picture
        // must be upright and shown within the picture's own stretch.
        const std::vector<ShownFrame> frames = shownFrames(fixture(file), bounds.last());
        for (qsizetype k = 0; k + 1 < bounds.size(); ++k) {
            const Outcome<QImage> picture = source.value()->frameWithin(bounds[k], bounds[k + 1], size);
            QVERIFY2(picture.ok(), qPrintable(picture.error()));
            QCOMPARE(picture->size(), size);
            const ShownFrame* best = nullptr;
            double least = 1e9;
            for (const ShownFrame& frame : frames) {
                // Only from a keyframe interval (10 s at the most) before: the frames
                // a thumbnail taken too early would show.
                if (frame.time < bounds[k] - 10.0)
                    continue;
                if (const double d = difference(picture.value(), frame.picture); d < least) {
                    least = d;
                    best = &frame;
                }
            }
            QVERIFY(best);
            QVERIFY2(least < 6.0 && best->time >= bounds[k] - 1e-3 && best->time < bounds[k + 1],
                     qPrintable(QStringLiteral("stretch %1-%2 s shows the frame at %3 s (difference %4)")
                                    .arg(bounds[k]).arg(bounds[k + 1]).arg(best->time).arg(least)));
            if (k == 0 && shows >= 0.0)
                QVERIFY2(std::abs(best->time - shows) < 1e-3, qPrintable(QString::number(best->time)));
        }
        if (file == QLatin1String("portrait.mp4")) {
            // Its black square in the middle stays square.
            const QSize square = darkMiddle(source.value()->frameWithin(bounds[0], bounds[1], size).value());
            QVERIFY2(std::abs(square.width() - square.height()) <= 3 && square.width() > 40,
                     qPrintable(QStringLiteral("%1x%2").arg(square.width()).arg(square.height())));
        }
    }

    // Paused on a keyframe, the editor decodes the interval before it while the user
    // looks; the steps back across the keyframe then show from memory the very pictures
    // a decoding of their own gives.
    void stepsBackAcrossAKeyframe_data()
    {
        QTest::addColumn<QString>("file");

        QTest::newRow("H.264") << "h264.mp4";
        // Its keyframe at 2 s is a CRA picture, whose leading pictures are shown before it.
        QTest::newRow("HEVC with open GOPs") << "hevc.mp4";
        QTest::newRow("HEVC, 10 bits") << "hevc10.mp4";
    }

    void stepsBackAcrossAKeyframe()
    {
        QFETCH(QString, file);

        const double frame = probeVideo(fixture(file))->frameDuration;
        const double key = 2.0; // from the file's start, as the editor counts
        const QSize box(160, 90);
        Outcome<std::unique_ptr<StillFrames>> paused = StillFrames::open(fixture(file));
        QVERIFY2(paused.ok(), qPrintable(paused.error()));
        QVERIFY(paused.value()->pictureAt(key, box).ok());
        QVERIFY(!paused.value()->holds(key - frame));
        paused.value()->decodeEarlier(key, [] { return false; });
        QVERIFY(paused.value()->holds(key - frame));
        for (const double time : {key - frame, key - 2 * frame, key - 1.0}) {
            const Outcome<FramePicture> kept = paused.value()->pictureAt(time, box);
            const Outcome<FramePicture> decoded = StillFrames::open(fixture(file)).value()->pictureAt(time, box);
            QVERIFY(kept.ok() && decoded.ok());
            QCOMPARE(kept->time, decoded->time);
            QVERIFY2(kept->image == decoded->image, qPrintable(QString::number(time)));
        }
    }

    void adjacentClipsHoldEveryFrameOnce_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QList<double>>("splits");
        QTest::addColumn<bool>("keyframesOnly");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<int>("copiedPercent"); // at least this share of frames bit-identical

        // Between frames, on frames, on a keyframe (2.0), 0.6 ms after a frame (the next
        // one starts the clip: only times printed to the millisecond stand for the frame
        // before) and among the last frames.
        QTest::newRow("H.264 with B-frames") << "h264.mp4" << QList<double>{2.0, 3.33, 4.04, 5.0006, 7.96, 9.95} << false << "mp4" << 60;
        // Between keyframes, and on one (it starts the clip).
        QTest::newRow("H.264, keyframes only") << "h264.mp4" << QList<double>{3.33, 4.0, 6.71} << true << "mp4" << 100;
        // 1.96 is a leading picture of the CRA picture at 2.0: decoded after it, shown
        // before. A clip that ends on a CRA (4.0) encodes the CRA's leading pictures
        // again; the next one leaves them out.
        QTest::newRow("HEVC") << "hevc.mp4" << QList<double>{1.96, 3.33, 4.0, 6.71, 9.91, 9.95} << false << "mp4" << 60;
        // Keyframe mode splits at CRAs too.
        QTest::newRow("HEVC, keyframes only") << "hevc.mp4" << QList<double>{3.33, 6.0} << true << "mp4" << 90;
        QTest::newRow("HEVC, 10 bits") << "hevc10.mp4" << QList<double>{1.3, 2.5} << false << "mp4" << 50;
        QTest::newRow("variable frame rate") << "vfr.mp4" << QList<double>{1.01, 5.55, 9.0} << false << "mp4" << 50;
        // Every keyframe but the first has pictures decoded after it that refer back
        // across it: a copy starts at one as an IDR picture and leaves them to the
        // head; 3.96 ends a frame before a keyframe, 6.0 on one.
        QTest::newRow("open GOP") << "opengop.mp4" << QList<double>{1.95, 2.01, 3.96, 6.0, 7.5} << false << "mp4" << 60;
        QTest::newRow("open GOP, keyframes only") << "opengop.mp4" << QList<double>{3.3, 6.0} << true << "mp4" << 90;
        // Its keyframes but the first are named by their pictures only.
        QTest::newRow("open GOP, the index names only the first keyframe")
            << "opengop-idronly.mp4" << QList<double>{3.3, 6.0} << true << "mp4" << 90;
        // Its picture starts 21 ms after its sound: splits between frames either way.
        QTest::newRow("open GOP in MPEG-TS") << "opengop.ts" << QList<double>{1.03, 2.51, 3.95} << false << "mp4" << 50;
        // Its edit list hides the first 1.3 s of its first GOP: keyframe mode encodes the
        // frames from the first one shown to the next keyframe.
        QTest::newRow("edit list starting mid-GOP") << "editlist.mp4" << QList<double>{0.5, 3.0} << false << "mp4" << 50;
        QTest::newRow("edit list starting mid-GOP, keyframes only") << "editlist.mp4" << QList<double>{0.5, 3.0} << true << "mp4" << 80;
        // Heads keep the source's field order and reordering depth, so GStreamer's
        // decoder keeps its picture buffer across the join.
        QTest::newRow("interlaced") << "interlaced.mp4" << QList<double>{1.3, 3.5} << false << "mp4" << 50;
        QTest::newRow("interlaced, MPEG-TS") << "interlaced.ts" << QList<double>{1.35, 3.55} << false << "mp4" << 50;
        // Its heads are lossless too, so every frame is the source's.
        QTest::newRow("lossless H.264") << "lossless.mp4" << QList<double>{1.3, 2.5} << false << "mp4" << 100;
        QTest::newRow("QuickTime") << "apple.mov" << QList<double>{3.33, 6.71} << false << "mov" << 60;
        QTest::newRow("Matroska") << "h264.mkv" << QList<double>{3.33, 6.71} << false << "mkv" << 60;
        // Its picture starts 21 ms after its sound: splits between frames either way;
        // 3.95 is a frame before a keyframe, whose B-frames refer to the frame at it.
        QTest::newRow("MPEG-TS from a camcorder") << "h264.mts" << QList<double>{1.99, 3.95, 7.51} << false << "mp4" << 50;
        QTest::newRow("AV1") << "av1.mp4" << QList<double>{1.3, 2.5} << false << "mp4" << 50;
        QTest::newRow("WebM with VP8") << "vp8.webm" << QList<double>{1.5, 2.0, 4.1} << false << "webm" << 50;
        // Frames encoded again keep their transparency: GStreamer plays no clip whose
        // first frame lacks it.
        QTest::newRow("WebM with transparent VP9") << "vp9alpha.webm" << QList<double>{1.3, 2.5} << false << "webm" << 40;
        QTest::newRow("video only") << "videoonly.mp4" << QList<double>{3.33, 6.71} << false << "mp4" << 60;
        QTest::newRow("picture starting after the sound") << "late.mkv" << QList<double>{3.0, 6.51} << false << "mkv" << 100;
        QTest::newRow("picture starting after the sound, MP4") << "late.mp4" << QList<double>{3.0, 6.51} << false << "mp4" << 50;
        // The first range ends before the first picture: the next clip keeps its sound.
        QTest::newRow("no picture before the first split") << "late.mp4" << QList<double>{1.0, 3.0} << false << "mp4" << 50;
        // Codecs MP4 cannot carry go into Matroska; 3GP stays 3GP. WMV's and Theora's
        // frames are decoded under the source's stream header, which ours match.
        QTest::newRow("Windows Media") << "wmv2.wmv" << QList<double>{2.5, 4.0} << false << "mkv" << 50;
        QTest::newRow("Flash video") << "flv1.flv" << QList<double>{2.5, 4.0} << false << "mkv" << 50;
        QTest::newRow("Ogg Theora") << "theora.ogv" << QList<double>{2.5, 4.0} << false << "mkv" << 50;
        QTest::newRow("3GP with H.263") << "h263.3gp" << QList<double>{2.5, 4.0} << false << "3gp" << 50;
        // Open GOPs: a copy starts at an I-frame and leaves its first B-frames to the
        // head. Matroska, where MP4 readers disagree on reordered MPEG-2 frames.
        QTest::newRow("MPEG-2 with open GOPs") << "mpeg2.ts" << QList<double>{1.1, 2.3, 4.0, 6.1, 7.3, 8.5} << false << "mkv" << 50;
        // Our frames' layer header says frames may be reordered, as the source's does.
        QTest::newRow("MPEG-4 Part 2 with open GOPs") << "mpeg4.mp4" << QList<double>{1.1, 2.0, 4.96} << false << "mp4" << 50;
        // Decode times only, and pictures never reordered: each is shown as decoded.
        // Matroska, which carries PCM sound.
        QTest::newRow("AVI with PCM sound") << "pcm.avi" << QList<double>{2.5, 4.0} << false << "mkv" << 50;
        QTest::newRow("AVI with PCM sound, keyframes only") << "pcm.avi" << QList<double>{2.5, 4.0} << true << "mkv" << 100;
        // Packed B-frames, unpacked; each I- or P-frame is shown as the next is decoded.
        QTest::newRow("AVI with Xvid B-frames") << "xvid.avi" << QList<double>{1.1, 3.5, 4.96} << false << "mp4" << 50;
        QTest::newRow("AVI with Xvid B-frames, keyframes only") << "xvid.avi" << QList<double>{1.1, 3.5} << true << "mp4" << 100;
        // Only some of its frames state their shown time; its frames are not on a grid
        // of whole frames from the file's start.
        QTest::newRow("MPEG program stream") << "mpeg2.mpg" << QList<double>{2.5, 4.1} << false << "mkv" << 50;
        QTest::newRow("MPEG-1 with open GOPs") << "mpeg1.mpg" << QList<double>{1.1, 3.5} << false << "mkv" << 50;
    }

    // Clips are exact in FFmpeg and GStreamer: the frames asked for, each bit-identical
    // to the source's or encoded again above 35 dB PSNR, no hidden frames, and together
    // every frame of the source once.
    void adjacentClipsHoldEveryFrameOnce()
    {
        QFETCH(QString, file);
        QFETCH(QList<double>, splits);
        QFETCH(bool, keyframesOnly);
        QFETCH(QString, extension);
        QFETCH(int, copiedPercent);

        const QList<oracle::Frame> source = oracle::videoFrames(fixture(file));
        QVERIFY(source.size() > 90);
        // The frame shown at or after a time (half a millisecond after its start still
        // counts), as the editor means a split there.
        const auto frameAt = [&source](double time) {
            return int(std::find_if(source.begin(), source.end(), [time](const oracle::Frame& f) { return f.time >= time - 0.0005; })
                       - source.begin());
        };
        const QList<double> keyframes = oracle::keyframeTimes(fixture(file));
        QList<double> bounds{0.0};
        for (const double split : splits) {
            // In keyframe mode, the keyframe at or before the frame the split stands for.
            const int frame = frameAt(split);
            const double shown = frame < source.size() ? source[frame].time : split;
            const auto before = std::find_if(keyframes.rbegin(), keyframes.rend(), [shown](double k) { return k <= shown + 1e-6; });
            bounds << (keyframesOnly ? *before : split);
        }
        bounds.append(oracle::probe(fixture(file), QStringLiteral("format=duration")).toDouble());
        std::optional<std::pair<double, double>> firstStart; // the first clip's start, as reported and as read
        const CutMode mode = keyframesOnly ? CutMode::KeyframesOnly : CutMode::Exact;
        int identical = 0;
        int total = 0;
        qint64 sound = 0;
        qint64 bytes = 0;
        for (int k = 0; k + 1 < bounds.size(); ++k) {
            const QString folder = dir->filePath(QStringLiteral("cut-%1").arg(k));
            QDir().mkpath(folder);
            const QString path = folder + QStringLiteral("/split-%1.clip").arg(k);
            const CutResult result = StreamCopyCutter().cut(fixture(file), k == 0 ? 0.0 : splits[k - 1],
                                                            k + 2 == bounds.size() ? bounds.back() : splits[k],
                                                            ClipFile(path, folder), mode);
            const int first = frameAt(bounds[k]);
            const int end = k + 2 == bounds.size() ? int(source.size()) : frameAt(bounds[k + 1]);
            // A range before the first picture holds none; its sound goes with the next.
            if (first == end) {
                QCOMPARE(int(result.kind), int(CutResult::Kind::Empty));
                continue;
            }
            QVERIFY2(result.kind == CutResult::Kind::Written, qPrintable(result.error));
            QCOMPARE(result.extension, extension);
            // The start it reports (where the editor says a split moved to) is its first
            // frame's, counted as the first clip's is.
            if (!firstStart)
                firstStart = std::pair(result.start, source[first].time);
            QVERIFY2(std::abs((result.start - firstStart->first) - (source[first].time - firstStart->second)) < 1e-3,
                     qPrintable(QStringLiteral("%1 for %2").arg(result.start).arg(source[first].time)));
            QString complaints;
            const QList<oracle::Frame> clip = oracle::videoFrames(path, &complaints);
            QCOMPARE(int(clip.size()), end - first);
            QVERIFY2(complaints.isEmpty(), qPrintable(complaints));
            QCOMPARE(oracle::videoPackets(path), int(clip.size()));
            QCOMPARE(oracle::gstreamerPictures(path), int(clip.size()));
            // The picture's edit starts at the first sample's shown time, whatever the
            // reordering: VLC drops the pictures decoded in an edit that starts later.
            if (extension != QLatin1String("mkv") && extension != QLatin1String("webm"))
                QCOMPARE(oracle::videoEditStarts(path), QList<qint64>{0});
            // The clip's timeline starts at its first picture; that of the clip holding
            // the source's first picture at the source's, which keeps any sound before
            // it. FFmpeg reports Matroska and MPEG-TS sources' pictures from their own
            // start, not the file's, and Matroska rounds to the millisecond.
            // FFmpeg counts from the file's earliest time: a later clip's Opus sound
            // starts decoding before its first picture.
            const bool mp4Source = file.endsWith(QLatin1String(".mp4")) || file.endsWith(QLatin1String(".mov"));
            const double preRoll = std::max(0.0, -oracle::probe(path, QStringLiteral("format=start_time")).toDouble());
            QVERIFY2(std::abs(clip.front().time - (first == 0 ? source.front().time : preRoll)) < (first == 0 && !mp4Source ? 0.025 : 1e-3),
                     qPrintable(QString::number(clip.front().time)));
            // Opus in WebM: the clip holding the first picture keeps the sound beside it
            // as the source has it, the codec's delay and all.
            if (first == 0 && extension == QLatin1String("webm")) {
                const auto lead = [](const QString& video) {
                    const auto startOf = [&video](const char* stream) {
                        return oracle::probe(video, QStringLiteral("frame=pts_time"), QLatin1String(stream)).section(QLatin1Char('\n'), 0, 0).toDouble();
                    };
                    return startOf("v:0") - startOf("a:0");
                };
                const double kept = lead(path);
                const double was = lead(fixture(file));
                QVERIFY2(std::abs(kept - was) < 1e-3, qPrintable(QStringLiteral("%1 s, in the source %2 s").arg(kept).arg(was)));
            }
            int same = 0;
            for (int i = 0; i < clip.size(); ++i)
                same += clip[i].hash == source[first + i].hash ? 1 : 0;
            if (same < clip.size()) {
                const double psnr = oracle::lowestPsnr(path, fixture(file), first, int(clip.size()));
                QVERIFY2(psnr >= 35.0, qPrintable(QStringLiteral("split-%1: %2 dB").arg(k).arg(psnr)));
            }
            identical += same;
            total += int(clip.size());
            sound += oracle::audioSamples(path);
            bytes += oracle::videoBytes(path);
        }
        QCOMPARE(total, int(source.size()));
        // Frames encoded again take about the bytes of those they replace
        // (a fixed fine quality made these clips half as large again as their source;
        // MPEG-2 frames, each with its source frame's quantiser, no larger).
        if ((file == QLatin1String("h264.mp4") || file == QLatin1String("hevc.mp4")) && !keyframesOnly) {
            const qint64 whole = oracle::videoBytes(fixture(file));
            QVERIFY2(bytes * 10 <= whole * 14, qPrintable(QStringLiteral("%1 of %2 bytes").arg(bytes).arg(whole)));
        }
        if (file == QLatin1String("mpeg2.ts")) {
            const qint64 whole = oracle::videoBytes(fixture(file));
            QVERIFY2(bytes * 100 <= whole * 105, qPrintable(QStringLiteral("%1 of %2 bytes").arg(bytes).arg(whole)));
        }
        // Opus in WebM: every join within a millisecond, whatever the packets' grid.
        if (extension == QLatin1String("webm")) {
            const qint64 whole = oracle::audioSamples(fixture(file));
            QVERIFY2(std::abs(sound - whole) <= 48 * splits.size(), qPrintable(QStringLiteral("%1 of %2 samples").arg(sound).arg(whole)));
        }
        QVERIFY2(identical * 100 >= copiedPercent * total, qPrintable(QStringLiteral("%1 of %2 copied").arg(identical).arg(total)));
    }

    void keepsWhatTheSourceCarries_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("entries");
        QTest::addColumn<QString>("streams");
        QTest::addColumn<QString>("expected"); // empty: what the source says

        QTest::newRow("hvc1 tag") << "hevc.mp4" << "stream=codec_tag_string" << "v:0" << "";
        QTest::newRow("rotation") << "rotated.mp4" << "stream_side_data=rotation" << "v:0" << "";
        QTest::newRow("title") << "h264.mp4" << "format_tags=title" << "" << "";
        QTest::newRow("audio language") << "h264.mp4" << "stream_tags=language" << "a:0" << "";
        QTest::newRow("Apple camera make") << "apple.mov" << "format_tags=com.apple.quicktime.make" << "" << "";
        // The clip starts with the frame at 2.52 s; MP4 keeps whole seconds. Galleries
        // sort clips by this time.
        QTest::newRow("creation time plus the start") << "h264.mp4" << "format_tags=creation_time" << ""
                                                      << "2024-05-01T10:00:02.000000Z";
        // The clip runs from 2.52 s to 7.52 s: the first line shows on from its start,
        // then a blank, and the second line stops at the clip's end.
        QTest::newRow("subtitles across the ends") << "subs.mp4" << "packet=pts_time,duration_time" << "s:0"
                                                   << "0.000000\n1.480000\n1.480000\n2.000000\n3.480000\n1.520000";
        QTest::newRow("timecode of the first frame") << "apple.mov" << "stream_tags=timecode" << "v:0" << "01:00:02:13";
        // Matroska's attachments: the fonts its subtitles are drawn with.
        QTest::newRow("a font attached") << "fonts.mkv" << "stream=codec_name:stream_tags=filename,mimetype" << "t" << "";
        // Chapters to 4 s and after, of a clip from 2.501 s to 7.501 s (its frames'
        // times): each cut to the clip.
        QTest::newRow("chapters") << "chapters.mkv" << "chapter=start_time,end_time:chapter_tags=title" << ""
                                  << "0.000000\n1.499000\nIntro\n1.499000\n5.000000\nRest";
        QTest::newRow("a cover picture") << "cover.mp4" << "stream=codec_name,width:stream_disposition=attached_pic" << "v:1" << "";
        // The frames encoded again say the source's colours as its own frames do.
        QTest::newRow("BT.709 colours") << "apple.mov" << "parameter sets" << "v:0" << "1 1 1";
    }

    void keepsWhatTheSourceCarries()
    {
        QFETCH(QString, file);
        QFETCH(QString, entries);
        QFETCH(QString, streams);
        QFETCH(QString, expected);

        const auto read = [&entries, &streams](const QString& video) {
            return entries == QLatin1String("parameter sets") ? oracle::parameterSetColours(video)
                                                              : oracle::probe(video, entries, streams);
        };
        if (expected.isEmpty())
            expected = read(fixture(file));
        QVERIFY2(!expected.isEmpty(), "the fixture lacks what this row checks");
        const QString path = dir->filePath(QStringLiteral("clip.mp4"));
        const CutResult result = StreamCopyCutter().cut(fixture(file), 2.5, 7.5, ClipFile(path, dir->path()));
        QVERIFY2(result.kind == CutResult::Kind::Written, qPrintable(result.error));
        QCOMPARE(read(path), expected);
        const QByteArray head = oracle::head(path);
        QVERIFY(result.extension == QLatin1String("mkv") || (head.contains("moov") && head.indexOf("moov") < head.indexOf("mdat")));
        // Sound starts and ends with the picture, within an audio frame (1024 samples at 48 kHz).
        const auto start = [&path](const char* stream) {
            return oracle::probe(path, QStringLiteral("frame=pts_time"), QLatin1String(stream)).section(QLatin1Char('\n'), 0, 0).toDouble();
        };
        const double video = start("v:0");
        const double audio = start("a:0");
        QVERIFY2(std::abs(audio - video) <= 1024.0 / 48000.0 + 1e-6, qPrintable(QStringLiteral("%1 %2").arg(video).arg(audio)));
        const double videoLength = oracle::probe(path, QStringLiteral("stream=duration"), QStringLiteral("v:0")).toDouble();
        const double audioLength = oracle::probe(path, QStringLiteral("stream=duration"), QStringLiteral("a:0")).toDouble();
        QVERIFY2(std::abs(audioLength - videoLength) <= 2 * 1024.0 / 48000.0,
                 qPrintable(QStringLiteral("%1 s, %2 s").arg(videoLength).arg(audioLength)));
    }

    void emptyRanges_data()
    {
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("end");

        // 25 frames a second: frames at 3.32 and 3.36, none in between.
        QTest::newRow("between two frames") << 3.33 << 3.35;
        QTest::newRow("after the last frame") << 9.99 << 10.0;
        QTest::newRow("end before start") << 5.0 << 4.0;
    }

    void emptyRanges()
    {
        QFETCH(double, start);
        QFETCH(double, end);

        const QString clip = dir->filePath(QStringLiteral("split-0.mp4"));
        const CutResult result = StreamCopyCutter().cut(fixture(QStringLiteral("h264.mp4")), start, end, ClipFile(clip, dir->path()));
        QCOMPARE(int(result.kind), int(CutResult::Kind::Empty));
        QCOMPARE(QFileInfo(clip).size(), 0);
    }

    // What a planner read of a file (its streams, its plans) is shared with the next
    // clips' planners only for the same question about the same file: another video
    // saved under its name, with the same tracks and picture size, is read afresh, and
    // a range planned at keyframes is planned again to be cut exactly.
    void sharedReadingsAnswerTheirOwnQuestion_data()
    {
        QTest::addColumn<QString>("replacement"); // saved under the video's name after the preview
        QTest::addColumn<QString>("codec");

        QTest::newRow("another video under its name") << "hevc.mp4" << "hevc";
        QTest::newRow("the same range cut exactly") << "" << "h264";
    }

    void sharedReadingsAnswerTheirOwnQuestion()
    {
        QFETCH(QString, replacement);
        QFETCH(QString, codec);

        const QString video = dir->filePath(QStringLiteral("video.mp4"));
        QVERIFY(QFile::copy(fixture(QStringLiteral("h264.mp4")), video));
        const Outcome<StreamCopyCutter::Preview> preview
            = StreamCopyCutter::preview(video, {{2.5, 7.5}}, CutMode::KeyframesOnly, false);
        QVERIFY2(preview && preview->streamsRead, "an MP4's readings are kept while the preview is");
        QCOMPARE(preview->clips.front().start, 2.0); // moved back to the keyframe
        if (!replacement.isEmpty()) {
            QVERIFY(QFile::remove(video));
            QVERIFY(QFile::copy(fixture(replacement), video));
        }
        const QString clip = dir->filePath(QStringLiteral("split-0.mp4"));
        const CutResult result = StreamCopyCutter().cut(video, 2.5, 7.5, ClipFile(clip, dir->path()));
        QVERIFY2(result.kind == CutResult::Kind::Written, qPrintable(result.error));
        QCOMPARE(oracle::probe(clip, QStringLiteral("stream=codec_name"), QStringLiteral("v:0")), codec);
        // The frames from 2.52 s to 7.48 s, as asked, not from the keyframe at 2 s.
        QCOMPARE(oracle::videoPackets(clip), 125);
    }

    // The waveform's peaks: the loudest sample of each 1/400 s of the first sound track,
    // kept in a cache folder and read from there while the file is unchanged.
    void soundPeaks_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("sound");

        QTest::newRow("AAC in MP4") << "pause.mp4" << true;
        QTest::newRow("16-bit PCM in Matroska") << "pause.mkv" << true;
        QTest::newRow("no sound: no peaks, and no error") << "videoonly.mp4" << false;
    }

    void soundPeaks()
    {
        QFETCH(QString, file);
        QFETCH(bool, sound);
        const QString video = dir->filePath(file);
        QVERIFY(QFile::copy(fixture(file), video));
        const QString cache = dir->filePath(QStringLiteral("cache"));
        // Two copies kept for other videos, used two days and a day ago; the folder holds
        // one of them beside the new copy, so the one used longest ago goes.
        QDir().mkpath(cache);
        for (const int days : {2, 1}) {
            QFile other(QDir(cache).filePath(QStringLiteral("other-%1.peaks").arg(days)));
            QVERIFY(other.open(QIODevice::WriteOnly) && other.write(QByteArray(100'000, 'x')) == 100'000);
            QVERIFY(other.setFileTime(QDateTime::currentDateTime().addDays(-days), QFileDevice::FileModificationTime));
        }
        const CutProgress progress;
        const Outcome<std::vector<std::uint8_t>> peaks = cachedSoundPeaks(video, 400, cache, CancelToken(), 103'000, progress);
        QVERIFY2(peaks.ok(), qPrintable(peaks.error()));
        if (!sound) {
            QVERIFY(peaks->empty());
            return;
        }
        // The reading said how far it came: to the last sound packet of the 4 s.
        QVERIFY2(progress.fraction() > 0.9, qPrintable(QString::number(progress.fraction())));
        QVERIFY2(std::abs(int(peaks->size()) - 1600) <= 20, qPrintable(QString::number(peaks->size())));
        const auto range = [&peaks](double from, double to) {
            return std::minmax_element(peaks->begin() + int(from * 400), peaks->begin() + int(to * 400));
        };
        // Half of full scale in every stretch of the tone; silence in the pause (AAC
        // rings a little at its edges).
        const auto tone = range(0.2, 1.4);
        QVERIFY2(*tone.first > 100 && *tone.second < 150, qPrintable(QStringLiteral("%1 to %2").arg(*tone.first).arg(*tone.second)));
        QVERIFY2(*range(1.6, 2.4).second <= 3, qPrintable(QString::number(*range(1.6, 2.4).second)));
        QVERIFY(*range(2.6, 3.8).first > 100);

        // Kept: with the file made unreadable (same size, same time), the peaks come from
        // the cache folder. A damaged copy there is not trusted.
        QStringList kept = QDir(cache).entryList(QDir::Files, QDir::Name);
        QCOMPARE(kept.size(), 2);
        QVERIFY(kept.removeOne(QStringLiteral("other-1.peaks")));
        QFile changed(video);
        const QDateTime modified = QFileInfo(video).lastModified();
        QVERIFY(changed.open(QIODevice::ReadWrite));
        QVERIFY(changed.write(QByteArray(int(changed.size()), '\0')) == changed.size());
        QVERIFY(changed.setFileTime(modified, QFileDevice::FileModificationTime));
        changed.close();
        const Outcome<std::vector<std::uint8_t>> again = cachedSoundPeaks(video, 400, cache, CancelToken());
        QVERIFY2(again.ok(), qPrintable(again.error()));
        QCOMPARE(again.value(), peaks.value());
        QFile damaged(QDir(cache).filePath(kept.first()));
        QVERIFY(damaged.resize(20));
        QVERIFY(!cachedSoundPeaks(video, 400, cache, CancelToken()).ok());
    }

    void badFiles_data() { addBadFileRows(); }

    void badFiles()
    {
        QFETCH(QString, file);
        QFETCH(QString, copyAs);
        QFETCH(int, exitCode);
        QFETCH(QString, words);

        const QString video = badFilePath(file, copyAs, dir->path());
        QVERIFY(!video.isEmpty());
        // What cannot be read is refused by the probe and the thumbnails, naming the file;
        // what opens but has no clip that could be cut, by the preview of its cuts.
        const Outcome<VideoInfo> info = probeVideo(video);
        QCOMPARE(ThumbnailSource::open(video).ok(), info.ok());
        const double whole = std::numeric_limits<double>::infinity();
        const Outcome<StreamCopyCutter::Preview> preview = info
            ? StreamCopyCutter::preview(video, {{0.0, whole}}, CutMode::Exact, false)
            : Outcome<StreamCopyCutter::Preview>::failure(info.error());
        QCOMPARE(preview.ok(), exitCode != 2);
        if (exitCode == 2)
            QVERIFY2(preview.error().contains(words), qPrintable(preview.error()));
        // What cannot be cut fails with the reason (the file it wrote into is the
        // caller's to drop; the command line's run of the row checks the library).
        const QString out = dir->filePath(QStringLiteral("out"));
        QDir().mkpath(out);
        // The whole video as one clip: the first keyframe and the end both count.
        const CutResult result = StreamCopyCutter().cut(video, 0.0, std::numeric_limits<double>::infinity(),
                                                        ClipFile(out + QStringLiteral("/split-0.clip"), out));
        QCOMPARE(result.kind == CutResult::Kind::Written, exitCode == 0);
        if (exitCode != 0)
            QVERIFY2(result.error.contains(words), qPrintable(result.error));
    }

private:
    std::unique_ptr<QTemporaryDir> dir;
};

QTEST_APPLESS_MAIN(TestMediaEngine)
#include "tst_mediaengine.moc"
