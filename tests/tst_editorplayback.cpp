#include <QEasingCurve>
#include <QSignalSpy>
#include <QTimer>

#include "EditorHarness.h"
#include "VideoView.h"
#include "ViewAlpha.h"

class TestEditorPlayback : public QObject {
    Q_OBJECT

private slots:
    void opens_data();
    void opens();
    void thumbnailsFillTheStrip();
    void failedThumbnailLeavesItsSlotEmpty();
    void playAndPauseCrossFade();
    void quickPlayThenPauseEndsOnPlay();
    void tickFollowsThePlayer();
    void playAtTheEndRewinds_data();
    void playAtTheEndRewinds();
    void scrub_data();
    void scrub();
    void dragLeavingTheStripStopsAtItsEdge();
    void scrubbingHidesThePlayButtonOnlyWhenStopped_data();
    void scrubbingHidesThePlayButtonOnlyWhenStopped();
    void onlyItsOwnVideoEndingPausesIt();
    void resizeKeepsTimesAndFractions();
    void closingPausesAndStopsTheTick();
};

void TestEditorPlayback::opens_data()
{
    QTest::addColumn<double>("duration");
    QTest::addColumn<QString>("label");

    QTest::newRow("200 s") << 200.0 << "00:00 / 03:20";
    QTest::newRow("59.9 s") << 59.9 << "00:00 / 00:59";
    QTest::newRow("2 h 5 min keeps its hours") << 7500.0 << "00:00 / 2:05:00";
}

void TestEditorPlayback::opens()
{
    QFETCH(double, duration);
    QFETCH(QString, label);

    EditorHarness h(duration);
    QVERIFY(h.editor->isViewLoaded());
    QCOMPARE(h.label(), label);
    QCOMPARE(h.editor->duration(), duration);
    // The player is given its picture's destination and the video, and stands at 0,
    // paused.
    QCOMPARE(h.player->calls, (QStringList{"sink", "source", "seek 0"}));
    QCOMPARE(h.player->source, h.editor->videoURL);
    QVERIFY(!h.player->playing);
    // Pause hidden, play shown, controls in their disabled look.
    QCOMPARE(ViewAlpha::alpha(h.outlet("pauseButton")), 0.0);
    QCOMPARE(ViewAlpha::alpha(h.outlet("playButton")), 1.0);
    QCOMPARE(ViewAlpha::alpha(h.outlet("grayDisabledGradient")), 1.0);
    QCOMPARE(ViewAlpha::alpha(h.outlet("enabledPinkGradient")), 0.0);
    QVERIFY(!h.outlet("doneButton")->isEnabled());
    QVERIFY(!h.outlet("undoButton")->isEnabled());
    QVERIFY(!h.outlet("undoButtonLabel")->isEnabled());
    QCOMPARE(h.outlet<QPushButton>("doneButton")->text(), QStringLiteral("Done, Save 1 Videos"));
    QCOMPARE(h.pointer(), 0.0);
    QVERIFY(h.editor->cutModel().splitPoints().empty());
}

void TestEditorPlayback::thumbnailsFillTheStrip()
{
    EditorHarness h(8.0);
    const QList<ThumbnailView*> thumbnails = h.stripChildren<ThumbnailView>(h.strip());
    QCOMPARE(thumbnails.size(), 8);
    // An 8-second video: pictures asked at 0, 1, ... 7 s.
    QCOMPARE(h.asset->asked, (std::vector<double>{0, 1, 2, 3, 4, 5, 6, 7}));
    const double slot = h.stripWidth() / 8;
    for (int i = 0; i < 8; ++i) {
        QVERIFY(std::abs(thumbnails[i]->x() - slot * i) <= 1.0);
        QVERIFY(std::abs(thumbnails[i]->width() - slot) <= 1.0);
        QCOMPARE(thumbnails[i]->height(), h.strip()->height());
        QCOMPARE(viewTag(thumbnails[i]), 0);
        QVERIFY(!thumbnails[i]->image().isNull());
    }
    QCOMPARE(thumbnails.first()->corners(), strip::RoundedCorners::Left);
    QCOMPARE(thumbnails.last()->corners(), strip::RoundedCorners::Right);
    QCOMPARE(thumbnails[3]->corners(), strip::RoundedCorners::None);
    // The corner radius is the strip's, from the form.
    QCOMPARE(thumbnails.first()->cornerRadius(), h.strip()->property("cornerRadius").toDouble());
}

