#include <QAccessible>
#include <QFileInfo>
#include <QInputDialog>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QWheelEvent>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "EditorHarness.h"
#include "FakeMedia.h"
#include "GradientView.h"
#include "TimeText.h"
#include "QuitGuard.h"
#include "VideoGenerator.h"

// The editor's wiring: the controller between the cut model, the player, the strip's
// views and the export. The rules themselves are the logic tests' tables.
class TestEditorEditing : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        cutter = std::make_unique<FakeCutter>();
        library = std::make_unique<FakeLibrary>(dir->filePath(QStringLiteral("library")));
        generator = std::make_unique<VideoGenerator>(*cutter);
    }

    void cleanup()
    {
        closeAlerts();
        generator->waitForCuts();
        QTest::qWait(20);
    }

    void opens()
    {
        EditorHarness h(8.0, services(), false);
        h.asset->failAt = {3.0};
        QTest::ignoreMessage(QtWarningMsg, "*** Error generating thumbnail: no picture at 3");
        h.editor->show();
        QCOMPARE(h.label(), QStringLiteral("00:00 / 00:08"));
        // The player gets its picture's destination and the video, and stands paused at 0.
        QCOMPARE(h.player->calls, (QStringList{"sink", "source", "seek 0"}));
        QCOMPARE(h.player->source, h.editor->videoURL);
        QCOMPARE(ViewAlpha::alpha(h.outlet("pauseButton")), 0.0);
        QCOMPARE(ViewAlpha::alpha(h.outlet("enabledPinkGradient")), 0.0);
        QVERIFY(!h.outlet("doneButton")->isEnabled() && !h.outlet("undoButton")->isEnabled());

        // Eight pictures from the strip's slots, each shown as it comes; the one that
        // failed leaves its slot empty.
        const QList<ThumbnailView*> thumbnails = h.children<ThumbnailView>();
        QCOMPARE(thumbnails.size(), 8);
        QTRY_VERIFY(!thumbnails[7]->image().isNull());
        // Each slot's own second, left to right.
        const std::vector<std::pair<double, double>> seconds{{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}, {7, 8}};
        QCOMPARE(h.asset->asked, seconds);
        for (int i = 0; i < 8; ++i) {
            QVERIFY(std::abs(thumbnails[i]->x() - h.stripWidth() / 8 * i) <= 1.0);
            QCOMPARE(thumbnails[i]->height(), h.strip()->height());
            QCOMPARE(thumbnails[i]->image().isNull(), i == 3);
        }

        // An editor closed while its pictures are being made does not wait for them
        // all, and what was under way finds no editor to show it in.
        EditorHarness closing(8.0, services(), false);
        closing.asset->slowCall = 1;
        closing.editor->show();
        QTRY_VERIFY(closing.asset->inSlowCall);
        closing.editor.reset();
        QCOMPARE(closing.asset->asked.size(), size_t(2));
        QTest::qWait(40);
    }

    void splitUndoAndResize()
    {
        EditorHarness h(10.0, services());
        auto* pink = h.outlet<GradientView>("enabledPinkGradient");
        // A split undone while its fade is still on screen: judged from the fade's target,
        // the fade back starts at once.
        h.splitAt(0.5);
        QVERIFY(pink->opacity() < 1.0);
        h.editor->touchUndo();
        QCOMPARE(ViewAlpha::alpha(pink), 0.0);
        QTRY_COMPARE(pink->opacity(), 0.0);

        // The markers' tags and the clip numbers, left to right.
        const auto strip = [&h] {
            QStringList texts;
            for (SplitMarkerView* marker : h.children<SplitMarkerView>())
                texts << QString::number(viewTag(marker));
            for (ClipNumberLabel* label : h.children<ClipNumberLabel>("splitPointsNumbersView"))
                texts << QLatin1Char('#') + label->text();
            return texts.join(QLatin1Char(' '));
        };
        h.splitAt(0.7);
        h.splitAt(0.2);
        h.editor->touchSplit(); // the same place again changes nothing
        QCOMPARE(h.editor->cutModel().splitPoints(), (std::vector<double>{0.7, 0.2}));
        // Left to right: the marker of 0.2 (placed second, tag 2), then 0.7 (tag 1), above
        // the thumbnails; clips numbered by their place on the timeline.
        QCOMPARE(strip(), QStringLiteral("2 1 #1 #2 #3"));
        SplitMarkerView* first = h.children<SplitMarkerView>().first();
        QVERIFY(std::abs(first->x() - 0.2 * h.stripWidth()) <= 1.0);
        QVERIFY(h.strip()->children().indexOf(first) > h.strip()->children().indexOf(h.children<ThumbnailView>().last()));
        QVERIFY(h.outlet("doneButton")->isEnabled());
        QVERIFY(h.outlet("undoButton")->isEnabled());
        QCOMPARE(h.outlet<QPushButton>("doneButton")->text(), QStringLiteral("Done, Save 3 Videos"));

        // Undo takes the last placed point, 0.2, though 0.7 lies further right.
        h.editor->touchUndo();
        QCOMPARE(h.editor->cutModel().splitPoints(), std::vector<double>{0.7});
        QCOMPARE(strip(), QStringLiteral("1 #1 #2"));
        h.editor->touchUndo();
        QCOMPARE(strip(), QString());
        QVERIFY(!h.outlet("doneButton")->isEnabled());
        QCOMPARE(h.outlet<QPushButton>("doneButton")->text(), QStringLiteral("Done, Save 1 Videos"));

        // After a resize the thumbnails, markers and pointer stand at their times and
        // fractions, and a split lands where the pointer shows.
        h.splitAt(0.5);
        h.editor->pointerViewLeadingConstraint()->setConstant(0.25 * h.stripWidth());
        const double before = h.stripWidth();
        h.editor->resize(800, 600);
        QTRY_VERIFY(h.stripWidth() < before - 300.0);
        const double width = h.stripWidth();
        const QList<ThumbnailView*> thumbnails = h.children<ThumbnailView>();
        QCOMPARE(thumbnails.size(), 8);
        QVERIFY(std::abs(thumbnails[4]->x() - width / 2) <= 1.0);
        QVERIFY(std::abs(thumbnails[7]->x() + thumbnails[7]->width() - width) <= 1.0);
        // A picture made for the wider slot keeps its shape in the narrower one: its
        // square stays square.
        QTRY_VERIFY(!thumbnails[2]->image().isNull());
        const QImage painted = thumbnails[2]->grab().toImage();
        int across = 0, down = 0;
        for (int x = 0; x < painted.width(); ++x)
            across += qGray(painted.pixel(x, painted.height() / 2)) < 40;
        for (int y = 0; y < painted.height(); ++y)
            down += qGray(painted.pixel(painted.width() / 2, y)) < 40;
        QVERIFY2(down > 10 && std::abs(across - down) <= 2, qPrintable(QStringLiteral("%1x%2").arg(across).arg(down)));
        QVERIFY(std::abs(h.children<SplitMarkerView>().first()->x() - width / 2) <= 1.0);
        QVERIFY(std::abs(h.pointer() - width / 4) <= 1.0);
        h.editor->touchSplit();
        QVERIFY(std::abs(h.editor->cutModel().splitPoints().back() - 0.25) < 0.01);

        // As small as a window gets on a screen of 720 x 480, with room for its frame:
        // every control still on it.
        h.editor->resize(640, 440);
        QTRY_COMPARE(h.editor->size(), QSize(640, 440));
        for (const char* name : {"closeButton", "moreButton", "doneButton", "playButton", "splitButton", "undoButton",
                                 "undoButtonLabel", "splitPointsNumbersView"}) {
            QWidget* control = h.outlet(name);
            const QRect place(control->mapTo(h.editor.get(), QPoint()), control->size());
            QVERIFY2(h.editor->rect().contains(place), name);
        }
    }

    void playback()
    {
        EditorHarness h(200.0);
        h.player->time = 65.4;
        h.editor->touchPlay();
        QVERIFY(h.player->playing);
        // One tick at once, then one per timer beat.
        QCOMPARE(h.label(), QStringLiteral("01:05 / 03:20"));
        QCOMPARE(h.pointer(), 65.4 / 200.0 * h.stripWidth());
        h.player->time = 100.0;
        QTRY_COMPARE(h.label(), QStringLiteral("01:40 / 03:20"));
        QCOMPARE(h.pointer(), h.stripWidth() / 2);
        QTRY_COMPARE(ViewAlpha::alpha(h.outlet("pauseButton")), 1.0);
        QCOMPARE(ViewAlpha::alpha(h.outlet("playButton")), 0.0);

        // Another player's end changes nothing; its own end pauses it.
        FakePlayer other;
        emit other.playedToEnd();
        QVERIFY(h.player->playing);
        h.player->finish();
        QVERIFY(!h.player->playing);
        QTRY_COMPARE(ViewAlpha::alpha(h.outlet("playButton")), 1.0);
        // Play at the end, or within a frame of it, starts again from the start.
        const auto playFrom = [&h](double time, bool ended = false) {
            h.player->time = time;
            h.player->ended = ended;
            h.player->calls.clear();
            h.editor->touchPlay();
            h.editor->touchPause();
            return h.player->calls.first();
        };
        QCOMPARE(playFrom(199.5, true), QStringLiteral("seek 0")); // the player said it ended
        QCOMPARE(playFrom(199.99), QStringLiteral("seek 0"));
        QCOMPARE(playFrom(199.5), QStringLiteral("play"));
        // So does play at the last picture, with sound running on after it.
        h.asset->pictures = {0.0, 199.0};
        QCOMPARE(playFrom(198.96), QStringLiteral("seek 0"));
        h.asset->pictures = {};
        // Play, then pause inside the play button's fade-out: the first cross-fade's
        // second half must not bring the pause button back.
        h.editor->touchPlay();
        QTest::qWait(50);
        h.editor->touchPause();
        QTest::qWait(700);
        QCOMPARE(ViewAlpha::alpha(h.outlet("playButton")), 1.0);
        QVERIFY(h.outlet("pauseButton")->isHidden());

        // Closing pauses and stops the tick: the label keeps the last one.
        h.editor->touchPlay();
        QSignalSpy closing(h.editor.get(), &CutterViewController::closeRequested);
        h.editor->touchClose();
        QCOMPARE(closing.count(), 1);
        QVERIFY(!h.player->playing);
        const QString last = h.label();
        h.player->time = 150.0;
        QTest::qWait(250);
        QCOMPARE(h.label(), last);
    }

    void scrub_data()
    {
        QTest::addColumn<bool>("playing");
        QTest::newRow("stopped: the play button hides while dragging") << false;
        QTest::newRow("playing: it stays") << true;
    }

    void scrub()
    {
        QFETCH(bool, playing);

        EditorHarness h(200.0);
        h.player->playing = playing;
        QWidget* strip = h.strip();
        QWidget* play = h.outlet("playButton");
        const int y = strip->height() / 2;
        // Where the pointer stands, in seconds.
        const auto pointerTime = [&h] { return h.pointer() / h.stripWidth() * 200.0; };
        // The first touch seeks at once, to the start of the frame under it (of 25 a
        // second), and the player to that frame; a drag flung past either end of the
        // strip holds to that end: the first frame, or the last, never past it.
        QTest::mousePress(strip, Qt::LeftButton, {}, QPoint(100, y));
        QVERIFY(h.pointer() >= 100.0 && h.pointer() - 100.0 < 0.04 / 200.0 * h.stripWidth());
        QVERIFY(std::abs(pointerTime() / 0.04 - std::round(pointerTime() / 0.04)) < 1e-6);
        QVERIFY(std::abs(h.player->time - pointerTime()) < 0.001);
        QCOMPARE(ViewAlpha::alpha(play), playing ? 1.0 : 0.0);
        QTest::mouseMove(strip, QPoint(strip->width() / 2, y));
        QTest::mouseMove(strip, QPoint(strip->width() + 40, y));
        QCOMPARE(h.label(), QStringLiteral("03:19 / 03:20"));
        QTest::mouseMove(strip, QPoint(-40, y));
        QCOMPARE(h.label(), QStringLiteral("00:00 / 03:20"));
        QTest::mouseMove(strip, QPoint(strip->width() + 40, y));
        QTest::mouseRelease(strip, Qt::LeftButton, {}, QPoint(strip->width() + 40, y));
        QVERIFY(std::abs(pointerTime() - 199.96) < 1e-9);
        QVERIFY(std::abs(h.player->time - 199.96) < 0.001);
        QCOMPARE(ViewAlpha::alpha(play), 1.0);
        // A split there gives the last frame a clip of its own, not an empty one after it.
        h.editor->touchSplit();
        QVERIFY(std::abs(h.editor->cutModel().splitPoints().at(0) * 200.0 - 199.96) < 1e-9);
        // Scrubbing never starts or stops playback.
        QCOMPARE(h.player->playing, playing);
    }

    void exports_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("clip");
        QTest::addColumn<QString>("error"); // the one "Error" alert's words, or none

        QTest::newRow("every clip in") << "" << "" << "";
        QTest::newRow("failed middle clip") << "fails" << "split-1" << "could not be cut";
        QTest::newRow("library refuses the last clip") << "refused" << "split-2" << "refused split-2";
        QTest::newRow("two clips fail: one alert names both") << "fails" << "split-0 split-2" << "2 of 3 clips";
        QTest::newRow("three clips fail: the last under the details")
            << "fails" << "split-0 split-1 split-2" << "3 of 3 clips";
        QTest::newRow("empty clip is skipped") << "empty" << "split-0" << "";
        QTest::newRow("the keyframes-only setting reaches every cut") << "keyframes" << "" << "";
    }

    void exports()
    {
        QFETCH(QString, fault);
        QFETCH(QString, clip);
        QFETCH(QString, error);

        for (const QString& name : clip.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            // Splits at 3 and 6 of 10 seconds: clip k starts at 3k.
            const double start = 3.0 * name.back().digitValue();
            if (fault == "fails")
                cutter->failures << start;
            else if (fault == "empty")
                cutter->empties << start;
            else
                library->refuse << name;
        }
        // The setting as the editor's More menu turns it on.
        bool keyframesOnly = false;
        EditorServices withSetting = services();
        withSetting.cutAtKeyframesOnly = [&keyframesOnly] { return keyframesOnly; };
        withSetting.setCutAtKeyframesOnly = [&keyframesOnly](bool on) { keyframesOnly = on; };
        EditorHarness h(10.0, withSetting);
        if (fault == "keyframes")
            h.editor->findChild<QAction*>(QStringLiteral("cutAtKeyframesOnlyAction"))->trigger();
        h.splitAt(0.6);
        h.splitAt(0.3);
        h.editor->touchDone();
        QVERIFY(h.outlet("exportProgressLabel")->isVisibleTo(h.editor.get()));
        QTRY_COMPARE(h.editor->runningExports(), 0);
        QTest::qWait(50);
        // Every clip of the video, in timeline order, each named for its place; the
        // editor is as it was.
        QStringList got;
        for (const FakeCutter::Call& call : cutter->recorded())
            got << QStringLiteral("%1 %2-%3%4").arg(call.source).arg(call.startTime).arg(call.endTime)
                       .arg(call.mode == CutMode::KeyframesOnly ? " at keyframes" : "");
        const QString mode = fault == "keyframes" ? QStringLiteral(" at keyframes") : QString();
        QCOMPARE(got, (QStringList{"/videos/holiday.mp4 0-3" + mode, "/videos/holiday.mp4 3-6" + mode,
                                   "/videos/holiday.mp4 6-10" + mode}));
        for (const auto& [name, content] : library->taken())
            QCOMPARE(content, QByteArray("clip from ") + QByteArray::number(3 * (name.at(6).digitValue())));
        QCOMPARE(h.editor->cutModel().splitPoints(), (std::vector<double>{0.6, 0.3}));
        QVERIFY(h.outlet("exportProgressLabel")->isHidden());
        // Saving again is up to the user once the export is over.
        QVERIFY(h.outlet<QPushButton>("doneButton")->isEnabled());
        QCOMPARE(h.outlet<QPushButton>("doneButton")->text(), QStringLiteral("Done, Save 3 Videos"));
        const QList<QMessageBox*> errors = openAlerts(QStringLiteral("Error"));
        QCOMPARE(errors.size(), error.isEmpty() ? 0 : 1);
        for (const QString& name : clip.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (!errors.isEmpty())
                QVERIFY2((errors.first()->text() + errors.first()->detailedText()).contains(name + QLatin1Char(':')),
                         qPrintable(errors.first()->text()));
        }
        // Every alert shows the whole of its text, wrapped where it is long, never cut.
        for (QMessageBox* alert : openAlerts(QStringLiteral("Error")) + openAlerts(QStringLiteral("Finished"))) {
            const auto* label = alert->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            QVERIFY(label && label->text() == alert->text());
            const QSize needed = label->wordWrap() ? QSize(0, label->heightForWidth(label->width())) : label->sizeHint();
            QVERIFY2(needed.width() <= label->width() && needed.height() <= label->height()
                         && alert->rect().contains(label->geometry()),
                     qPrintable(QStringLiteral("%1 needs %2x%3 of %4x%5")
                                    .arg(alert->text()).arg(needed.width()).arg(needed.height())
                                    .arg(label->width()).arg(label->height())));
        }
        if (!errors.isEmpty())
            QVERIFY2(errors.first()->text().contains(error), qPrintable(errors.first()->text()));
        // "Finished" and the review count, once, only when every clip is in.
        QCOMPARE(openAlerts(QStringLiteral("Finished")).size(), error.isEmpty() ? 1 : 0);
        QCOMPARE(*h.reviewActions, error.isEmpty() ? 1 : 0);
        // "Finished" names the folder and how many were saved, and shows the clips in it.
        if (error.isEmpty()) {
            QMessageBox* finished = openAlerts(QStringLiteral("Finished")).value(0);
            QVERIFY(finished);
            const QString text = finished->text();
            QVERIFY2(text.contains(QFileInfo(shownAfterClick(finished)[0]).absolutePath()), qPrintable(text));
            QCOMPARE(shown.size(), fault == "empty" ? 2 : 3);
            QCOMPARE(text.contains(QLatin1String("2 videos were saved")) && text.contains(QLatin1String("1 empty clip")),
                     fault == "empty");
            // At keyframes only, the split at 3 s moved to the keyframe at 2 s; the one at
            // 6 s is on a keyframe. Times are the editor's, not counted from the sound.
            QVERIFY2(text.contains(QLatin1String("moved back to the keyframe")) == (fault == "keyframes"), qPrintable(text));
            QCOMPARE(text.contains(QLatin1String("0:00:03.000 to 0:00:02.000")), fault == "keyframes");
            QVERIFY2(!text.contains(QLatin1String("0:00:06")), qPrintable(text));
        }
    }

    void cancelSaving()
    {
        // Half a second a cut, two at a time: both first clips (3 s each of 10 s) are
        // half-way while the last waits.
        cutter->delay = std::chrono::milliseconds(500);
        EditorHarness h(10.0, services());
        h.splitAt(0.6);
        h.splitAt(0.3);
        h.editor->touchDone();
        QTRY_COMPARE(h.outlet<QProgressBar>("exportProgressBar")->value(), 300);
        auto* cancel = h.outlet<QPushButton>("cancelExportButton");
        QVERIFY(cancel->isVisibleTo(h.editor.get()));
        cancel->click();
        QVERIFY(!cancel->isEnabled());
        QCOMPARE(h.outlet<QLabel>("exportProgressLabel")->text(), QStringLiteral("Stopping…"));
        QTRY_COMPARE(h.editor->runningExports(), 0);
        // The cuts under way end unsaved and the last never starts; the splits stay,
        // unsaved, and can be saved again.
        QCOMPARE(int(cutter->recorded().size()), 2);
        QVERIFY(library->taken().empty());
        const QList<QMessageBox*> stopped = openAlerts(QStringLiteral("Stopped"));
        QCOMPARE(stopped.size(), 1);
        QCOMPARE(stopped.first()->text(), QStringLiteral("Stopped: no clip was saved."));
        QVERIFY(openAlerts(QStringLiteral("Finished")).isEmpty() && openAlerts(QStringLiteral("Error")).isEmpty());
        QVERIFY(h.editor->hasUnsavedSplits());
        QVERIFY(h.outlet<QPushButton>("doneButton")->isEnabled());
        QVERIFY(h.outlet("savingRow")->isHidden());
    }

    void closingOrQuittingWaitsForExports()
    {
        QWidget window;
        QuitGuard guard(&window);
        QSignalSpy quit(&guard, &QuitGuard::quitWhenIdle);
        EditorHarness h(10.0, services());
        guard.track(h.editor.get());
        QVERIFY(guard.mayClose());
        h.splitAt(0.5);
        h.editor->touchDone();
        // One export per editor: a second Save while it runs would save every clip twice.
        auto* done = h.outlet<QPushButton>("doneButton");
        QVERIFY(!done->isEnabled() && done->text() == QStringLiteral("Saving…"));
        h.editor->touchDone();
        QCOMPARE(h.editor->runningExports(), 1);
        // While the clips are on their way, the window stays and says why.
        QVERIFY(!guard.mayClose());
        QCOMPARE(openAlerts(QStringLiteral("Still Saving")).size(), 1);
        // A closed editor lives until its exports are done, then goes; nothing is lost.
        QPointer<CutterViewController> editor = h.editor.release();
        editor->touchClose();
        editor->hide();
        editor->releaseWhenIdle();
        QVERIFY(editor);
        QTRY_VERIFY(!editor);
        QTRY_COMPARE(quit.count(), 1);
        QTRY_COMPARE(*h.reviewActions, 1);
        QCOMPARE(int(library->taken().size()), 2);
    }

    void keyboard()
    {
        EditorHarness h(10.0, services());
        QApplication::setActiveWindow(h.editor.get());
        h.editor->setFocus();
        h.editor->pointerViewLeadingConstraint()->setConstant(0.5 * h.stripWidth());
        QTest::keyClick(h.editor.get(), Qt::Key_S);
        QCOMPARE(h.editor->cutModel().splitPointCount(), 1);
        QTest::keyClick(h.editor.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(h.editor->cutModel().splitPointCount(), 0);
        // Redo under both its names, and undo again.
        QTest::keyClick(h.editor.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(h.editor->cutModel().splitPointCount(), 1);
        QTest::keyClick(h.editor.get(), Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(h.editor.get(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(h.editor->cutModel().splitPointCount(), 1);
        QTest::keyClick(h.editor.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(h.editor->cutModel().splitPointCount(), 0);
        // With no split point the done button is disabled, and so is its key.
        QTest::keyClick(h.editor.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(h.editor->runningExports(), 0);
        QTest::keyClick(h.editor.get(), Qt::Key_S);
        QTest::keyClick(h.editor.get(), Qt::Key_Return);
        QCOMPARE(h.editor->runningExports(), 1);
        // While the "Finished" alert is open, keys do not reach the editor behind it.
        QTRY_COMPARE(openAlerts(QStringLiteral("Finished")).size(), 1);
        // Counted after "Finished", from the main queue.
        QTRY_COMPARE(*h.reviewActions, 1);
        QTest::keyClick(h.editor.get(), Qt::Key_S);
        QTest::keyClick(h.editor.get(), Qt::Key_Return);
        QCOMPARE(h.editor->cutModel().splitPointCount(), 1);
        QCOMPARE(h.editor->runningExports(), 0);
        closeAlerts();
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QApplication::setActiveWindow(h.editor.get());
        h.editor->setFocus();
        QTest::keyClick(h.editor.get(), Qt::Key_Space);
        QVERIFY(h.player->playing);
        QTest::keyClick(h.editor.get(), Qt::Key_Space);
        QVERIFY(!h.player->playing);
        // L plays, and pressed again plays faster, up to 8x; J plays slower again; K
        // pauses, and the next play is at the video's own speed.
        QList<double> rates;
        for (int press = 0; press < 5; ++press) {
            QTest::keyClick(h.editor.get(), Qt::Key_L);
            rates << h.player->rate;
        }
        QCOMPARE(rates, (QList<double>{1, 2, 4, 8, 8}));
        QVERIFY(h.player->playing);
        QVERIFY2(h.outlet<QLabel>("currentTimeLabel")->text().endsWith(QString::fromUtf8("8×")),
                 qPrintable(h.outlet<QLabel>("currentTimeLabel")->text()));
        QTest::keyClick(h.editor.get(), Qt::Key_J);
        QCOMPARE(h.player->rate, 4.0);
        QVERIFY(h.player->playing);
        QTest::keyClick(h.editor.get(), Qt::Key_K);
        QVERIFY(!h.player->playing);
        QCOMPARE(h.player->rate, 1.0);
        QVERIFY(!h.outlet<QLabel>("currentTimeLabel")->text().contains(QString::fromUtf8("×")));
        QSignalSpy closing(h.editor.get(), &CutterViewController::closeRequested);
        QTest::keyClick(h.editor.get(), Qt::Key_Escape);
        QCOMPARE(closing.count(), 1);
    }


    void positioning_data()
    {
        // An empty key sequence: the video plays to its end there.
        QTest::addColumn<QList<QKeySequence>>("keys");
        QTest::addColumn<bool>("playing");
        QTest::addColumn<int>("frame"); // of 25 per second, where the playhead comes to rest
        QTest::addColumn<double>("soundAfter"); // seconds of sound after the last picture

        const QKeySequence right(Qt::Key_Right);
        QTest::newRow("15 frames on") << QList<QKeySequence>(15, right) << false << 15 << 0.0;
        QTest::newRow("a frame on while playing pauses first") << QList<QKeySequence>{right} << true << 52 << 0.0;
        QTest::newRow("two seconds on, a frame back")
            << QList<QKeySequence>{QKeySequence(Qt::SHIFT | Qt::Key_Right), QKeySequence(Qt::SHIFT | Qt::Key_Right),
                                   QKeySequence(Qt::Key_Left)}
            << false << 49 << 0.0;
        QTest::newRow("the last frame") << QList<QKeySequence>{QKeySequence(Qt::Key_End)} << false << 249 << 0.0;
        QTest::newRow("two seconds on, J a second back")
            << QList<QKeySequence>{QKeySequence(Qt::SHIFT | Qt::Key_Right), QKeySequence(Qt::SHIFT | Qt::Key_Right),
                                   QKeySequence(Qt::Key_J)}
            << false << 25 << 0.0;
        QTest::newRow("K: pause where it plays") << QList<QKeySequence>{QKeySequence(Qt::Key_K)} << true << 51 << 0.0;
        QTest::newRow("back past the first frame stays on it")
            << QList<QKeySequence>{right, QKeySequence(Qt::Key_Home), QKeySequence(Qt::Key_Left)} << false << 0 << 0.0;
        QTest::newRow("the last frame, then the first")
            << QList<QKeySequence>{QKeySequence(Qt::Key_End), QKeySequence(Qt::Key_Home)} << false << 0 << 0.0;
        QTest::newRow("played to the end: it rests on the last frame") << QList<QKeySequence>{QKeySequence()} << true << 249 << 0.0;
        QTest::newRow("played to the end, then a frame back")
            << QList<QKeySequence>{QKeySequence(), QKeySequence(Qt::Key_Left)} << true << 248 << 0.0;
        QTest::newRow("played to the end, then the first frame")
            << QList<QKeySequence>{QKeySequence(), QKeySequence(Qt::Key_Home)} << true << 0 << 0.0;
        // Up and Down go from split to split and select it (Delete removes it); with none
        // that way, the playhead stays. The row ends with one split, where it rests.
        const QKeySequence second(Qt::SHIFT | Qt::Key_Right);
        const QKeySequence split(Qt::Key_S);
        QTest::newRow("Up and Down from split to split")
            << QList<QKeySequence>{second, second, split, second, second, split, QKeySequence(Qt::Key_Up),
                                   QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Home), QKeySequence(Qt::Key_Down),
                                   QKeySequence(Qt::Key_Up)}
            << false << 100 << 0.0;
        // Alt+Left and Alt+Right move the selected split a frame, with Shift a second, and
        // the playhead with it.
        QTest::newRow("a split moved by keys")
            << QList<QKeySequence>{second, second, split, QKeySequence(Qt::Key_Home), QKeySequence(Qt::Key_Down),
                                   QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Right), QKeySequence(Qt::ALT | Qt::Key_Left),
                                   QKeySequence(Qt::ALT | Qt::Key_Left)}
            << false << 73 << 0.0;
        QTest::newRow("sound after the pictures: the last frame is the last picture")
            << QList<QKeySequence>{QKeySequence(Qt::Key_End)} << false << 249 << 0.5;
        QTest::newRow("sound after the pictures: played to the end, the last picture")
            << QList<QKeySequence>{QKeySequence()} << true << 249 << 0.5;
    }

    void positioning()
    {
        QFETCH(QList<QKeySequence>, keys);
        QFETCH(bool, playing);
        QFETCH(int, frame);
        QFETCH(double, soundAfter);

        EditorHarness h(10.0 + soundAfter, services(), false);
        if (soundAfter > 0.0)
            h.asset->pictures = {0.0, 10.0};
        h.editor->show();
        QApplication::setActiveWindow(h.editor.get());
        h.editor->setFocus();
        // Played from a clock between two frames' starts: paused, the player is sent to
        // the frame the playhead rests on, whichever picture it last showed.
        if (playing) {
            h.player->time = 2.01;
            h.editor->touchPlay();
        }
        // The player's clock is not to be trusted at the end: here it still reads where
        // playing started.
        for (const QKeySequence& key : keys)
            key.isEmpty() ? h.player->finish() : QTest::keySequence(h.editor.get(), key);
        QVERIFY(!h.player->playing);
        // The player shows the frame, the readout names it, the label keeps its format.
        QCOMPARE(h.player->time, std::floor(frame * 40.0) / 1000.0);
        QCOMPARE(h.outlet<QLabel>("frameReadoutLabel")->text().section(QStringLiteral(" · frame "), 1), QString::number(frame));
        QCOMPARE(h.label(), timeLabelText(frame * 0.04, h.editor->duration()));
        // Screen readers read the strip as a slider at the playhead's time.
        QAccessibleInterface* slider = QAccessible::queryAccessibleInterface(h.strip());
        QCOMPARE(slider->role(), QAccessible::Slider);
        QVERIFY(std::abs(slider->valueInterface()->currentValue().toDouble() - frame * 0.04) < 1e-9);
        // A split there puts exactly the frames stepped over in the first clip.
        QTest::keyClick(h.editor.get(), Qt::Key_S);
        QTest::keyClick(h.editor.get(), Qt::Key_S, Qt::ControlModifier);
        QTRY_COMPARE(h.editor->runningExports(), 0);
        const FakeCutter::Call first = cutter->recorded().front();
        QVERIFY2(std::abs(first.endTime - frame * 0.04) < 1e-9, qPrintable(QString::number(first.endTime, 'g', 17)));
        // Its marker is an item named with its time; a value the screen reader sets
        // moves the playhead there.
        QStringList items;
        for (int i = 0; i < slider->childCount(); ++i) {
            if (slider->child(i)->role() == QAccessible::ListItem)
                items << slider->child(i)->text(QAccessible::Name);
        }
        QCOMPARE(items, QStringList{QStringLiteral("Split at ") + preciseTimeText(frame * 0.04)});
        slider->valueInterface()->setCurrentValue(1.0);
        QCOMPARE(h.editor->playheadTime(), 1.0);
    }

    void resizeKeepsPlayAndPause()
    {
        // Whichever button shows stays on screen when the window changes size; a faded-in
        // button was once painted from a stale copy and vanished.
        EditorHarness h(200.0);
        for (bool playing : {true, false}) {
            playing ? h.editor->touchPlay() : h.editor->touchPause();
            QWidget* button = h.outlet(playing ? "pauseButton" : "playButton");
            QTRY_COMPARE(ViewAlpha::shownOpacity(button), 1.0);
            QTest::qWait(50);
            h.editor->resize(playing ? 900 : 1100, playing ? 650 : 700);
            QTest::qWait(50);
            const QImage screen = h.editor->grab().toImage();
            // Left of the symbol: the button's light face, not the dark screen behind.
            const QPoint face = button->mapTo(h.editor.get(), button->rect().center() - QPoint(12, 0));
            QVERIFY2(qGray(screen.pixel(face)) > 180, playing ? "pause" : "play");
        }
    }

    void unsavedSplitsAreNotDroppedUnasked()
    {
        EditorHarness h(10.0, services());
        QSignalSpy closing(h.editor.get(), &CutterViewController::closeRequested);
        const auto question = [] { return openAlerts(QStringLiteral("Unsaved Splits")).value(0); };
        h.splitAt(0.3);
        h.splitAt(0.6);
        // Esc asks; Esc again on the question (Cancel) keeps the editor and its splits.
        h.editor->touchClose();
        QVERIFY(question());
        QVERIFY2(question()->text().startsWith(QLatin1String("Discard 2 split")), qPrintable(question()->text()));
        QTest::keyClick(question(), Qt::Key_Escape);
        QTRY_VERIFY(!question());
        QCOMPARE(closing.count(), 0);
        QCOMPARE(h.editor->cutModel().splitPointCount(), 2);
        // Discard closes.
        h.editor->touchClose();
        for (QAbstractButton* button : question()->buttons()) {
            if (button->text() == QLatin1String("Discard"))
                button->click();
        }
        QCOMPARE(closing.count(), 1);
        // Saved splits are not asked about; a split added after the save is.
        h.splitAt(0.8);
        h.editor->touchDone();
        QTRY_COMPARE(h.editor->runningExports(), 0);
        closeAlerts();
        h.editor->touchClose();
        QCOMPARE(closing.count(), 2);
        h.splitAt(0.9);
        QVERIFY(h.editor->hasUnsavedSplits());
    }

    void editingSplits()
    {
        EditorHarness h(10.0, services());
        QApplication::setActiveWindow(h.editor.get());
        h.editor->setFocus();
        QWidget* strip = h.strip();
        const int y = strip->height() / 2;
        const auto at = [&h, y](double fraction) { return QPoint(int(std::lround(fraction * h.stripWidth())) + 2, y); };
        const auto points = [&h] { return h.editor->cutModel().splitPoints(); };
        h.splitAt(0.2);
        h.splitAt(0.7);
        // A click on a marker selects it and leaves the playhead; Delete removes it.
        h.editor->pointerViewLeadingConstraint()->setConstant(0.0);
        QTest::mouseClick(strip, Qt::LeftButton, {}, at(0.7));
        QCOMPARE(h.editor->selectedMarker(), std::optional<int>(1));
        QVERIFY(h.children<SplitMarkerView>().last()->isSelected());
        QCOMPARE(h.pointer(), 0.0);
        QTest::keyClick(h.editor.get(), Qt::Key_Delete);
        QCOMPARE(points(), std::vector<double>{0.2});
        QCOMPARE(h.children<SplitMarkerView>().size(), 1);
        // Dragging moves a marker onto the start of a frame (0.04 s here), and the
        // playhead with it: the picture is the clip's first frame.
        QTest::mousePress(strip, Qt::LeftButton, {}, at(0.2));
        QTest::mouseMove(strip, at(0.5));
        QTest::mouseRelease(strip, Qt::LeftButton, {}, at(0.5));
        const double seconds = points().front() * 10.0;
        QVERIFY2(std::abs(seconds - 5.0) < 0.1 && std::abs(seconds / 0.04 - std::round(seconds / 0.04)) < 1e-6,
                 qPrintable(QString::number(seconds, 'g', 17)));
        QVERIFY2(std::abs(h.editor->playheadTime() - seconds) < 1e-9, qPrintable(QString::number(h.editor->playheadTime())));
        QVERIFY(std::abs(h.children<SplitMarkerView>().first()->x() - seconds / 10.0 * h.stripWidth()) <= 1.0);
        // Equal parts are one edit. Undo takes back the last edit, whatever it was.
        h.editor->touchSplitIntoParts();
        auto* parts = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        QVERIFY(parts);
        parts->setIntValue(4);
        parts->accept();
        QCOMPARE(points().size(), size_t(4)); // 0.25, 0.5 and 0.75 after the moved point
        const std::vector<std::vector<double>> steps{{points().front()}, {0.2}, {0.2, 0.7}, {0.2}, {}};
        for (const std::vector<double>& expected : steps) {
            h.editor->touchUndo();
            QCOMPARE(points(), expected);
            QCOMPARE(h.children<SplitMarkerView>().size(), qsizetype(expected.size()));
        }
        QVERIFY(!h.outlet("undoButton")->isEnabled());

        // A number too wide for its clip is left out, never drawn over its neighbours.
        for (double fraction : {0.0, 0.001, 0.5})
            h.splitAt(fraction);
        QStringList numbers;
        for (ClipNumberLabel* label : h.children<ClipNumberLabel>("splitPointsNumbersView")) {
            if (label->isVisibleTo(h.outlet("splitPointsNumbersView")))
                numbers << label->text();
        }
        QCOMPARE(numbers, (QStringList{"3", "4"}));
    }

    // A long video's sound takes a while to read: after a moment a note says so where
    // the waveform will be, with how far the reading is, and goes when the waveform comes.
    void waveformBeingRead()
    {
        EditorHarness h(100.0, services(), false);
        h.asset->peaks.assign(size_t(100 * VideoAsset::SOUND_PEAKS_PER_SECOND), 180);
        h.asset->soundHeld = true;
        h.asset->soundShare = 0.427;
        h.editor->show();
        const auto note = [&h] { return h.editor->findChild<QLabel*>(QStringLiteral("soundReadingLabel")); };
        QTest::qWait(200);
        QVERIFY(!note() || !note()->isVisible());
        QTRY_VERIFY(note() && note()->isVisible());
        QTRY_COMPARE(note()->text(), QStringLiteral("Reading the sound\u2026 42%"));
        QVERIFY(h.strip()->rect().contains(note()->geometry()));
        QVERIFY(note()->geometry().bottom() > h.strip()->height() / 2);
        h.asset->soundHeld = false;
        QTRY_VERIFY(!h.children<WaveformView>().isEmpty() && h.children<WaveformView>().first()->isVisible());
        QVERIFY(!note()->isVisible());
    }

    // While playing, a zoomed strip follows the playhead, unless it is scrolled away by
    // hand: then it stays until the playhead comes into it, or is moved, or play starts.
    void scrolledAwayWhilePlaying()
    {
        EditorHarness h(100.0, services(), false);
        h.editor->show();
        auto* strip = static_cast<StripView*>(h.strip());
        const auto shows = [strip](double seconds) {
            const double x = strip->viewport().xOf(seconds / 100.0);
            return x >= 0.0 && x <= strip->viewport().width;
        };
        h.editor->goToFrame(std::llround(10.0 / 0.04));
        strip->zoomTo(3);
        h.editor->touchPlay();
        h.player->time = 20.0;
        QTRY_VERIFY(shows(20.0));
        // Turned on by hand, ahead of the playhead: it stays there as play goes on.
        for (int notch = 0; notch < 40; ++notch) {
            QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(strip, &wheel);
        }
        const double scrolled = strip->viewport().offset;
        QVERIFY(!shows(21.0));
        h.player->time = 21.0;
        QTest::qWait(300);
        QCOMPARE(strip->viewport().offset, scrolled);
        // Once the playhead comes into it, it follows again, past its end.
        const double ahead = strip->viewport().fractionAt(strip->viewport().width / 2) * 100.0;
        h.player->time = ahead;
        QTest::qWait(300);
        h.player->time = ahead + 10.0;
        QTRY_VERIFY(shows(ahead + 10.0));
        // Scrolled away again, then moved on purpose: shown.
        strip->scrollTo(0.0);
        QVERIFY(!shows(80.0));
        h.editor->touchPause();
        h.editor->goToFrame(std::llround(80.0 / 0.04));
        QTRY_VERIFY(shows(80.0));
    }

    // Zoomed by any of its controls, the strip keeps the playhead where it stood; zoomed
    // and scrolled, it shows markers at their times and each slot's own picture, and
    // presses, drags and splits land at the times under the mouse.
    void zoomedEditing_data()
    {
        QTest::addColumn<QString>("control"); // "keys", "wheel" (two notches too many) or "slider"
        QTest::addColumn<int>("level");
        QTest::addColumn<double>("playhead"); // seconds, of 100
        QTest::addColumn<int>("notches"); // of the wheel turned down after zooming
        QTest::addColumn<bool>("sound");  // with a pause of 0.2 s just after the playhead
        QTest::addColumn<double>("scale"); // of the splits' and the pause's distances from it

        QTest::newRow("unzoomed") << "keys" << 0 << 50.0 << 0 << true << 1.0;
        QTest::newRow("Ctrl+plus twice") << "keys" << 2 << 53.0 << 0 << true << 1.0;
        // 100 s at 25 fps: 1.5 frames a thumbnail at level 8, 0.76 at 9.
        QTest::newRow("Ctrl+wheel, no deeper than a frame a thumbnail") << "wheel" << 8 << 53.0 << 0 << true << 0.0625;
        QTest::newRow("slider, near the start, no sound") << "slider" << 3 << 5.0 << 0 << false << 1.0;
        QTest::newRow("scrolled a thumbnail on") << "keys" << 2 << 40.0 << 1 << true << 1.0;
        QTest::newRow("scrolled to the end, and no further") << "keys" << 3 << 98.0 << 3 << true << 1.0;
    }

    void zoomedEditing()
    {
        QFETCH(QString, control);
        QFETCH(int, level);
        QFETCH(double, playhead);
        QFETCH(int, notches);
        QFETCH(bool, sound);
        QFETCH(double, scale);

        EditorHarness h(100.0, services(), false);
        const int rate = VideoAsset::SOUND_PEAKS_PER_SECOND;
        const double pauseFrom = 0.2 * scale;
        const double pauseTo = 0.4 * scale;
        if (sound) {
            h.asset->peaks.assign(size_t(100 * rate), 180);
            std::fill_n(h.asset->peaks.begin() + std::lround((playhead + pauseFrom) * rate),
                        std::lround((pauseTo - pauseFrom) * rate), 0);
        }
        h.editor->show();
        QApplication::setActiveWindow(h.editor.get());
        h.editor->setFocus();
        auto* strip = static_cast<StripView*>(h.strip());
        // The waveform comes before the zoom, and follows it.
        if (sound)
            QTRY_VERIFY(!h.children<WaveformView>().isEmpty() && h.children<WaveformView>().first()->isVisible());
        QWidget* pointer = h.outlet("pointerView");
        const auto stripX = [strip](QWidget* view) { return view->mapToGlobal(QPoint()).x() - strip->mapToGlobal(QPoint()).x(); };
        h.splitAt((playhead - 0.5 * scale) / 100.0);
        h.splitAt((playhead + 1.0 * scale) / 100.0);
        h.editor->goToFrame(std::llround(playhead / 0.04));
        const int before = stripX(pointer);

        if (control == QLatin1String("slider")) {
            h.outlet<QSlider>("zoomSlider")->setValue(level);
        } else if (control == QLatin1String("wheel")) {
            for (int notch = 0; notch < level + 2; ++notch) {
                QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, 120), Qt::NoButton,
                                  Qt::ControlModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(strip, &wheel);
            }
        } else {
            for (int press = 0; press < level; ++press)
                QTest::keySequence(h.editor.get(), QKeySequence(QKeySequence::ZoomIn));
        }
        QCOMPARE(strip->zoomLevel(), level);
        QCOMPARE(h.outlet<QSlider>("zoomSlider")->value(), level);
        QVERIFY(std::abs(stripX(pointer) - before) <= 1);
        const double zoomedOffset = strip->viewport().offset;
        for (int notch = 0; notch < notches; ++notch) {
            QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(strip, &wheel);
        }
        const strip::Viewport view = strip->viewport();
        QCOMPARE(view.offset, std::min(zoomedOffset + notches * view.width / 8, view.contentWidth() - view.width));
        QCOMPARE(h.outlet<QScrollBar>("stripScrollBar")->value(), int(std::lround(view.offset)));
        const double point = 100.0 / view.contentWidth(); // seconds
        QVERIFY(std::abs(view.fractionAt(stripX(pointer)) * 100.0 - playhead) <= point);
        for (SplitMarkerView* marker : h.children<SplitMarkerView>()) {
            QVERIFY(marker->x() >= 0 && marker->x() < strip->width());
            QVERIFY(std::abs(view.fractionAt(marker->x()) - marker->position()) * 100.0 <= point);
        }
        // Each thumbnail comes to show its own stretch (the fake colours it by its start).
        const std::vector<strip::ThumbnailSlot> placed = strip::thumbnailSlots(view, strip->height(), 100.0);
        const QList<ThumbnailView*> thumbnails = h.children<ThumbnailView>();
        QCOMPARE(thumbnails.size(), qsizetype(placed.size()));
        for (size_t i = 0; i < placed.size(); ++i) {
            ThumbnailView* thumbnail = thumbnails[qsizetype(i)];
            QCOMPARE(thumbnail->geometry(), placed[i].frame.toAlignedRect());
            const int hue = int(placed[i].requestTime * 10) % 360;
            const auto off = [thumbnail, hue] {
                const int seen = thumbnail->image().isNull() ? -1 : QColor(thumbnail->image().pixel(1, 1)).hsvHue();
                return std::min(std::abs(seen - hue), 360 - std::abs(seen - hue));
            };
            QTRY_VERIFY2(off() <= 1, qPrintable(QStringLiteral("slot %1: hue off by %2").arg(placed[i].index).arg(off())));
        }

        // The waveform's columns are quiet just where the pause is, at any zoom; a video
        // without sound has none.
        if (sound) {
            const std::vector<std::uint8_t>& columns = h.children<WaveformView>().first()->columns();
            QCOMPARE(int(columns.size()), strip->width());
            int quiet = 0;
            for (int x = 0; x < int(columns.size()); ++x) {
                const double from = view.fractionAt(x) * 100.0 - playhead;
                const double to = view.fractionAt(x + 1) * 100.0 - playhead;
                const bool inPause = from >= pauseFrom && to <= pauseTo;
                quiet += inPause;
                if (to <= pauseFrom || from >= pauseTo || inPause)
                    QVERIFY2((columns[size_t(x)] == 0) == inPause, qPrintable(QString::number(x)));
            }
            QVERIFY(quiet >= 1);
        } else {
            QTest::qWait(20);
            QVERIFY(h.children<WaveformView>().isEmpty() || !h.children<WaveformView>().first()->isVisible());
        }

        // A dragged marker lands under the mouse, on a frame's start.
        const int y = strip->height() / 2;
        const int grab = h.children<SplitMarkerView>().last()->x() + 2;
        QTest::mousePress(strip, Qt::LeftButton, {}, QPoint(grab, y));
        QTest::mouseMove(strip, QPoint(grab + 30, y));
        QTest::mouseRelease(strip, Qt::LeftButton, {}, QPoint(grab + 30, y));
        QCOMPARE(h.editor->selectedMarker(), std::optional<int>(1));
        const double moved = h.editor->cutModel().splitPoints()[1] * 100.0;
        QVERIFY2(std::abs(moved - view.fractionAt(grab + 30) * 100.0) <= 0.04 + 1e-6, qPrintable(QString::number(moved)));
        // A press away from the markers moves the playhead there; a split lands on it.
        const int x = int(strip->width() * 0.3);
        QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(x, y));
        QVERIFY(!h.editor->selectedMarker());
        QVERIFY(std::abs(h.editor->playheadTime() - view.fractionAt(x) * 100.0) <= 0.04 + point);
        QCOMPARE(strip->viewport().offset, view.offset);
        h.editor->touchSplit();
        QVERIFY(std::abs(h.editor->cutModel().splitPoints().back() * 100.0 - h.editor->playheadTime()) < 1e-6);
    }

private:
    // Presses "Show in Folder" and returns the files it was to show.
    QStringList shownAfterClick(QMessageBox* finished)
    {
        for (QAbstractButton* button : finished->buttons()) {
            if (button->text() == QLatin1String("Show in Folder"))
                button->click();
        }
        return shown.isEmpty() ? QStringList{QString()} : shown;
    }

    EditorServices services()
    {
        return {{}, {}, generator.get(), library.get(), {}, {}, [this](const QStringList& files) { shown = files; }, {}, {}};
    }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeCutter> cutter;
    std::unique_ptr<FakeLibrary> library;
    std::unique_ptr<VideoGenerator> generator;
    QStringList shown; // the files "Show in Folder" was asked to show
};

QTEST_MAIN(TestEditorEditing)
#include "tst_editorediting.moc"
