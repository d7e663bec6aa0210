#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "EditorHarness.h"
#include "FakeMedia.h"
#include "QuitGuard.h"
#include "VideoGenerator.h"
#include "ViewAlpha.h"

namespace {

QStringList markerTags(EditorHarness& h)
{
    QStringList tags;
    for (SplitMarkerView* marker : h.stripChildren<SplitMarkerView>(h.strip()))
        tags << QString::number(viewTag(marker));
    return tags;
}

} // namespace

class TestEditorEditing : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void splitAndUndo();
    void duplicateSplitChangesNothing();
    void splitsAtTheEnds();
    void controls_data();
    void controls();
    void addThenUndoWithinAFade();
    void exportStartsEveryCutInTimelineOrder();
    void exportOutcomes_data();
    void exportOutcomes();
    void twoExportsAtOnce();
    void closingDuringAnExport();
    void keyboard();
    void quittingWaitsForExports();

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeCutter> cutter;
    std::unique_ptr<FakeLibrary> library;
    std::unique_ptr<VideoGenerator> generator;
    EditorServices services();
};

void TestEditorEditing::init()
{
    dir = std::make_unique<QTemporaryDir>();
    cutter = std::make_unique<FakeCutter>();
    library = std::make_unique<FakeLibrary>(dir->filePath(QStringLiteral("library")));
    generator = std::make_unique<VideoGenerator>(*cutter, dir->filePath(QStringLiteral("cache")));
}

void TestEditorEditing::cleanup()
{
    closeAlerts();
    generator->waitForCuts();
    QTest::qWait(20);
}

EditorServices TestEditorEditing::services()
{
    EditorServices extra;
    extra.generator = generator.get();
    extra.library = library.get();
    return extra;
}

void TestEditorEditing::splitAndUndo()
{
    EditorHarness h(10.0, services());
    h.splitAt(0.7);
    h.splitAt(0.2);
    QCOMPARE(h.editor->cutModel().splitPoints(), (std::vector<double>{0.7, 0.2}));
    // Markers, left to right: the one of 0.2 (placed second, tag 2), then 0.7 (tag 1).
    QCOMPARE(markerTags(h), (QStringList{"2", "1"}));
    const QList<SplitMarkerView*> markers = h.stripChildren<SplitMarkerView>(h.strip());
    QVERIFY(std::abs(markers[0]->x() - 0.2 * h.stripWidth()) <= 1.0);
    QCOMPARE(markers[0]->width(), 5);
    QCOMPARE(markers[0]->height(), h.strip()->height());
    // Markers lie above the thumbnails.
    QVERIFY(h.strip()->children().indexOf(markers[0]) > h.strip()->children().indexOf(h.stripChildren<ThumbnailView>(h.strip()).last()));
    // Clips numbered by their place on the timeline.
    QCOMPARE(h.clipNumbers(), (QStringList{"1", "2", "3"}));

    // Undo takes the last placed point, 0.2, though 0.7 lies further right.
    h.editor->touchUndo();
    QCOMPARE(h.editor->cutModel().splitPoints(), std::vector<double>{0.7});
    QCOMPARE(markerTags(h), QStringList{"1"});
    QVERIFY(std::abs(h.stripChildren<SplitMarkerView>(h.strip())[0]->x() - 0.7 * h.stripWidth()) <= 1.0);
    QCOMPARE(h.clipNumbers(), (QStringList{"1", "2"}));

    h.editor->touchUndo();
    QCOMPARE(markerTags(h), QStringList{});
    QCOMPARE(h.clipNumbers(), QStringList{});
    // The thumbnails stay.
    QCOMPARE(h.stripChildren<ThumbnailView>(h.strip()).size(), 8);
    h.editor->touchUndo();
    QCOMPARE(h.editor->cutModel().actionsArray().size(), size_t(2));
}