void TestEditorPlayback::failedThumbnailLeavesItsSlotEmpty()
{
    EditorHarness h(8.0, {}, false);
    h.asset->failAt = {3.0};
    QTest::ignoreMessage(QtWarningMsg, "*** Error generating thumbnail: no picture at 3");
    h.editor->show();
    const QList<ThumbnailView*> thumbnails = h.stripChildren<ThumbnailView>(h.strip());
    QCOMPARE(thumbnails.size(), 8);
    for (int i = 0; i < 8; ++i)
        QCOMPARE(thumbnails[i]->image().isNull(), i == 3);
}

void TestEditorPlayback::playAndPauseCrossFade()
{
    EditorHarness h(200.0);
    QWidget* play = h.outlet("playButton");
    QWidget* pause = h.outlet("pauseButton");

    h.editor->touchPlay();
    QVERIFY(h.player->playing);
    QVERIFY(h.editor->playingTimer()->isActive());
    QCOMPARE(h.editor->playingTimer()->interval(), 100);
    QCOMPARE(h.editor->playingTimer()->timerType(), Qt::PreciseTimer);
    // Play fades out over 0.2 s after 0.1 s, linearly; then pause fades in over 0.15 s.
    QCOMPARE(ViewAlpha::alpha(play), 0.0);
    const QVariantMap out = ViewAlpha::lastFade(play);
    QCOMPARE(out.value("duration").toInt(), 200);
    QCOMPARE(out.value("delay").toInt(), 100);
    QCOMPARE(out.value("curve").toInt(), int(QEasingCurve::Linear));
    QTRY_COMPARE(ViewAlpha::alpha(pause), 1.0);
    QCOMPARE(ViewAlpha::lastFade(pause).value("duration").toInt(), 150);
    QTRY_COMPARE(ViewAlpha::shownOpacity(pause), 1.0);
    QCOMPARE(ViewAlpha::shownOpacity(play), 0.0);

    h.editor->touchPause();
    QVERIFY(!h.player->playing);
    QVERIFY(!h.editor->playingTimer()->isActive());
    QCOMPARE(ViewAlpha::alpha(pause), 0.0);
    QCOMPARE(ViewAlpha::lastFade(pause).value("duration").toInt(), 250);
    QCOMPARE(ViewAlpha::lastFade(pause).value("delay").toInt(), 0);
    QTRY_COMPARE(ViewAlpha::alpha(play), 1.0);
    QCOMPARE(ViewAlpha::lastFade(play).value("duration").toInt(), 250);
    QTRY_COMPARE(ViewAlpha::shownOpacity(play), 1.0);

    // Pause while stopped runs the same fade: pause shown at once, then faded out.
    h.editor->touchPause();
    QCOMPARE(ViewAlpha::lastFade(pause).value("target").toDouble(), 0.0);
    QCOMPARE(h.player->calls.count(QStringLiteral("pause")), 2);
}

void TestEditorPlayback::quickPlayThenPauseEndsOnPlay()
{
    EditorHarness h(200.0);
    QWidget* play = h.outlet("playButton");
    QWidget* pause = h.outlet("pauseButton");
    h.editor->touchPlay();
    QTest::qWait(50); // inside the play button's fade-out
    h.editor->touchPause();
    // The first cross-fade's second half must not bring the pause button back.
    QTest::qWait(700);
    QCOMPARE(ViewAlpha::alpha(play), 1.0);
    QCOMPARE(ViewAlpha::alpha(pause), 0.0);
    QVERIFY(pause->isHidden());
    QVERIFY(!play->isHidden());
}

