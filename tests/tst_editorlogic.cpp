#include <cmath>
#include <limits>

#include <QTest>

#include "ControlsRules.h"
#include "CutModel.h"
#include "ExportPlan.h"
#include "Playhead.h"
#include "StripGeometry.h"
#include "TimeText.h"

// The editor's logic, each rule's table once: the cut model and its export plan, time
// text, the playhead, the strip's geometry and the controls.
namespace {

// A double adds a split point there; a string is a command: "undo", "delete INDEX",
// "move INDEX TO", "parts N", "every SECONDS".
using Ops = QList<QVariant>;

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();
const double NEXT = std::nextafter(0.5, 1.0);

// "none", or the value.
QString text(const std::optional<double>& value)
{
    return value ? QString::number(*value) : QStringLiteral("none");
}

} // namespace

class TestEditorLogic : public QObject {
    Q_OBJECT

private slots:
    void edits_data()
    {
        QTest::addColumn<Ops>("ops");
        // Per op: the count returned (new count for a split, points added by parts and
        // every, the place from 1 of the point an undo restored or removed), 1 for a
        // delete or move done, or 0 when the op was refused or did nothing.
        QTest::addColumn<QList<int>>("results");
        QTest::addColumn<QList<double>>("splitPoints");
        QTest::addColumn<int>("actions");
        QTest::addColumn<QList<double>>("clips"); // start and end of every clip of a 10-second video

        QTest::newRow("fresh model: undo does nothing, one whole clip")
            << Ops{"undo"} << QList<int>{0} << QList<double>{} << 0 << QList<double>{0, 10};
        QTest::newRow("same place twice adds one point")
            << Ops{0.5, 0.5} << QList<int>{1, 0} << QList<double>{0.5} << 1 << QList<double>{0, 5, 5, 10};
        QTest::newRow("neighbouring doubles are distinct points")
            << Ops{0.5, NEXT} << QList<int>{1, 2} << QList<double>{0.5, NEXT} << 2
            << QList<double>{0, 5, 5, NEXT * 10, NEXT * 10, 10};
        QTest::newRow("out of order; undo removes the last added, not an end one")
            << Ops{0.7, 0.2, 0.5, "undo"} << QList<int>{1, 2, 3, 3} << QList<double>{0.7, 0.2} << 3
            << QList<double>{0, 2, 2, 7, 7, 10};
        QTest::newRow("undo, the same place again, undo down to empty")
            << Ops{0.5, "undo", 0.5, "undo", "undo"} << QList<int>{1, 1, 1, 1, 0} << QList<double>{} << 2
            << QList<double>{0, 10};
        QTest::newRow("past the end is clamped to the end")
            << Ops{1.02} << QList<int>{1} << QList<double>{1.0} << 1 << QList<double>{0, 10, 10, 10};
        QTest::newRow("clamped point equal to an existing one is refused")
            << Ops{1.0, 1.3} << QList<int>{1, 0} << QList<double>{1.0} << 1 << QList<double>{0, 10, 10, 10};
        QTest::newRow("before the start is clamped to the start, never to -0")
            << Ops{-0.25, 0.0} << QList<int>{1, 0} << QList<double>{0.0} << 1 << QList<double>{0, 0, 0, 10};
        QTest::newRow("non-finite positions are refused")
            << Ops{NaN, INF, -INF, 0.4} << QList<int>{0, 0, 0, 1} << QList<double>{0.4} << 1 << QList<double>{0, 4, 4, 10};
        QTest::newRow("a deleted point comes back in its place on undo")
            << Ops{0.7, 0.2, 0.5, "delete 1", "undo"} << QList<int>{1, 2, 3, 1, 2} << QList<double>{0.7, 0.2, 0.5} << 3
            << QList<double>{0, 2, 2, 5, 5, 7, 7, 10};
        QTest::newRow("a move onto another point is refused; a move is undone")
            << Ops{0.2, 0.6, "move 0 0.6", "move 0 0.4", "undo"} << QList<int>{1, 2, 0, 1, 1} << QList<double>{0.2, 0.6}
            << 2 << QList<double>{0, 2, 2, 6, 6, 10};
        QTest::newRow("equal parts skip a point already there and are one undo")
            << Ops{0.5, "parts 4", "undo"} << QList<int>{1, 2, 2} << QList<double>{0.5} << 3 << QList<double>{0, 5, 5, 10};
        // Redo makes again what undo took back, in its place, a command's points at once;
        // a new edit ends it.
        QTest::newRow("redo an add, a delete and a move")
            << Ops{0.7, 0.2, "delete 0", "move 0 0.4", "undo", "undo", "undo", "redo", "redo", "redo", "redo"}
            << QList<int>{1, 2, 1, 1, 1, 1, 2, 2, 1, 1, 0} << QList<double>{0.4} << 2 << QList<double>{0, 4, 4, 10};
        QTest::newRow("redo equal parts as one")
            << Ops{"parts 4", "undo", "redo"} << QList<int>{3, 1, 3} << QList<double>{0.25, 0.5, 0.75} << 3
            << QList<double>{0, 2.5, 2.5, 5, 5, 7.5, 7.5, 10};
        QTest::newRow("a new split ends redo") << Ops{0.3, "undo", 0.6, "redo"} << QList<int>{1, 1, 1, 0}
                                               << QList<double>{0.6} << 2 << QList<double>{0, 6, 6, 10};
        QTest::newRow("every 3 s: the last clip is shorter")
            << Ops{"every 3"} << QList<int>{3} << QList<double>{0.3, 0.6, 0.9} << 3
            << QList<double>{0, 3, 3, 6, 6, 9, 9, 10};
    }