void TestEditorEditing::duplicateSplitChangesNothing()
{
    EditorHarness h(10.0, services());
    h.splitAt(0.5);
    const QString title = h.outlet<QPushButton>("doneButton")->text();
    h.editor->touchSplit();
    QCOMPARE(h.editor->cutModel().splitPoints().size(), size_t(1));
    QCOMPARE(h.editor->cutModel().actionsArray().size(), size_t(1));
    QCOMPARE(markerTags(h), QStringList{"1"});
    QCOMPARE(h.outlet<QPushButton>("doneButton")->text(), title);
}

void TestEditorEditing::splitsAtTheEnds()
{
    EditorHarness h(10.0, services());
    h.splitAt(0.0);
    h.splitAt(1.0);
    const QList<SplitMarkerView*> markers = h.stripChildren<SplitMarkerView>(h.strip());
    QCOMPARE(markers[0]->x(), 0);
    // The end's marker starts at the strip's right edge.
    QCOMPARE(markers[1]->x(), h.strip()->width());
    // Numbers: clip 1 centred on 0, the last on the strip's end.
    const QList<ClipNumberLabel*> labels = h.stripChildren<ClipNumberLabel>(h.outlet("splitPointsNumbersView"));
    QCOMPARE(labels.size(), 3);
    QCOMPARE(labels.first()->layoutFrame().x(), -5.0);
    QCOMPARE(labels.last()->layoutFrame().center().x(), h.stripWidth());
}

void TestEditorEditing::controls_data()
{
    QTest::addColumn<QList<double>>("splits"); // -1 is an undo
    QTest::addColumn<bool>("doneEnabled");
    QTest::addColumn<bool>("undoEnabled");
    QTest::addColumn<double>("pink"); // the alpha last given to the pink background
    QTest::addColumn<QString>("title");

    QTest::newRow("first split") << QList<double>{0.5} << true << true << 1.0 << "Done, Save 2 Videos";
    QTest::newRow("second split") << QList<double>{0.5, 0.6} << true << true << 1.0 << "Done, Save 3 Videos";
    QTest::newRow("undo of the only split") << QList<double>{0.5, -1} << false << false << 0.0 << "Done, Save 1 Videos";
    QTest::newRow("three, then undo to two") << QList<double>{0.2, 0.5, 0.6, -1} << true << true << 1.0
                                             << "Done, Save 3 Videos";
}

void TestEditorEditing::controls()
{
    QFETCH(QList<double>, splits);
    QFETCH(bool, doneEnabled);
    QFETCH(bool, undoEnabled);
    QFETCH(double, pink);
    QFETCH(QString, title);

    EditorHarness h(10.0, services());
    for (double split : splits) {
        if (split < 0)
            h.editor->touchUndo();
        else
            h.splitAt(split);
    }
    QCOMPARE(h.outlet("doneButton")->isEnabled(), doneEnabled);
    QCOMPARE(h.outlet("undoButton")->isEnabled(), undoEnabled);
    QCOMPARE(h.outlet("undoButtonLabel")->isEnabled(), undoEnabled);
    QCOMPARE(ViewAlpha::alpha(h.outlet("enabledPinkGradient")), pink);
    QCOMPARE(ViewAlpha::alpha(h.outlet("grayDisabledGradient")), 1.0 - pink);
    QCOMPARE(h.outlet<QPushButton>("doneButton")->text(), title);
    // Split and remove keep what the form gave them.
    QVERIFY(h.outlet("splitButton")->isEnabled());
    QVERIFY(h.outlet("removeButton")->isHidden());
}

void TestEditorEditing::addThenUndoWithinAFade()
{
    EditorHarness h(10.0, services());
    QWidget* pink = h.outlet("enabledPinkGradient");
    h.splitAt(0.5);
    QCOMPARE(ViewAlpha::lastFade(pink).value("duration").toInt(), 400);
    // Still mid-fade on screen, but judged from the fade's target: the fade back
    // starts at once.
    QVERIFY(ViewAlpha::shownOpacity(pink) < 1.0);
    h.editor->touchUndo();
    QCOMPARE(ViewAlpha::alpha(pink), 0.0);
    QVERIFY(!h.outlet("doneButton")->isEnabled());
    QTRY_COMPARE(ViewAlpha::shownOpacity(pink), 0.0);
    QCOMPARE(ViewAlpha::shownOpacity(h.outlet("grayDisabledGradient")), 1.0);
}