void TestEditorPlayback::tickFollowsThePlayer()
{
    EditorHarness h(200.0);
    h.player->time = 65.4;
    h.editor->touchPlay();
    // One tick at once, before the timer's first.
    QCOMPARE(h.label(), QStringLiteral("01:05 / 03:20"));
    QCOMPARE(h.pointer(), 65.4 / 200.0 * h.stripWidth());

    h.player->time = 100.0;
    QTRY_COMPARE(h.label(), QStringLiteral("01:40 / 03:20"));
    QCOMPARE(h.pointer(), h.stripWidth() / 2);

    // Pausing makes no final tick: label and pointer keep the last one.
    h.editor->touchPause();
    h.player->time = 150.0;
    QTest::qWait(250);
    QCOMPARE(h.label(), QStringLiteral("01:40 / 03:20"));
}

void TestEditorPlayback::playAtTheEndRewinds_data()
{
    QTest::addColumn<double>("time");
    QTest::addColumn<bool>("ended");
    QTest::addColumn<bool>("rewinds");

    QTest::newRow("exactly at the end") << 200.0 << false << true;
    QTest::newRow("the player's clock a hair short of the end") << 199.99 << false << true;
    QTest::newRow("the player said it reached the end") << 199.5 << true << true;
    QTest::newRow("half a second before the end") << 199.5 << false << false;
    QTest::newRow("in the middle") << 100.0 << false << false;
}

void TestEditorPlayback::playAtTheEndRewinds()
{
    QFETCH(double, time);
    QFETCH(bool, ended);
    QFETCH(bool, rewinds);

    EditorHarness h(200.0);
    h.player->time = time;
    h.player->ended = ended;
    h.player->calls.clear();
    h.editor->touchPlay();
    QCOMPARE(h.player->calls, (rewinds ? QStringList{"seek 0", "play"} : QStringList{"play"}));
}

void TestEditorPlayback::scrub_data()
{
    QTest::addColumn<double>("fraction"); // of the strip's width
    QTest::addColumn<QString>("label");

    QTest::newRow("left edge seeks to the start") << 0.0 << "00:00 / 03:20";
    QTest::newRow("right edge seeks to the end") << 1.0 << "03:20 / 03:20";
    QTest::newRow("a quarter in") << 0.25 << "00:50 / 03:20";
}

void TestEditorPlayback::scrub()
{
    QFETCH(double, fraction);
    QFETCH(QString, label);

    EditorHarness h(200.0);
    h.player->calls.clear();
    // The very first touch seeks at once: no long press needed.
    const double x = fraction * h.stripWidth();
    h.editor->handleTap(CutterViewController::GestureState::Began, x);
    QCOMPARE(h.pointer(), x);
    QCOMPARE(h.player->calls, QStringList{QStringLiteral("seek %1").arg(fraction * 200.0)});
    QCOMPARE(h.label(), label);
    // Scrubbing never starts or stops playback.
    QVERIFY(!h.player->playing);
}

void TestEditorPlayback::dragLeavingTheStripStopsAtItsEdge()
{
    EditorHarness h(200.0);
    QWidget* strip = h.strip();
    const int y = strip->height() / 2;
    QTest::mousePress(strip, Qt::LeftButton, {}, QPoint(100, y));
    QCOMPARE(h.pointer(), 100.0);
    QTest::mouseMove(strip, QPoint(strip->width() - 10, y));
    QCOMPARE(h.pointer(), double(strip->width() - 10));
    // Past the right end: ignored, the pointer stays at the last place inside.
    QTest::mouseMove(strip, QPoint(strip->width() + 40, y));
    QCOMPARE(h.pointer(), double(strip->width() - 10));
    QTest::mouseRelease(strip, Qt::LeftButton, {}, QPoint(strip->width() + 40, y));
    QCOMPARE(h.pointer(), double(strip->width() - 10));
    QCOMPARE(h.player->time, (strip->width() - 10) / h.stripWidth() * 200.0);
}

