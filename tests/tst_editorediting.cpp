#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "EditorHarness.h"
#include "FakeMedia.h"
#include "GradientView.h"
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
        generator = std::make_unique<VideoGenerator>(*cutter, dir->filePath(QStringLiteral("cache")));
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

        // Eight pictures from the strip's slots; the one that failed leaves its slot empty.
        QCOMPARE(h.asset->asked, (std::vector<double>{0, 1, 2, 3, 4, 5, 6, 7}));
        const QList<ThumbnailView*> thumbnails = h.children<ThumbnailView>();
        QCOMPARE(thumbnails.size(), 8);
        for (int i = 0; i < 8; ++i) {
            QVERIFY(std::abs(thumbnails[i]->x() - h.stripWidth() / 8 * i) <= 1.0);
            QCOMPARE(thumbnails[i]->height(), h.strip()->height());
            QCOMPARE(thumbnails[i]->image().isNull(), i == 3);
        }
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
        QVERIFY(std::abs(h.children<SplitMarkerView>().first()->x() - width / 2) <= 1.0);
        QVERIFY(std::abs(h.pointer() - width / 4) <= 1.0);
        h.editor->touchSplit();
        QVERIFY(std::abs(h.editor->cutModel().splitPoints().back() - 0.25) < 0.01);
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
        const auto playFrom = [&h](double time) {
            h.player->time = time;
            h.player->calls.clear();
            h.editor->touchPlay();
            h.editor->touchPause();
            return h.player->calls.first();
        };
        QCOMPARE(playFrom(199.5), QStringLiteral("seek 0")); // the player said it ended
        QCOMPARE(playFrom(199.99), QStringLiteral("seek 0"));
        QCOMPARE(playFrom(199.5), QStringLiteral("play"));
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
        // The first touch seeks at once; a drag past the strip's end stops at the last
        // place inside it.
        QTest::mousePress(strip, Qt::LeftButton, {}, QPoint(100, y));
        QCOMPARE(h.pointer(), 100.0);
        QCOMPARE(h.player->time, 100.0 / h.stripWidth() * 200.0);
        QCOMPARE(ViewAlpha::alpha(play), playing ? 1.0 : 0.0);
        QTest::mouseMove(strip, QPoint(strip->width(), y));
        QCOMPARE(h.label(), QStringLiteral("03:20 / 03:20"));
        QTest::mouseMove(strip, QPoint(strip->width() + 40, y));
        QTest::mouseRelease(strip, Qt::LeftButton, {}, QPoint(strip->width() + 40, y));
        QCOMPARE(h.pointer(), h.stripWidth());
        QCOMPARE(h.player->time, 200.0);
        QCOMPARE(ViewAlpha::alpha(play), 1.0);
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
        QTest::newRow("empty clip is skipped") << "empty" << "split-0" << "";
    }

    void exports()
    {
        QFETCH(QString, fault);
        QFETCH(QString, clip);
        QFETCH(QString, error);

        // Splits at 3 and 6 of 10 seconds: clip k starts at 3k.
        const double start = clip.isEmpty() ? -1.0 : 3.0 * clip.back().digitValue();
        if (fault == "fails")
            cutter->failures << start;
        else if (fault == "empty")
            cutter->empties << start;
        else if (fault == "refused")
            library->refuse << clip;
        EditorHarness h(10.0, services());
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
            got << QStringLiteral("%1 %2-%3").arg(call.source).arg(call.startTime).arg(call.endTime);
        QCOMPARE(got, (QStringList{"/videos/holiday.mp4 0-3", "/videos/holiday.mp4 3-6", "/videos/holiday.mp4 6-10"}));
        for (const auto& [name, content] : library->taken())
            QCOMPARE(content, QByteArray("clip from ") + QByteArray::number(3 * (name.at(6).digitValue())));
        QCOMPARE(h.editor->cutModel().splitPoints(), (std::vector<double>{0.6, 0.3}));
        QVERIFY(h.outlet("exportProgressLabel")->isHidden());
        const QList<QMessageBox*> errors = openAlerts(QStringLiteral("Error"));
        QCOMPARE(errors.size(), error.isEmpty() ? 0 : 1);
        if (!errors.isEmpty())
            QVERIFY2(errors.first()->text().contains(error), qPrintable(errors.first()->text()));
        // "Finished" and the review count, once, only when every clip is in.
        QCOMPARE(openAlerts(QStringLiteral("Finished")).size(), error.isEmpty() ? 1 : 0);
        QCOMPARE(h.reviewActions, error.isEmpty() ? 1 : 0);
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
        h.editor->touchDone();
        QCOMPARE(h.editor->runningExports(), 2);
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
        QTRY_COMPARE(h.reviewActions, 2);
        QCOMPARE(int(library->taken().size()), 2); // two exports of the same two clips, by name
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
        // With no split point the done button is disabled, and so is its key.
        QTest::keyClick(h.editor.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(h.editor->runningExports(), 0);
        QTest::keyClick(h.editor.get(), Qt::Key_S);
        QTest::keyClick(h.editor.get(), Qt::Key_Return);
        QCOMPARE(h.editor->runningExports(), 1);
        // While the "Finished" alert is open, keys do not reach the editor behind it.
        QTRY_COMPARE(openAlerts(QStringLiteral("Finished")).size(), 1);
        // Counted after "Finished", from the main queue: waited for, as the count lives in h.
        QTRY_COMPARE(h.reviewActions, 1);
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
        QSignalSpy closing(h.editor.get(), &CutterViewController::closeRequested);
        QTest::keyClick(h.editor.get(), Qt::Key_Escape);
        QCOMPARE(closing.count(), 1);
    }

private:
    EditorServices services() const { return {{}, {}, generator.get(), library.get(), {}}; }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeCutter> cutter;
    std::unique_ptr<FakeLibrary> library;
    std::unique_ptr<VideoGenerator> generator;
};

QTEST_MAIN(TestEditorEditing)
#include "tst_editorediting.moc"