void TestEditorEditing::exportStartsEveryCutInTimelineOrder()
{
    EditorHarness h(20.0, services());
    h.splitAt(0.7);
    h.splitAt(0.2);
    h.splitAt(0.5);
    const std::vector<double> placed = h.editor->cutModel().splitPoints();
    h.editor->touchDone();
    QTRY_COMPARE(openAlerts(QStringLiteral("Finished")).size(), 1);

    std::vector<FakeCutter::Call> calls = cutter->recorded();
    std::sort(calls.begin(), calls.end(), [](const auto& a, const auto& b) { return a.startTime < b.startTime; });
    QStringList got;
    for (const FakeCutter::Call& call : calls) {
        // The library holds each clip under its name, its content saying where it began.
        QString name;
        for (const QFileInfo& clip : QDir(library->folder()).entryInfoList(QDir::Files)) {
            QFile file(clip.filePath());
            if (file.open(QIODevice::ReadOnly) && file.readAll() == "clip from " + QByteArray::number(call.startTime))
                name = clip.completeBaseName();
        }
        got << QStringLiteral("%1 %2-%3").arg(name).arg(call.startTime).arg(call.endTime);
    }
    const double p7 = h.editor->cutModel().splitPoints()[0] * 20.0;
    const double p2 = h.editor->cutModel().splitPoints()[1] * 20.0;
    const double p5 = h.editor->cutModel().splitPoints()[2] * 20.0;
    QCOMPARE(got, (QStringList{QStringLiteral("split-0 0-%1").arg(p2), QStringLiteral("split-1 %1-%2").arg(p2).arg(p5),
                               QStringLiteral("split-2 %1-%2").arg(p5).arg(p7), QStringLiteral("split-3 %1-20").arg(p7)}));
    QCOMPARE(calls.front().source, QStringLiteral("/videos/holiday.mp4"));
    const QMessageBox* finished = openAlerts(QStringLiteral("Finished")).first();
    QCOMPARE(finished->text(), QStringLiteral("Your videos were successfully saved to your camera roll"));
    QCOMPARE(finished->buttons().size(), 1);
    QCOMPARE(finished->buttons().first()->text(), QStringLiteral("Ok"));
    // Counted once, after "Finished".
    QTRY_COMPARE(h.reviewActions, 1);
    // The editor is as it was.
    QCOMPARE(h.editor->cutModel().splitPoints(), placed);
    QCOMPARE(h.outlet<QPushButton>("doneButton")->text(), QStringLiteral("Done, Save 4 Videos"));
    QCOMPARE(markerTags(h).size(), 3);
    QTRY_VERIFY(h.outlet("exportProgressLabel")->isHidden());
}

void TestEditorEditing::exportOutcomes_data()
{
    QTest::addColumn<double>("failCut");  // the clip's start, or -1
    QTest::addColumn<double>("emptyCut");
    QTest::addColumn<QString>("refuse");
    QTest::addColumn<int>("errors");
    QTest::addColumn<bool>("finished");

    QTest::newRow("failed middle clip") << 3.0 << -1.0 << "" << 1 << false;
    QTest::newRow("library refuses the last clip") << -1.0 << -1.0 << "split-2" << 1 << false;
    QTest::newRow("empty clip is skipped") << -1.0 << 0.0 << "" << 0 << true;
}

