#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVideoFrame>
#include <QVideoSink>

#include "EditorHarness.h"
#include "FfmpegVideoAsset.h"
#include "FolderVideoLibrary.h"
#include "MediaOracle.h"
#include "QtMediaPlayer.h"
#include "StreamCopyCutter.h"
#include "VideoFrameScaler.h"
#include "VideoGenerator.h"
#include "VideoView.h"

namespace {

constexpr double FRAME = 0.04; // the fixtures run at 25 frames a second

// Waits until the editor shows the frame, the readout naming it and the picture on
// screen being that frame's: the first starting at or after the frame's time, as a clip
// cut there starts (the .mts's pictures start 21 ms after its clock).
void verifyShows(CutterViewController& editor, int frame)
{
    auto* readout = editor.findChild<QLabel*>(QStringLiteral("frameReadoutLabel"));
    const auto shown = [&editor] { return editor.videoView()->stillTime().value_or(-1.0); };
    QTRY_VERIFY2_WITH_TIMEOUT(readout->isVisible() && readout->isEnabled()
                                  && readout->text().endsWith(QStringLiteral("frame %1").arg(frame))
                                  && shown() > frame * FRAME - 0.001 && shown() < (frame + 1) * FRAME - 0.001,
                              qPrintable(QStringLiteral("%1 shows %2").arg(readout->text()).arg(shown())), 10000);
}

} // namespace

