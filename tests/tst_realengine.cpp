#include <cmath>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVideoSink>

#include "EditorHarness.h"
#include "FfmpegVideoAsset.h"
#include "FolderVideoLibrary.h"
#include "MediaOracle.h"
#include "QtMediaPlayer.h"
#include "StreamCopyCutter.h"
#include "VideoGenerator.h"
#include "VideoView.h"

namespace {

constexpr double FRAME = 0.04; // the fixtures run at 25 frames a second

// An editor on the real engine: FFmpeg for pictures and cuts, Qt Multimedia for
// playback, a folder library, all in a temporary folder.
struct RealEditor {
    QTemporaryDir dir;
    StreamCopyCutter cutter;
    VideoGenerator generator{cutter, dir.filePath(QStringLiteral("cache"))};
    std::unique_ptr<FolderVideoLibrary> library;
    std::unique_ptr<CutterViewController> editor;
    int reviews = 0;

    // With blockLibrary, a file stands where the library folder should be.
    RealEditor(const QString& video, bool blockLibrary = false)
    {
        const QString folder = dir.filePath(QStringLiteral("library"));
        if (blockLibrary) {
            QFile blocker(folder);
            blocker.open(QIODevice::WriteOnly);
        }
        library = std::make_unique<FolderVideoLibrary>(folder);
        EditorServices services;
        services.openAsset = &FfmpegVideoAsset::open;
        services.makePlayer = [] { return std::unique_ptr<Player>(new QtMediaPlayer); };
        services.generator = &generator;
        services.library = library.get();
        services.countReviewAction = [this] { ++reviews; };
        editor = std::make_unique<CutterViewController>(services);
        editor->videoURL = QUrl::fromLocalFile(video);
        editor->resize(1280, 800);
        editor->show();
    }
};

} // namespace

class TestRealEngine : public QObject {
    Q_OBJECT

private slots:
    void playerLoadsPlaysSeeksAndEnds();
    void editorShowsTheVideoUpright();
    void splitTwiceAndSave();
    void failedExportsSayWhy_data();
    void failedExportsSayWhy();
};

void TestRealEngine::playerLoadsPlaysSeeksAndEnds()
{
    VideoView view;
    view.resize(320, 240);
    view.show();
    QtMediaPlayer player;
    QSignalSpy ended(&player, &Player::playedToEnd);
    player.setVideoSink(view.videoSink());
    player.setSource(QUrl::fromLocalFile(fixture(QStringLiteral("h264.mp4"))));
    player.seek(0.0);
    // Loaded, paused on its first picture.
    QTRY_VERIFY_WITH_TIMEOUT(!view.currentImage().isNull(), 10000);
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
}

void TestRealEngine::editorShowsTheVideoUpright()
{
    EditorServices services;
    services.openAsset = &FfmpegVideoAsset::open;
    services.makePlayer = [] { return std::unique_ptr<Player>(new QtMediaPlayer); };
    CutterViewController editor(services);
    editor.videoURL = QUrl::fromLocalFile(fixture(QStringLiteral("rotated.mp4")));
    editor.resize(1280, 800);
    editor.show();
    QTRY_VERIFY_WITH_TIMEOUT(!editor.videoView()->currentImage().isNull(), 10000);
    // Stored landscape, shown portrait.
    const QImage shown = editor.videoView()->currentImage();
    QVERIFY2(shown.height() > shown.width(), qPrintable(QStringLiteral("%1x%2").arg(shown.width()).arg(shown.height())));
    const QRect picture = editor.videoView()->pictureRect();
    QVERIFY(picture.height() > picture.width());
    QCOMPARE(editor.findChild<QLabel*>(QStringLiteral("currentTimeLabel"))->text(), QStringLiteral("00:00 / 00:10"));
}

void TestRealEngine::splitTwiceAndSave()
{
    RealEditor real(fixture(QStringLiteral("h264.mp4")));
    CutterViewController& editor = *real.editor;
    FolderVideoLibrary& library = *real.library;
    int& reviews = real.reviews;
    auto* strip = editor.findChild<QWidget*>(QStringLiteral("videosWorkspaceView"));
    const int y = strip->height() / 2;
    // Move the playhead by pressing on the strip, split, again, and save.
    for (double fraction : {0.333, 0.671}) {
        const QPoint at(int(std::lround(fraction * strip->width())), y);
        QTest::mousePress(strip, Qt::LeftButton, {}, at);
        QTest::mouseRelease(strip, Qt::LeftButton, {}, at);
        editor.touchSplit();
    }
    QCOMPARE(editor.cutModel().splitPointCount(), 2);
    editor.touchDone();
    QTRY_COMPARE_WITH_TIMEOUT(openAlerts(QStringLiteral("Finished")).size(), 1, 20000);
    QTRY_COMPARE(reviews, 1);
    QCOMPARE(openAlerts(QStringLiteral("Error")).size(), 0);

    const QStringList clips = QDir(library.folder()).entryList(QDir::Files, QDir::Name);
    QCOMPARE(clips, (QStringList{"split-0.mp4", "split-1.mp4", "split-2.mp4"}));
    double total = 0.0;
    for (const QString& clip : clips) {
        const QList<oracle::Frame> frames = oracle::videoFrames(library.folder() + QLatin1Char('/') + clip);
        QVERIFY2(!frames.isEmpty(), qPrintable(clip));
        total += double(frames.size()) * FRAME;
    }
    QVERIFY2(std::abs(total - 10.0) <= 3 * FRAME, qPrintable(QString::number(total)));
    closeAlerts();
}

void TestRealEngine::failedExportsSayWhy_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("libraryBlocked"); // a file stands where the library folder should be
    QTest::addColumn<QString>("words");

    QTest::newRow("a format MP4 cannot carry") << "theora.mkv" << false << "theora";
}

void TestRealEngine::failedExportsSayWhy()
{
    QFETCH(QString, file);
    QFETCH(bool, libraryBlocked);
    QFETCH(QString, words);

    RealEditor real(fixture(file), libraryBlocked);
    QCOMPARE(QFileInfo(real.dir.filePath(QStringLiteral("library"))).isFile(), libraryBlocked);
    CutterViewController& editor = *real.editor;
    const int& reviews = real.reviews;
    editor.pointerViewLeadingConstraint()->setConstant(editor.findChild<QWidget*>(QStringLiteral("videosWorkspaceView"))->width() / 2.0);
    editor.touchSplit();
    editor.touchDone();
    // One "Error" per clip, each saying why; no "Finished", nothing counted.
    QTRY_COMPARE_WITH_TIMEOUT(openAlerts(QStringLiteral("Error")).size(), 2, 20000);
    QTRY_COMPARE(editor.runningExports(), 0);
    for (QMessageBox* alert : openAlerts(QStringLiteral("Error")))
        QVERIFY2(alert->text().contains(words), qPrintable(alert->text()));
    QCOMPARE(openAlerts(QStringLiteral("Finished")).size(), 0);
    QCOMPARE(reviews, 0);
    closeAlerts();
}

QTEST_MAIN(TestRealEngine)
#include "tst_realengine.moc"