    void edits()
    {
        QFETCH(Ops, ops);
        QFETCH(QList<int>, results);
        QFETCH(QList<double>, splitPoints);
        QFETCH(int, actions);
        QFETCH(QList<double>, clips);

        CutModel model(10.0);
        QList<int> got;
        for (const QVariant& op : ops) {
            const QStringList command = op.toString().split(QLatin1Char(' '));
            if (op.typeId() != QMetaType::QString)
                got << model.addSplitPoint(op.toDouble()).value_or(0);
            else if (command[0] == QLatin1String("undo"))
                got << (model.canUndo() ? model.undo()->index + 1 : 0);
            else if (command[0] == QLatin1String("redo"))
                got << (model.canRedo() ? model.redo()->index + 1 : 0);
            else if (command[0] == QLatin1String("delete"))
                got << int(model.removeSplitPoint(command[1].toInt()));
            else if (command[0] == QLatin1String("move"))
                got << int(model.moveSplitPoint(command[1].toInt(), command[2].toDouble()));
            else if (command[0] == QLatin1String("parts"))
                got << model.addSplitPoints(equalPartsPoints(command[1].toInt()));
            else
                got << model.addSplitPoints(everyPoints(command[1].toDouble(), model.duration()));
        }
        QCOMPARE(got, results);
        // The clips and the export plan, in timeline order, numbered and named from it; the
        // last ends on the duration itself. Deriving them leaves the placing order alone.
        const std::vector<PlannedCut> plan = exportPlan(model.splitPoints(), model.duration());
        QList<double> times;
        for (const Clip& clip : model.clips()) {
            QCOMPARE(clip.number, times.size() / 2 + 1);
            const PlannedCut& cut = plan[size_t(clip.number - 1)];
            QCOMPARE(cut.fileName, QStringLiteral("split-%1").arg(clip.number - 1));
            QCOMPARE(cut.isLast, clip.number == model.videoCount());
            QCOMPARE(cut.startTime, clip.startTime);
            QCOMPARE(cut.endTime, clip.endTime);
            times << clip.startTime << clip.endTime;
        }
        QCOMPARE(times, clips);
        QCOMPARE(int(plan.size()), model.videoCount());
        QCOMPARE(QList<double>(model.splitPoints().begin(), model.splitPoints().end()), splitPoints);
        QCOMPARE(int(model.actionsArray().size()), actions);
        for (std::int64_t action : model.actionsArray())
            QCOMPARE(action, CutModel::ADD_SPLIT_ACTION);
        QCOMPARE(model.splitPointCount(), int(splitPoints.size()));
        for (double point : model.splitPoints())
            QVERIFY(!std::signbit(point));
    }

    void splitPositionFromPointer_data()
    {
        QTest::addColumn<double>("offset");
        QTest::addColumn<double>("width");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<double>("position");

        QTest::newRow("middle") << 160.0 << 320.0 << true << 0.5;
        QTest::newRow("right edge") << 320.0 << 320.0 << true << 1.0;
        QTest::newRow("zero width has no fraction") << 0.0 << 0.0 << false << 0.0;
        QTest::newRow("NaN width has no fraction") << 10.0 << NaN << false << 0.0;
    }

