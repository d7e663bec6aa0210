#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include <QPointer>
#include <QUrl>
#include <QWidget>

#include "CancelToken.h"
#include "CutModel.h"
#include "EditorServices.h"
#include "ExportRun.h"
#include "ViewAlpha.h"

class FrameGrid;
class PointerConstraint;
class QInputDialog;
class QMenu;
class QMessageBox;
class QTimer;
struct FramePicture;
class StripView;
class TaskPool;
class VideoView;
class Player;
class VideoAsset;
namespace Ui {
class CutterViewController;
}

// The editor screen: one video in a preview with play and pause, a strip of
// thumbnails with a playhead pointer that follows playback and can be dragged, split
// and undo, and the button that saves every clip between the split points.
//
// The screen comes from its form (the scene "cutterController"); every outlet is a
// widget of that form, named as the code reads it. Set-up (viewDidLoad) runs once,
// when the screen is first shown and its widgets have their real sizes.
class CutterViewController final : public QWidget {
    Q_OBJECT

public:
    // The states a press-and-drag on the strip reports.
    enum class GestureState { Possible = 0, Began = 1, Changed = 2, Ended = 3, Cancelled = 4, Failed = 5 };

    explicit CutterViewController(EditorServices services, QWidget* parent = nullptr);
    ~CutterViewController() override;

    // The video to edit, set by the presenter before the screen is shown.
    QUrl videoURL;
    // The video opened for it, when the presenter has opened it already; otherwise the
    // editor opens videoURL itself.
    std::shared_ptr<VideoAsset> openedAsset;

    const CutModel& cutModel() const { return model; }
    double duration() const { return model.duration(); }
    PointerConstraint* pointerViewLeadingConstraint() const { return pointerConstraint; }
    VideoView* videoView() const { return video; }
    // Exports started here that have not ended yet.
    int runningExports() const { return int(exports.size()); }

    // Deletes the editor once nothing needs it: at once, or when its last export ends
    // (a closed editor lives on, hidden, until then).
    void releaseWhenIdle();

    // Shown beside the saving progress while this editor's exports run: what holds them
    // up ("Waiting for another Trimora saving into …").
    void showLibraryNotice(const QString& notice);

    // Split points that a save has not taken yet (all of them before the first save).
    bool hasUnsavedSplits() const;
    // Runs proceed at once when no split would be lost; otherwise asks "Discard N
    // splits?" and runs it only when the user discards them.
    void askToDiscard(std::function<void()> proceed);
    // The marker chosen by a click on it, as its index in the cut model's list.
    std::optional<int> selectedMarker() const { return selected; }
    // Where the playhead stands, in seconds.
    double playheadTime() const { return playhead; }

public slots:
    void touchPlay();
    void touchPause();
    void touchSplit();
    void touchUndo();
    void touchRedo();
    void touchDone();
    // Stops this editor's saving: clips already in the library stay, the rest are not
    // written, and an alert says how many were saved.
    void touchCancelSaving();
    void touchClose();
    // Deletes the selected split.
    void touchDelete();
    // Pauses and moves by whole frames (negative: back).
    void stepFrames(std::int64_t frames);
    // Moves by seconds, snapped to a frame; playback goes on if it was playing.
    void stepSeconds(double seconds);
    // Pauses, and moves the playhead to the nearest split after it (direction 1) or
    // before it (-1), which is selected; nothing when there is none that way.
    void goToSplit(int direction);
    // Moves the selected split by whole frames, or by seconds (snapped to a frame) when
    // seconds is not 0, and the playhead with it; refused onto another split.
    void moveSelectedSplit(std::int64_t frames, double seconds);
    void goToFrame(std::int64_t frame);
    void touchGoToTime();
    void touchSplitIntoParts();
    void touchSplitEvery();