class TestRealEngine : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { closeAlerts(); }

    void pictureFollowsTheKeys_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QList<QKeyCombination>>("keys");
        QTest::addColumn<int>("frame");
        const QKeyCombination right(Qt::Key_Right);
        const QKeyCombination left(Qt::Key_Left);
        const QKeyCombination second(Qt::SHIFT | Qt::Key_Right);
        const QKeyCombination pause(Qt::Key_unknown); // the user looks for a moment
        // Keyframes every 2 s (50 frames); the .mts is the same video with its clock
        // starting at 3600 s and no index to seek with.
        for (const QString& file : {QStringLiteral("h264.mp4"), QStringLiteral("h264.mts")}) {
            const QByteArray name = file.toUtf8();
            QTest::newRow(name + ": Right x3") << file << QList{right, right, right} << 3;
            QTest::newRow(name + ": back across a keyframe") << file << QList{second, second, left} << 49;
            // From the end, the interval before the last keyframe (at 8 s) is decoded
            // while the picture stands, where an index names its keyframe.
            const QKeyCombination secondBack(Qt::SHIFT | Qt::Key_Left);
            QTest::newRow(name + ": back across a keyframe after a pause")
                << file << QList{QKeyCombination(Qt::Key_End), secondBack, pause, secondBack, left} << 198;
            QTest::newRow(name + ": back twice, forward") << file << QList{second, second, second, left, left, right} << 74;
            QTest::newRow(name + ": End") << file << QList{QKeyCombination(Qt::Key_End)} << 249;
            QTest::newRow(name + ": End, Home") << file << QList{QKeyCombination(Qt::Key_End), QKeyCombination(Qt::Key_Home)}
                                                << 0;
        }
    }

    void pictureFollowsTheKeys()
    {
        QFETCH(QString, file);
        QFETCH(QList<QKeyCombination>, keys);
        QFETCH(int, frame);
        EditorServices services;
        services.openAsset = &FfmpegVideoAsset::open;
        services.makePlayer = [] { return std::unique_ptr<Player>(new QtMediaPlayer); };
        CutterViewController editor(services);
        editor.videoURL = QUrl::fromLocalFile(fixture(file));
        editor.resize(800, 600);
        editor.show();
        QTRY_VERIFY_WITH_TIMEOUT(!editor.videoView()->pictureRect().isEmpty(), 30000);
        QApplication::setActiveWindow(&editor);
        editor.setFocus();
        for (QKeyCombination key : keys) {
            if (key.key() == Qt::Key_unknown)
                QTest::qWait(1500);
            else
                QTest::keyClick(&editor, key.key(), key.keyboardModifiers());
        }
        verifyShows(editor, frame);
    }

    void playerLoadsPlaysSeeksAndEnds()
    {
        VideoView view(std::make_unique<VideoFrameScaler>());
        view.resize(320, 240);
        view.show();
        QtMediaPlayer player;
        QSignalSpy ended(&player, &Player::playedToEnd);
        player.setVideoSink(view.videoSink());
        // The start of the picture on screen, in seconds.
        double shown = -1.0;
        connect(view.videoSink(), &QVideoSink::videoFrameChanged, this,
                [&shown](const QVideoFrame& frame) { shown = double(frame.startTime()) / 1e6; });
        const auto shows = [&shown](double time) { return std::abs(shown - time) < FRAME / 2; };
        player.setSource(QUrl::fromLocalFile(fixture(QStringLiteral("h264.mp4"))));
        player.seek(0.0);
        // Loaded, paused on its first picture.
        QTRY_VERIFY_WITH_TIMEOUT(!view.pictureRect().isEmpty(), 10000);
        QVERIFY(!player.isPlaying());

        player.play();
        QVERIFY(player.isPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(player.currentTime() > 0.3, 10000);
        player.pause();
        QTRY_VERIFY(!player.isPlaying());
        const double paused = player.currentTime();
        QTest::qWait(300);
        QCOMPARE(player.currentTime(), paused);
        // A paused seek lands on the time asked for, within a frame.
        player.seek(6.52);
        QTRY_VERIFY_WITH_TIMEOUT(std::abs(player.currentTime() - 6.52) <= FRAME, 5000);
        // Played from near the end, it reaches the end and says so.
        player.seek(9.5);
        player.play();
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 10000);
        QVERIFY(player.reachedEnd());
        // After the end, and after a paused seek onto the last frame, each seek shows its
        // frame (the backend once kept the last one on screen); only playing ends.
        player.pause();
        for (double time : {0.0, 9.96, 4.0, 9.96, 9.92, 0.0}) {
            player.seek(time);
            QTRY_VERIFY2_WITH_TIMEOUT(shows(time), qPrintable(QStringLiteral("%1 for %2").arg(shown).arg(time)), 5000);
        }
        QTest::qWait(300);
        QVERIFY(shows(0.0));
        QCOMPARE(ended.count(), 1);
    }

    void splitTwiceAndSave()
    {
        // An editor on the real engine: FFmpeg for pictures and cuts, Qt Multimedia for
        // playback, a folder library; on a video stored landscape, shown portrait.
        QTemporaryDir dir;
        StreamCopyCutter cutter;
        VideoGenerator generator{cutter};
        FolderVideoLibrary library{dir.filePath(QStringLiteral("library"))};
        int reviews = 0;
        CutterViewController editor({&FfmpegVideoAsset::open, [] { return std::unique_ptr<Player>(new QtMediaPlayer); },
                                     &generator, &library, [&reviews] { ++reviews; }, {}, {}, {},
                                     [] { return std::make_unique<VideoFrameScaler>(); }});
        editor.videoURL = QUrl::fromLocalFile(fixture(QStringLiteral("rotated.mp4")));
        editor.resize(1280, 800);
        editor.show();
        QTRY_VERIFY_WITH_TIMEOUT(!editor.videoView()->pictureRect().isEmpty(), 30000);
        const QRect picture = editor.videoView()->pictureRect();
        QVERIFY2(picture.height() > picture.width(), qPrintable(QStringLiteral("%1x%2").arg(picture.width()).arg(picture.height())));
        QCOMPARE(editor.findChild<QLabel*>(QStringLiteral("currentTimeLabel"))->text(), QStringLiteral("00:00 / 00:10"));
        // The picture follows the keys, also after the end was shown or played to (the
        // backend once kept the last frame on screen for every seek after it): each step
        // ends with the frame the readout names.
        QApplication::setActiveWindow(&editor);
        editor.setFocus();
        auto* strip = editor.findChild<QWidget*>(QStringLiteral("videosWorkspaceView"));
        // No keys: a press on the strip's right end, which stands for the end of the video.
        const QList<std::pair<QList<Qt::Key>, int>> steps{{{Qt::Key_End}, 249},
                                                          {{Qt::Key_Home}, 0},
                                                          {{Qt::Key_End, Qt::Key_Left}, 248},
                                                          {{Qt::Key_Space}, 249}, // played to the end
                                                          {{Qt::Key_Home}, 0},
                                                          {{}, 249},
                                                          {{Qt::Key_Home}, 0},
                                                          {QList<Qt::Key>(15, Qt::Key_Right), 15}};
        for (const auto& [keys, frame] : steps) {
            for (Qt::Key key : keys)
                QTest::keyClick(&editor, key);
            if (keys.isEmpty()) {
                QTest::mousePress(strip, Qt::LeftButton, {}, QPoint(strip->width(), strip->height() / 2));
                QTest::mouseRelease(strip, Qt::LeftButton, {}, QPoint(strip->width(), strip->height() / 2));
            }
            verifyShows(editor, frame);
        }
        // A split there gives the first clip exactly the frames stepped over.
        QTest::keyClick(&editor, Qt::Key_S);
        // Move the playhead by pressing on the strip, split, again, and save.
        for (double fraction : {0.333, 0.671}) {
            const QPoint at(int(std::lround(fraction * strip->width())), strip->height() / 2);
            QTest::mousePress(strip, Qt::LeftButton, {}, at);
            QTest::mouseRelease(strip, Qt::LeftButton, {}, at);
            editor.touchSplit();
        }
        // A file where the library should be: one "Error", nothing cut, the splits unsaved.
        QFile blocker(dir.filePath(QStringLiteral("library")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        editor.touchDone();
        QTRY_COMPARE(openAlerts(QStringLiteral("Error")).size(), 1);
        QVERIFY2(openAlerts(QStringLiteral("Error")).first()->text().contains(QStringLiteral("it is not a folder")),
                 qPrintable(openAlerts(QStringLiteral("Error")).first()->text()));
        QVERIFY(editor.hasUnsavedSplits());
        closeAlerts();
        QVERIFY(blocker.remove());
        editor.touchDone();
        QTRY_COMPARE_WITH_TIMEOUT(openAlerts(QStringLiteral("Finished")).size(), 1, 20000);
        QTRY_COMPARE(reviews, 1);
        QCOMPARE(openAlerts(QStringLiteral("Error")).size(), 0);

        const QString folder = library.folder();
        const QStringList clips = QDir(folder).entryList(QDir::Files, QDir::Name);
        QCOMPARE(clips, (QStringList{"split-0.mp4", "split-1.mp4", "split-2.mp4", "split-3.mp4"}));
        const QList<oracle::Frame> first = oracle::videoFrames(folder + QStringLiteral("/split-0.mp4"));
        QCOMPARE(first.size(), 15);
        QCOMPARE(first.front().hash, oracle::videoFrames(editor.videoURL.toLocalFile()).front().hash);
        double total = 0.0;
        for (const QString& clip : clips)
            total += double(oracle::videoFrames(folder + QLatin1Char('/') + clip).size()) * FRAME;
        QVERIFY2(std::abs(total - 10.0) <= 3 * FRAME, qPrintable(QString::number(total)));
    }
};

QTEST_MAIN(TestRealEngine)
#include "tst_realengine.moc"