void TestEditorPlayback::scrubbingHidesThePlayButtonOnlyWhenStopped_data()
{
    QTest::addColumn<bool>("playing");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<bool>("hides");

    QTest::newRow("stopped") << false << false << true;
    QTest::newRow("playing") << true << false << false;
    QTest::newRow("failed player counts as stopped") << true << true << true;
}

void TestEditorPlayback::scrubbingHidesThePlayButtonOnlyWhenStopped()
{
    QFETCH(bool, playing);
    QFETCH(bool, failed);
    QFETCH(bool, hides);

    EditorHarness h(200.0);
    h.player->playing = playing;
    h.player->failed = failed;
    QWidget* play = h.outlet("playButton");
    h.editor->handleTap(CutterViewController::GestureState::Began, 10);
    QCOMPARE(ViewAlpha::alpha(play), hides ? 0.0 : 1.0);
    h.editor->handleTap(CutterViewController::GestureState::Changed, 20);
    QCOMPARE(ViewAlpha::alpha(play), hides ? 0.0 : 1.0);
    h.editor->handleTap(CutterViewController::GestureState::Ended, 30);
    QCOMPARE(ViewAlpha::alpha(play), 1.0);
    QCOMPARE(ViewAlpha::lastFade(play).isEmpty(), !hides);
    if (hides)
        QCOMPARE(ViewAlpha::lastFade(play).value("duration").toInt(), 250);
}

void TestEditorPlayback::onlyItsOwnVideoEndingPausesIt()
{
    EditorHarness h(200.0);
    h.editor->touchPlay();
    FakePlayer other;
    emit other.playedToEnd();
    QVERIFY(h.player->playing);
    QVERIFY(h.editor->playingTimer()->isActive());

    h.player->finish();
    QVERIFY(!h.player->playing);
    QVERIFY(!h.editor->playingTimer()->isActive());
    QTRY_COMPARE(ViewAlpha::alpha(h.outlet("playButton")), 1.0);
}

void TestEditorPlayback::resizeKeepsTimesAndFractions()
{
    EditorHarness h(8.0);
    h.splitAt(0.5);
    h.editor->pointerViewLeadingConstraint()->setConstant(0.25 * h.stripWidth());

    const double before = h.stripWidth();
    h.editor->resize(800, 600);
    QTRY_VERIFY(h.stripWidth() < before - 300.0);
    const double width = h.stripWidth();
    const QList<ThumbnailView*> thumbnails = h.stripChildren<ThumbnailView>(h.strip());
    QVERIFY(std::abs(thumbnails[4]->x() - width / 2) <= 1.0);
    QVERIFY(std::abs(thumbnails[7]->x() + thumbnails[7]->width() - width) <= 1.0);
    const QList<SplitMarkerView*> markers = h.stripChildren<SplitMarkerView>(h.strip());
    QCOMPARE(markers.size(), 1);
    QVERIFY(std::abs(markers[0]->x() - width / 2) <= 1.0);
    QVERIFY(std::abs(h.pointer() - width / 4) <= 1.0);
    // A split now lands where the pointer shows: a quarter of the way.
    h.editor->touchSplit();
    QVERIFY(std::abs(h.editor->cutModel().splitPoints().back() - 0.25) < 0.01);
}

void TestEditorPlayback::closingPausesAndStopsTheTick()
{
    EditorHarness h(200.0);
    QSignalSpy closing(h.editor.get(), &CutterViewController::closeRequested);
    h.editor->touchPlay();
    h.editor->touchClose();
    QCOMPARE(closing.count(), 1);
    QVERIFY(!h.player->playing);
    QVERIFY(!h.editor->playingTimer()->isActive());
}

QTEST_MAIN(TestEditorPlayback)
#include "tst_editorplayback.moc"