    void splitPositionFromPointer()
    {
        QFETCH(double, offset);
        QFETCH(double, width);
        QFETCH(bool, valid);
        QFETCH(double, position);

        const std::optional<double> result = splitPosition(offset, width);
        QCOMPARE(result.has_value(), valid);
        if (valid)
            QCOMPARE(*result, position);
    }

    void timeText_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("truncated, not rounded") << 59.9 << "00:59";
        QTest::newRow("last fraction below an hour") << 3599.99 << "59:59";
        QTest::newRow("one hour keeps its hour") << 3600.0 << "1:00:00";
        QTest::newRow("1 h 2 min 5 s") << 3725.0 << "1:02:05";
        QTest::newRow("more than a hundred hours") << 360000.0 << "100:00:00";
        QTest::newRow("small negative") << -0.4 << "00:00";
        QTest::newRow("NaN") << NaN << "--:--";
        QTest::newRow("minus infinity") << -INF << "--:--";
        QTest::newRow("beyond 64-bit seconds") << 1e19 << "--:--";
    }

    void timeText()
    {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(::timeText(seconds), text);
        // The editor's label: where the player is, of the whole.
        QCOMPARE(timeLabelText(seconds, 200.0), text + QStringLiteral(" / 03:20"));
    }

    void preciseTime_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");

        QTest::newRow("a frame's start, rounded to the millisecond") << 2.0 / 30.0 << "0:00:00.067";
        QTest::newRow("hours are never dropped") << 3725.25 << "1:02:05.250";
        QTest::newRow("negative") << -0.4 << "0:00:00.000";
        QTest::newRow("NaN") << NaN << "--:--";
    }

    void preciseTime()
    {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(preciseTimeText(seconds), text);
    }

    void frames_data()
    {
        QTest::addColumn<double>("frameDuration");
        QTest::addColumn<double>("time");
        QTest::addColumn<QList<double>>("pictures"); // where they start and end; none: not said
        QTest::addColumn<QString>("expected"); // the frame, its start, where a player is sent

        // On a 10-second video.
        const QList<double> none;
        QTest::newRow("a frame's own start") << 1.0 / 30.0 << 0.5 << none << "15 0.5 0.5";
        QTest::newRow("a hair before it") << 1.0 / 30.0 << std::nextafter(0.5, 0.0) << none << "15 0.5 0.5";
        QTest::newRow("a player clock a millisecond past it") << 1.0 / 30.0 << 0.067 << none << "2 0.0666667 0.066";
        QTest::newRow("between frames: the next one") << 0.04 << 0.05 << none << "2 0.08 0.08";
        QTest::newRow("past the end: the last frame") << 0.04 << 12.0 << none << "249 9.96 9.96";
        QTest::newRow("unknown rate: 30 a second") << 0.0 << 1.0 << none << "30 1 1";
        QTest::newRow("unknown time: the first frame") << 0.04 << NaN << none << "0 0 0";
        // The last frame is the last picture's, wherever the sound ends.
        QTest::newRow("sound runs on after the pictures") << 0.04 << 12.0 << QList<double>{0.0, 9.5} << "237 9.48 9.48";
        QTest::newRow("pictures from 5 s, the last one short")
            << 0.04 << 12.0 << QList<double>{5.0, 7.99} << "199 7.96 7.96";
        QTest::newRow("pictures a little after the sound's start")
            << 0.04 << 12.0 << QList<double>{0.021, 9.921} << "247 9.88 9.88";
    }

    void frames()
    {
        QFETCH(double, frameDuration);
        QFETCH(double, time);
        QFETCH(QList<double>, pictures);
        QFETCH(QString, expected);
        const FrameGrid grid(frameDuration, 10.0, pictures.isEmpty() ? PictureSpan() : PictureSpan{pictures[0], pictures[1]});
        const std::int64_t frame = grid.frameAt(time);
        QCOMPARE(QStringLiteral("%1 %2 %3").arg(frame).arg(grid.timeOf(frame)).arg(grid.seekTimeOf(frame)), expected);
    }

    void pointerFromTime_data()
    {
        QTest::addColumn<double>("time");
        QTest::addColumn<double>("duration");
        QTest::addColumn<QString>("pointer"); // on a strip 320 wide

        QTest::newRow("a quarter in") << 50.0 << 200.0 << "80";
        QTest::newRow("past the end is not clamped") << 201.0 << 200.0 << "321.6";
        QTest::newRow("zero duration keeps the pointer at 0") << 3.0 << 0.0 << "0";
        QTest::newRow("NaN duration keeps the pointer at 0") << 3.0 << NaN << "0";
        QTest::newRow("unknown player time leaves the pointer") << NaN << 10.0 << "none";
    }

    void pointerFromTime()
    {
        QFETCH(double, time);
        QFETCH(double, duration);
        QFETCH(QString, pointer);
        QCOMPARE(text(pointerPosition(time, duration, 320.0)), pointer);
    }

    void scrub_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("duration");
        QTest::addColumn<QString>("step"); // pointer, then the time sought; "ignored"

        QTest::newRow("left edge seeks to 0") << 0.0 << 320.0 << 200.0 << "0 0";
        QTest::newRow("right edge seeks to the duration") << 320.0 << 320.0 << 200.0 << "320 200";
        QTest::newRow("left of the strip is ignored") << -0.5 << 320.0 << 200.0 << "ignored";
        QTest::newRow("right of the strip is ignored") << 320.5 << 320.0 << 200.0 << "ignored";
        QTest::newRow("NaN position is ignored") << NaN << 320.0 << 200.0 << "ignored";
        QTest::newRow("zero width: pointer at 0, no seek") << 0.0 << 0.0 << 200.0 << "0 none";
        QTest::newRow("NaN duration: no seek") << 100.0 << 320.0 << NaN << "100 none";
    }

    void scrub()
    {
        QFETCH(double, x);
        QFETCH(double, width);
        QFETCH(double, duration);
        QFETCH(QString, step);
        const std::optional<ScrubStep> got = ::scrub(x, width, duration);
        QCOMPARE(got ? QString::number(got->pointerPosition) + QLatin1Char(' ') + text(got->seekTime) : QStringLiteral("ignored"),
                 step);
    }

    void standsAtEnd_data()
    {
        QTest::addColumn<double>("time");
        QTest::addColumn<double>("frame");
        QTest::addColumn<bool>("endOfMedia");
        QTest::addColumn<bool>("atEnd"); // of a 10-second video

        QTest::newRow("clock a little short of the probe") << 9.97 << 0.04 << false << true;
        QTest::newRow("clock a little past the probe") << 10.02 << 0.04 << false << true;
        QTest::newRow("two frames before the end plays on") << 9.92 << 0.04 << false << false;
        QTest::newRow("sent to the last frame, in whole milliseconds") << 9.966 << 1.0 / 30 << false << true;
        QTest::newRow("player said end of media") << 9.5 << 0.04 << true << true;
        QTest::newRow("unknown frame rate: exact end only") << 9.99 << NaN << false << false;
        QTest::newRow("unknown player time") << NaN << 0.04 << false << false;
    }

    void standsAtEnd()
    {
        QFETCH(double, time);
        QFETCH(double, frame);
        QFETCH(bool, endOfMedia);
        QFETCH(bool, atEnd);
        QCOMPARE(::standsAtEnd(time, 10.0, frame, endOfMedia), atEnd);
    }

    void thumbnailSlots_data()
    {
        QTest::addColumn<double>("duration");
        QTest::addColumn<QList<double>>("bounds"); // of the slots' stretches, as asked for

        QTest::newRow("8 s: a second each") << 8.0 << QList<double>{0, 1, 2, 3, 4, 5, 6, 7, 8};
        // Each stretch ends where the next one's snapped start is, and the last at the end.
        QTest::newRow("7.0016 s: stretches meet at the millisecond steps")
            << 7.0016 << QList<double>{0, 0.875, 1.75, 2.625, 3.5, 4.376, 5.251, 6.126, 7.0016};
    }

    void thumbnailSlots()
    {
        QFETCH(double, duration);
        QFETCH(QList<double>, bounds);
        // On a strip of 320 x 50: eight slots tiling it, rounded on its outer corners.
        const std::vector<strip::ThumbnailSlot> placed = strip::thumbnailSlots(320.0, 50.0, duration);
        QCOMPARE(int(placed.size()), strip::THUMBNAIL_COUNT);
        for (int i = 0; i < strip::THUMBNAIL_COUNT; ++i) {
            const strip::ThumbnailSlot& slot = placed[size_t(i)];
            QCOMPARE(slot.index, i);
            QVERIFY(std::abs(slot.time - duration * i / 8) < 1e-9);
            QCOMPARE(slot.requestTime, bounds[i]);
            QCOMPARE(slot.requestEnd, bounds[i + 1]);
            QCOMPARE(slot.frame, QRectF(40.0 * i, 0, 40, 50));
            QCOMPARE(slot.corners, i == 0 ? strip::RoundedCorners::Left : i == 7 ? strip::RoundedCorners::Right : strip::RoundedCorners::None);
        }
    }

    // Time <-> place on a strip 320 wide at several zooms and scroll offsets.
    void viewport_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<double>("offset");
        QTest::addColumn<double>("fraction"); // of the video
        QTest::addColumn<double>("x");        // on the strip

        QTest::newRow("unzoomed: the end at the right edge") << 0 << 0.0 << 1.0 << 320.0;
        QTest::newRow("level 3, scrolled 480: a quarter in") << 3 << 480.0 << 0.25 << 160.0;
        QTest::newRow("level 2, scrolled past it: left of the strip") << 2 << 640.0 << 0.1 << -512.0;
        QTest::newRow("level 10 at its end: the end at the right edge") << 10 << 327360.0 << 1.0 << 320.0;
    }

    void viewport()
    {
        QFETCH(int, level);
        QFETCH(double, offset);
        QFETCH(double, fraction);
        QFETCH(double, x);
        const strip::Viewport view{320.0, level, offset};
        QCOMPARE(view.xOf(fraction), x);
        QCOMPARE(view.fractionAt(x), fraction);
        // A marker stands at its place in the view.
        QCOMPARE(strip::splitMarker(fraction, view, 50.0).frame.x(), x);
    }

    // Zooming a strip 320 wide around an anchor, and keeping a time in view.
    void zoom_data()
    {
        QTest::addColumn<double>("duration");
        QTest::addColumn<double>("frame"); // seconds a frame; 0: not known
        QTest::addColumn<int>("fromLevel");
        QTest::addColumn<double>("fromOffset");
        QTest::addColumn<int>("toLevel");
        QTest::addColumn<double>("anchor");  // the fraction that stays...
        QTest::addColumn<double>("anchorX"); // ...at this x, where the ends allow
        QTest::addColumn<int>("level");
        QTest::addColumn<double>("offset");

        QTest::newRow("in around the middle") << 100.0 << 0.0 << 0 << 0.0 << 1 << 0.5 << 160.0 << 1 << 160.0;
        QTest::newRow("in around a point off centre") << 100.0 << 0.0 << 1 << 160.0 << 3 << 0.3 << 32.0 << 3 << 736.0;
        QTest::newRow("in at the start: the start stays at the edge") << 100.0 << 0.0 << 0 << 0.0 << 3 << 0.0 << 100.0 << 3 << 0.0;
        QTest::newRow("in at the end: the end stays at the edge") << 100.0 << 0.0 << 0 << 0.0 << 2 << 1.0 << 100.0 << 2 << 960.0;
        QTest::newRow("out to the whole video") << 100.0 << 0.0 << 3 << 500.0 << 0 << 0.2 << 40.0 << 0 << 0.0;
        // 2 hours: at level 10 a thumbnail is 0.88 s, at level 9 1.76 s.
        QTest::newRow("no deeper than a thumbnail a second") << 7200.0 << 0.0 << 9 << 0.0 << 14 << 0.5 << 160.0 << 10 << 163680.0;
        QTest::newRow("8 s does not zoom") << 8.0 << 0.0 << 0 << 0.0 << 1 << 0.5 << 160.0 << 0 << 0.0;
        QTest::newRow("9 s zooms once") << 9.0 << 0.0 << 0 << 0.0 << 3 << 0.5 << 160.0 << 1 << 160.0;
        // With frames: in until a thumbnail would span less than one (2 hours at 30 fps:
        // 1.65 frames a thumbnail at level 14, 0.82 at 15).
        QTest::newRow("2 hours at 30 fps: down to a frame") << 7200.0 << 1.0 / 30 << 9 << 0.0 << 17 << 0.5 << 160.0 << 14 << 2621280.0;
        QTest::newRow("8 s at 25 fps zooms too") << 8.0 << 0.04 << 0 << 0.0 << 6 << 0.5 << 160.0 << 4 << 2400.0;
        QTest::newRow("59.94 fps, a frame each") << 10.0 << 1001.0 / 60000 << 0 << 0.0 << 9 << 0.5 << 160.0 << 6 << 10080.0;
        QTest::newRow("eight frames do not zoom") << 8.0 / 30 << 1.0 / 30 << 0 << 0.0 << 2 << 0.5 << 160.0 << 0 << 0.0;
    }

    void zoom()
    {
        QFETCH(double, duration);
        QFETCH(double, frame);
        QFETCH(int, fromLevel);
        QFETCH(double, fromOffset);
        QFETCH(int, toLevel);
        QFETCH(double, anchor);
        QFETCH(double, anchorX);
        QFETCH(int, level);
        QFETCH(double, offset);
        const strip::Viewport zoomed = strip::zoomedTo(strip::Viewport{320.0, fromLevel, fromOffset}, toLevel,
                                                       strip::maxZoomLevel(duration, frame), anchor, anchorX);
        QCOMPARE(zoomed.level, level);
        QCOMPARE(zoomed.offset, offset);
        // A time scrolled off the strip comes back onto it; one on it stays put.
        const double away = anchor < 0.5 ? 1.0 : 0.0;
        const double x = strip::showing(zoomed, away).xOf(away);
        QVERIFY2(x >= 0.0 && x <= 320.0, qPrintable(QString::number(x)));
        QCOMPARE(strip::showing(zoomed, anchor).offset, zoomed.offset);
        // Zoomed in to frames, every thumbnail's stretch holds a frame of its own.
        if (frame > 0.0) {
            for (const strip::ThumbnailSlot& slot : strip::thumbnailSlots(zoomed, 50.0, duration)) {
                const double first = std::ceil(slot.requestTime / frame - 1e-6) * frame;
                QVERIFY2(first < slot.requestEnd, qPrintable(QStringLiteral("%1 ... %2").arg(slot.requestTime).arg(slot.requestEnd)));
            }
        }
    }

    // The slots on a zoomed strip 320 x 50 of an 80-second video: an eighth of the
    // strip wide each, 2^level times as many as unzoomed.
    void zoomedSlots_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<double>("offset");
        QTest::addColumn<int>("first"); // index of the first slot on the strip
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("from"); // the first slot's stretch
        QTest::addColumn<double>("until");
        QTest::addColumn<double>("x");

        QTest::newRow("level 1 at the start") << 1 << 0.0 << 0 << 8 << 0.0 << 5.0 << 0.0;
        QTest::newRow("level 3, part of a slot at each edge") << 3 << 500.0 << 12 << 9 << 15.0 << 16.25 << -20.0;
        QTest::newRow("level 3 on whole slots") << 3 << 480.0 << 12 << 8 << 15.0 << 16.25 << 0.0;
        QTest::newRow("level 4 at the end") << 4 << 4800.0 << 120 << 8 << 75.0 << 75.625 << 0.0;
    }

    void zoomedSlots()
    {
        QFETCH(int, level);
        QFETCH(double, offset);
        QFETCH(int, first);
        QFETCH(int, count);
        QFETCH(double, from);
        QFETCH(double, until);
        QFETCH(double, x);
        const std::vector<strip::ThumbnailSlot> placed = strip::thumbnailSlots(strip::Viewport{320.0, level, offset}, 50.0, 80.0);
        QCOMPARE(int(placed.size()), count);
        QCOMPARE(placed.front().index, first);
        QCOMPARE(placed.front().requestTime, from);
        QCOMPARE(placed.front().requestEnd, until);
        QCOMPARE(placed.front().frame, QRectF(x, 0, 40, 50));
        // The stretches meet, and the last slot of the video runs to its end.
        for (size_t i = 1; i < placed.size(); ++i)
            QCOMPARE(placed[i].requestTime, placed[i - 1].requestEnd);
        if (placed.back().index == (8 << level) - 1)
            QCOMPARE(placed.back().requestEnd, 80.0);
        // Until its picture comes, a slot shows the unzoomed picture of the eighth it lies in.
        const strip::ThumbnailSlot holder = strip::enclosingSlot(placed.front(), 0, 320.0, 80.0);
        QVERIFY(holder.requestTime <= from && until <= holder.requestEnd && holder.requestEnd - holder.requestTime == 10.0);
    }

    // The waveform on a strip 320 wide over 10 s of sound at 400 peaks a second, with a
    // pause from 4 s to 5 s broken by a click at 4.5125 s: its columns are quiet exactly
    // where the pause is, and the click shows however few peaks a column spans.
    void soundColumns_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<double>("offset");
        QTest::addColumn<int>("quietFrom");
        QTest::addColumn<int>("quietTo");
        QTest::addColumn<int>("click");

        QTest::newRow("unzoomed: 12.5 peaks a column") << 0 << 0.0 << 128 << 160 << 144;
        QTest::newRow("level 3: the pause from the middle on") << 3 << 960.0 << 64 << 320 << 195;
        QTest::newRow("level 4: under a peak a column") << 4 << 2300.0 << 0 << 260 << 11;
    }

    void soundColumns()
    {
        QFETCH(int, level);
        QFETCH(double, offset);
        QFETCH(int, quietFrom);
        QFETCH(int, quietTo);
        QFETCH(int, click);
        std::vector<std::uint8_t> peaks(4000, 200);
        std::fill(peaks.begin() + 1600, peaks.begin() + 2000, 0);
        peaks[1805] = 255;
        const std::vector<std::uint8_t> columns = strip::soundColumns(peaks, 400, strip::Viewport{320.0, level, offset}, 10.0);
        QCOMPARE(int(columns.size()), 320);
        const auto quiet = [](std::uint8_t peak) { return peak == 0; };
        const int first = int(std::find_if(columns.begin(), columns.end(), quiet) - columns.begin());
        QCOMPARE(first, quietFrom);
        QCOMPARE(int(std::count_if(columns.begin(), columns.end(), quiet)), quietTo - quietFrom - 1);
        QCOMPARE(int(columns[size_t(click)]), 255);
        QVERIFY(std::all_of(columns.begin() + quietTo, columns.end(), [](std::uint8_t peak) { return peak == 200; }));
    }

    void requestTime_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<double>("request");
        QTest::newRow("back to the millisecond") << 1.2606 << 1.26;
        QTest::newRow("a hair short of a millisecond is on it") << 1.2609999999999 << 1.261;
        QTest::newRow("NaN asks for the start") << NaN << 0.0;
    }

    void requestTime()
    {
        QFETCH(double, seconds);
        QFETCH(double, request);
        QCOMPARE(strip::thumbnailRequestTime(seconds), request);
    }

    void labels_data()
    {
        QTest::addColumn<QList<double>>("sorted");
        QTest::addColumn<QList<double>>("xs"); // of the labels "1", "2", ... left to right
        QTest::addColumn<int>("level");
        QTest::addColumn<double>("offset");

        // Strip 320 wide, numbers row 20 high.
        QTest::newRow("no split point: no labels") << QList<double>{} << QList<double>{} << 0 << 0.0;
        QTest::newRow("point at the start") << QList<double>{0.0} << QList<double>{-5, 155} << 0 << 0.0;
        QTest::newRow("point at the end") << QList<double>{1.0} << QList<double>{155, 315} << 0 << 0.0;
        QTest::newRow("0.2 and 0.7") << QList<double>{0.2, 0.7} << QList<double>{27, 139, 267} << 0 << 0.0;
        // At level 2 (a timeline of 1280), scrolled 240: the strip shows 0.1875 to 0.4375.
        QTest::newRow("zoomed: 0.2 and 0.7") << QList<double>{0.2, 0.7} << QList<double>{-117, 331, 843} << 2 << 240.0;
    }

    void labels()
    {
        QFETCH(QList<double>, sorted);
        QFETCH(QList<double>, xs);
        QFETCH(int, level);
        QFETCH(double, offset);

        const std::vector<strip::ClipNumberLabel> labels = strip::clipNumberLabels(
            std::vector<double>(sorted.begin(), sorted.end()), strip::Viewport{320.0, level, offset}, 20.0);
        QCOMPARE(int(labels.size()), xs.size());
        for (int i = 0; i < xs.size(); ++i) {
            QCOMPARE(labels[size_t(i)].text, QString::number(i + 1));
            QCOMPARE(labels[size_t(i)].frame, QRectF(xs[i], 0, 10, 20));
        }
    }

    // Clip names from the command line's --name: "ERROR: words" when the pattern is refused.
    void clipNames_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("names"); // of clips 0, 7 and 123 of "holiday"

        QTest::newRow("as the editor names them") << "split-{n}" << "split-0 split-7 split-123";
        QTest::newRow("the stem, and numbers padded") << "{stem}_{n:02}" << "holiday_00 holiday_07 holiday_123";
        QTest::newRow("braces written twice") << "{{n}}-{n}" << "{n}-0 {n}-7 {n}-123";
        QTest::newRow("no number: names repeat") << "{stem}" << "holiday holiday holiday";
        QTest::newRow("unknown field") << "{stem}-{N}" << "ERROR: unknown field {N}";
        QTest::newRow("width above nine") << "{n:010}" << "ERROR: unknown field {n:010}";
        QTest::newRow("never closed") << "a{n" << "ERROR: never closed";
        QTest::newRow("closes nothing") << "a}" << "ERROR: closes nothing";
        QTest::newRow("a folder") << "clips/{n}" << "ERROR: cannot name a folder";
        QTest::newRow("hidden") << ".{n}" << "ERROR: starts with a dot";
        QTest::newRow("nothing") << "" << "ERROR: is no name";
    }

    void clipNames()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, names);

        const Outcome<ClipNamePattern> parsed = ClipNamePattern::parse(pattern);
        if (names.startsWith(QLatin1String("ERROR: "))) {
            QVERIFY(!parsed);
            QVERIFY2(parsed.error().contains(names.mid(7)), qPrintable(parsed.error()));
            return;
        }
        QVERIFY2(parsed.ok(), qPrintable(parsed.error()));
        QCOMPARE(QStringList({parsed->name(QStringLiteral("holiday"), 0), parsed->name(QStringLiteral("holiday"), 7),
                              parsed->name(QStringLiteral("holiday"), 123)})
                     .join(QLatin1Char(' ')),
                 names);
    }

    void afterEdit_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("gray"); // the alphas last set
        QTest::addColumn<double>("pink");
        // Undo enabled, done enabled (or "-" when left as it is), the fade, the title.
        QTest::addColumn<QString>("state");

        QTest::newRow("first split from the opening look") << 1 << 1.0 << 0.0 << "undo, done, to enabled, Done, Save 2 Videos";
        QTest::newRow("second split: title only") << 2 << 0.0 << 1.0 << "undo, -, none, Done, Save 3 Videos";
        QTest::newRow("undo of the only split") << 0 << 0.0 << 1.0 << "no undo, no done, to disabled, Done, Save 1 Videos";
        QTest::newRow("count 0 in the disabled look changes nothing") << 0 << 1.0 << 0.0 << "no undo, -, none, Done, Save 1 Videos";
        QTest::newRow("mid-fade alphas are not 1.0: no transition") << 1 << 0.6 << 0.4 << "undo, -, none, Done, Save 2 Videos";
    }

    void afterEdit()
    {
        QFETCH(int, count);
        QFETCH(double, gray);
        QFETCH(double, pink);
        QFETCH(QString, state);

        const ControlsState got = controlsState(count, {gray, pink});
        const QString done = !got.doneEnabled ? QStringLiteral("-") : *got.doneEnabled ? QStringLiteral("done") : QStringLiteral("no done");
        const QString fade = got.fade == DoneFade::ToEnabled ? QStringLiteral("to enabled")
            : got.fade == DoneFade::ToDisabled           ? QStringLiteral("to disabled")
                                                         : QStringLiteral("none");
        QCOMPARE(QStringList({got.undoEnabled ? QStringLiteral("undo") : QStringLiteral("no undo"), done, fade, got.doneTitle})
                     .join(QStringLiteral(", ")),
                 state);
        // A fade ends on the look it names.
        if (got.fade != DoneFade::None)
            QCOMPARE(fadeTarget(got.fade).pink, got.fade == DoneFade::ToEnabled ? 1.0 : 0.0);
    }
};

QTEST_APPLESS_MAIN(TestEditorLogic)
#include "tst_editorlogic.moc"