void TestEditorEditing::exportOutcomes()
{
    QFETCH(double, failCut);
    QFETCH(double, emptyCut);
    QFETCH(QString, refuse);
    QFETCH(int, errors);
    QFETCH(bool, finished);

    if (failCut >= 0)
        cutter->failures[failCut] = QStringLiteral("The clip could not be cut.");
    if (emptyCut >= 0)
        cutter->empties.push_back(emptyCut);
    if (!refuse.isEmpty())
        library->refuse << refuse;
    EditorHarness h(10.0, services());
    h.splitAt(0.3);
    h.splitAt(0.6);
    h.editor->touchDone();
    QTRY_COMPARE(h.editor->runningExports(), 0);
    QTest::qWait(50);
    QCOMPARE(openAlerts(QStringLiteral("Error")).size(), errors);
    QCOMPARE(openAlerts(QStringLiteral("Finished")).size(), finished ? 1 : 0);
    QCOMPARE(h.reviewActions, finished ? 1 : 0);
    for (QMessageBox* error : openAlerts(QStringLiteral("Error")))
        QVERIFY(!error->text().isEmpty());
}

void TestEditorEditing::twoExportsAtOnce()
{
    EditorHarness h(10.0, services());
    h.splitAt(0.5);
    h.editor->touchDone();
    h.editor->touchDone();
    QCOMPARE(h.editor->runningExports(), 2);
    QVERIFY(h.outlet("exportProgressLabel")->isVisibleTo(h.editor.get()));
    QTRY_COMPARE(h.editor->runningExports(), 0);
    QTRY_COMPARE(openAlerts(QStringLiteral("Finished")).size(), 2);
    QTRY_COMPARE(h.reviewActions, 2);
    // Four clips, none overwritten.
    QCOMPARE(QDir(library->folder()).entryList(QDir::Files).size(), 4);
}

void TestEditorEditing::closingDuringAnExport()
{
    EditorHarness h(10.0, services());
    h.splitAt(0.5);
    h.editor->touchDone();
    QPointer<CutterViewController> editor = h.editor.release();
    QSignalSpy closing(editor.data(), &CutterViewController::closeRequested);
    editor->touchClose();
    editor->hide();
    editor->releaseWhenIdle();
    // Alive until its export is done, then gone; nothing lost on the way.
    QVERIFY(editor);
    QTRY_VERIFY(!editor);
    QCOMPARE(QDir(library->folder()).entryList(QDir::Files).size(), 2);
    // Still counted, on the main queue after the editor has gone.
    QTRY_COMPARE(h.reviewActions, 1);
}

void TestEditorEditing::keyboard()
{
    EditorHarness h(10.0, services());
    QApplication::setActiveWindow(h.editor.get());
    h.editor->setFocus();
    h.editor->pointerViewLeadingConstraint()->setConstant(0.5 * h.stripWidth());
    QTest::keyClick(h.editor.get(), Qt::Key_S);
    QCOMPARE(h.editor->cutModel().splitPointCount(), 1);
    QTest::keyClick(h.editor.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(h.editor->cutModel().splitPointCount(), 0);
    // Saving with no split point: the done button is disabled, so nothing happens.
    QTest::keyClick(h.editor.get(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(h.editor->runningExports(), 0);
    QTest::keyClick(h.editor.get(), Qt::Key_S);
    QTest::keyClick(h.editor.get(), Qt::Key_Return);
    QCOMPARE(h.editor->runningExports(), 1);
    // While the "Finished" alert is open, keys do not reach the editor behind it.
    QTRY_COMPARE(openAlerts(QStringLiteral("Finished")).size(), 1);
    // Counted after "Finished", on the main queue: waited for, as the count lives in h.
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

void TestEditorEditing::quittingWaitsForExports()
{
    QWidget window;
    QuitGuard guard(&window);
    QSignalSpy quit(&guard, &QuitGuard::quitWhenIdle);
    EditorHarness h(10.0, services());
    guard.track(h.editor.get());
    QVERIFY(guard.mayClose());
    h.splitAt(0.5);
    h.editor->touchDone();
    // While the clips are on their way, the window stays, says why, and goes after.
    QVERIFY(!guard.mayClose());
    QCOMPARE(openAlerts(QStringLiteral("Still Saving")).size(), 1);
    QTRY_COMPARE(quit.count(), 1);
    QCOMPARE(QDir(library->folder()).entryList(QDir::Files).size(), 2);
    QTRY_COMPARE(h.reviewActions, 1);
}

QTEST_MAIN(TestEditorEditing)
#include "tst_editorediting.moc"
