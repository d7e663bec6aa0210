#pragma once

#include <map>
#include <memory>

#include <QPointer>
#include <QUrl>
#include <QWidget>

#include "CutModel.h"
#include "EditorServices.h"
#include "ViewAlpha.h"

class PointerConstraint;
class QTimer;
class StripView;
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

    bool isViewLoaded() const { return loaded; }
    const CutModel& cutModel() const { return model; }
    double duration() const { return model.duration(); }
    Player* player() const { return videoPlayer.get(); }
    QTimer* playingTimer() const { return timer; }
    PointerConstraint* pointerViewLeadingConstraint() const { return pointerConstraint; }
    VideoView* videoView() const { return video; }
    // Exports started here that have not ended yet.
    int runningExports() const { return int(exports.size()); }

    // Deletes the editor once nothing needs it: at once, or when its last export ends
    // (a closed editor lives on, hidden, until then).
    void releaseWhenIdle();

public slots:
    void touchPlay();
    void touchPause();
    void touchSplit();
    void touchUndo();
    void touchDone();
    void touchClose();

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

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void viewDidLoad();
    void buildThumbnailStrip(VideoAsset& asset);
    void relayoutStrip(QSize oldSize, QSize newSize);
    void pause();
    void fadeToPauseButton();
    void fadeToPlayButton();
    void crossFade(QWidget* leaving, QWidget* coming, const ViewAlpha::Fade& out, const ViewAlpha::Fade& in);
    double stripWidth() const;
    void redrawClipNumbers();
    void updateControlsState();
    void setDoneGradientAlphas(double gray, double pink);
    void exportClips();
    void showFinishedAlert();
    void showProgress();
    QWidget* alertParent();

    std::unique_ptr<Ui::CutterViewController> ui;
    EditorServices services;
    CutModel model;
    std::shared_ptr<VideoAsset> mainAsset;
    std::unique_ptr<Player> videoPlayer;
    QTimer* timer = nullptr;
    PointerConstraint* pointerConstraint = nullptr;
    QWidget* pointerView = nullptr;
    VideoView* video = nullptr;
    bool loaded = false;
    bool pressing = false;
    bool releaseWhenDone = false;
    std::shared_ptr<int> fadeGeneration = std::make_shared<int>(0);
    // Per running export: clips done and clips in all.
    struct ExportCount {
        int done = 0;
        int total = 0;
    };
    std::map<int, ExportCount> exports;
    int nextExport = 0;
};