    void playTimerTick();
    // The end of this editor's own video.
    void playerDidFinishPlaying();
    // One report of a press or drag on the strip, x in the strip's coordinates.
    void handleTap(GestureState state, double x);

signals:
    // The editor wants to be closed; the presenter takes it off the screen.
    void closeRequested();
    // Every export started here has ended.
    void exportsFinished();
    // The user asked to open another video: a file dropped on the editor, or the
    // file dialog (an empty path).
    void openRequested(const QString& path);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QInputDialog* askAboutVideo(const QString& name, const QString& title, const QString& label);
    void addShortcuts();
    void buildMoreMenu();
    void viewDidLoad();
    void buildThumbnailStrip(const std::shared_ptr<VideoAsset>& asset);
    void relayoutStrip(QSize oldSize, QSize newSize);
    FrameGrid frames() const;
    // Shows a time: label, pointer and, while paused, the precise readout.
    void showPlayhead(double time);
    void showReadout();
    void showFrame(std::int64_t frame);
    void stillReady(std::int64_t request, std::int64_t frame, const Outcome<FramePicture>& picture);
    void followPlayer();
    void showTitle();
    // Markers, clip numbers and controls, after any change to the split points.
    void showSplits();
    bool pressOnMarker(double x);
    void dragMarker(double x, bool release);
    void addSplits(const std::vector<double>& positions);
    void pause();
    void setShuttleRate(double rate);
    void fadeToPauseButton();
    void fadeToPlayButton();
    void crossFade(QWidget* leaving, QWidget* coming, const ViewAlpha::Fade& out, const ViewAlpha::Fade& in);
    double stripWidth() const;
    void redrawClipNumbers();
    void updateControlsState();
    void setDoneGradientAlphas(double gray, double pink);
    void exportClips();
    void exportClip(int id, const ClipReport& report, const ExportSummary& soFar);
    void exportFinished(int id, const ExportSummary& summary);
    void showFinishedAlert(const ExportSummary& summary, const QStringList& clips,
                           const std::map<double, double>& movedSplits);
    void showFailureAlert(const ExportSummary& summary, std::vector<ClipReport> failures);
    void showProgress();
    void showSaving();
    QString libraryNotice; // what holds the saving up, while it runs
    QString videoTitle;    // the video's name, shown shortened when the window is narrow
    QWidget* alertParent();

    std::unique_ptr<Ui::CutterViewController> ui;
    EditorServices services;
    CutModel model;
    std::shared_ptr<VideoAsset> mainAsset;
    // The strip's pictures are decoded here, off the main thread, one at a time; the
    // token, cancelled as the editor goes, drops those not yet decoded.
    std::unique_ptr<TaskPool> thumbnailWork;
    CancelToken thumbnailsWanted;
    // The sound's waveform is read on a worker of its own: a long video's takes seconds.
    std::unique_ptr<TaskPool> soundWork;
    CancelToken soundWanted;
    // Paused frames' pictures are decoded here, one at a time; requests are numbered,
    // and one that is no longer the newest is skipped.
    std::unique_ptr<TaskPool> stillWork;
    std::shared_ptr<std::atomic<std::int64_t>> stillWanted = std::make_shared<std::atomic<std::int64_t>>(0);
    std::int64_t stillShown = 0; // the request whose picture is on screen
    std::int64_t stillFrame = 0; // the frame it shows
    bool playerBehind = false;   // the player has not been sent to the playhead
    std::unique_ptr<Player> videoPlayer;
    QTimer* timer = nullptr;
    PointerConstraint* pointerConstraint = nullptr;
    QWidget* pointerView = nullptr;
    VideoView* video = nullptr;
    bool loaded = false;
    bool pressing = false;
    bool releaseWhenDone = false;
    std::shared_ptr<int> fadeGeneration = std::make_shared<int>(0);
    double playhead = 0.0;
    double shuttleRate = 1.0; // how fast L has made the video play
    std::optional<int> selected;
    // A marker being dragged: its index and where it would land.
    struct MarkerDrag {
        int index = 0;
        double position = 0.0;
        bool moved = false; // a click that does not move selects and nothing else
    };
    std::optional<MarkerDrag> drag;
    // The sorted split points of the last save (or discard).
    std::vector<double> savedSplits;
    QPointer<QMessageBox> discardQuestion;
    QMenu* moreMenu = nullptr;
    // Per running export: its count and what became of its clips.
    struct ExportCount {
        int done = 0;
        int total = 0;
        std::vector<ClipReport> failures;
        QStringList inLibrary;
        std::vector<double> askedStarts; // by clip index
        std::map<double, double> movedSplits; // a split as placed, and where its clip starts
        CancelToken cancel;
        ExportProgress progress;
        bool stopping = false;
    };
    std::map<int, ExportCount> exports;
    QTimer* progressTimer = nullptr; // moves the progress bar on while exports run
    int nextExport = 0;
};
