#include "CutterViewController.h"

#include <algorithm>
#include <cmath>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include "Alerts.h"
#include "CommandLineTime.h"
#include "ControlsRules.h"
#include "EditorLog.h"
#include "ExportPlan.h"
#include "ExportRun.h"
#include "FileNames.h"
#include "FrameScaler.h"
#include "MainThread.h"
#include "Player.h"
#include "Playhead.h"
#include "StripGeometry.h"
#include "StripViews.h"
#include "TaskPool.h"
#include "TimeText.h"
#include "VideoAsset.h"
#include "VideoView.h"
#include "ViewAlpha.h"
#include "ui_CutterViewController.h"

namespace {

constexpr int TICK_MS = 100;
// The fastest L plays: eight times the video's own speed.
constexpr double MAX_SHUTTLE_RATE = 8.0;
// How often the saving bar moves on while clips are written.
constexpr int PROGRESS_INTERVAL_MS = 100;
// More clips than anyone splits a video into by hand; keeps a typo from making
// thousands.
constexpr int MAX_PARTS = 500;
// A failure alert lists this many clips in its text; more go under its details, which
// scroll, so that the alert stays on the screen however many clips failed.
constexpr int LISTED_FAILURES = 2;
// Splits named in "Finished" as moved to a keyframe; more are counted.
constexpr int LISTED_MOVES = 4;
// How far before its split a clip may start and the split not count as moved: a clip
// cut exactly starts at the first frame at or after its split, or up to half a
// millisecond before (a time printed to the millisecond names its frame).
constexpr double MOVED_SECONDS = 0.0005;

// The play and pause buttons' cross-fades: a linear first half, the second half
// starting when the first ends, whether or not it ran to its end.
const QEasingCurve LINEAR(QEasingCurve::Linear);
const QEasingCurve STANDARD(QEasingCurve::InOutQuad);

QString homeRelative(const QString& folder)
{
    const QString home = QDir::homePath();
    if (folder == home || folder.startsWith(home + QLatin1Char('/')))
        return QStringLiteral("~") + folder.mid(home.size());
    return folder;
}

} // namespace

CutterViewController::CutterViewController(EditorServices editorServices, QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::CutterViewController>())
    , services(std::move(editorServices))
{
    ui->setupUi(this);
    // The form's style sheet paints this screen's background.
    setAttribute(Qt::WA_StyledBackground);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);

    // The opening look of the controls: done and undo disabled, the grey background
    // shown (the form has the enabled flags; alphas are not a form property).
    ViewAlpha::setAlpha(ui->grayDisabledGradient, 1.0);
    ViewAlpha::setAlpha(ui->enabledPinkGradient, 0.0);
    ViewAlpha::setAlpha(ui->playButton, 1.0);

    pointerView = new PointerView(ui->stripArea);
    pointerView->setObjectName(QStringLiteral("pointerView"));
    pointerConstraint = new PointerConstraint(pointerView, ui->videosWorkspaceView, this);
    pointerConstraint->setObjectName(QStringLiteral("pointerViewLeadingConstraint"));

    video = new VideoView(services.makeFrameScaler ? services.makeFrameScaler() : nullptr, ui->previewBackView);
    video->setObjectName(QStringLiteral("videoView"));
    ui->previewLayout->addWidget(video);

    addShortcuts();
    buildMoreMenu();
}

void CutterViewController::addShortcuts()
{
    // Keys act on the editor only while no alert or dialog is open over it: Qt looks
    // for shortcuts before it blocks a window behind a modal one. Only the keys that
    // move the playhead repeat while held down.
    auto shortcut = [this](const QKeySequence& keys, std::function<void()> action, bool repeats = false) {
        auto* key = new QShortcut(keys, this);
        key->setContext(Qt::WidgetWithChildrenShortcut);
        key->setAutoRepeat(repeats);
        connect(key, &QShortcut::activated, this, [action = std::move(action)] {
            if (!QApplication::activeModalWidget())
                action();
        });
    };
    // Space and Return press the button that has the keyboard focus, if any.
    auto focusedButton = [this]() -> QAbstractButton* {
        auto* button = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
        return button && isAncestorOf(button) && button->isVisible() && button->isEnabled() ? button : nullptr;
    };
    shortcut(QKeySequence(Qt::Key_Escape), [this] { touchClose(); });
    shortcut(QKeySequence(Qt::Key_S), [this] { touchSplit(); });
    shortcut(QKeySequence::Undo, [this] { touchUndo(); });
    // Redo under both of the names desktops give it.
    shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [this] { touchRedo(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Y), [this] { touchRedo(); });
    shortcut(QKeySequence(Qt::Key_Delete), [this] { touchDelete(); });
    shortcut(QKeySequence(Qt::Key_Backspace), [this] { touchDelete(); });
    shortcut(QKeySequence(QKeySequence::Save), [this] {
        if (ui->doneButton->isEnabled())
            touchDone();
    });
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        shortcut(keys, [this, focusedButton] {
            if (QAbstractButton* button = focusedButton())
                button->click();
            else if (ui->doneButton->isEnabled())
                touchDone();
        });
    }
    shortcut(QKeySequence(Qt::Key_Space), [this, focusedButton] {
        if (QAbstractButton* button = focusedButton())
            button->click();
        else if (videoPlayer && videoPlayer->isPlaying())
            touchPause();
        else
            touchPlay();
    });
    shortcut(QKeySequence(Qt::Key_Right), [this] { stepFrames(1); }, true);
    shortcut(QKeySequence(Qt::Key_Left), [this] { stepFrames(-1); }, true);
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_Right), [this] { stepSeconds(1.0); }, true);
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_Left), [this] { stepSeconds(-1.0); }, true);
    // J, K and L as in other video tools: L plays, and pressed again plays faster (2x,
    // 4x, 8x); J plays slower again, or when playing at the video's own speed or
    // paused, goes a second back (the player cannot play backwards); K pauses. A pause
    // ends fast play.
    shortcut(QKeySequence(Qt::Key_J), [this] {
        if (videoPlayer && videoPlayer->isPlaying() && shuttleRate > 1.0)
            setShuttleRate(shuttleRate / 2.0);
        else
            stepSeconds(-1.0);
    }, true);
    shortcut(QKeySequence(Qt::Key_K), [this] { touchPause(); });
    shortcut(QKeySequence(Qt::Key_L), [this] {
        if (!videoPlayer || !videoPlayer->isPlaying())
            touchPlay();
        else
            setShuttleRate(std::min(shuttleRate * 2.0, MAX_SHUTTLE_RATE));
    });
    // Up and Down go from split to split, as other video tools go from edit to edit, and
    // select the one they land on; Alt+Left and Alt+Right then move it a frame (with
    // Shift, a second), and Delete removes it.
    shortcut(QKeySequence(Qt::Key_Up), [this] { goToSplit(-1); }, true);
    shortcut(QKeySequence(Qt::Key_Down), [this] { goToSplit(1); }, true);
    shortcut(QKeySequence(Qt::ALT | Qt::Key_Right), [this] { moveSelectedSplit(1, 0.0); }, true);
    shortcut(QKeySequence(Qt::ALT | Qt::Key_Left), [this] { moveSelectedSplit(-1, 0.0); }, true);
    shortcut(QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Right), [this] { moveSelectedSplit(0, 1.0); }, true);
    shortcut(QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Left), [this] { moveSelectedSplit(0, -1.0); }, true);
    shortcut(QKeySequence(Qt::Key_Home), [this] { goToFrame(0); });
    shortcut(QKeySequence(Qt::Key_End), [this] { goToFrame(frames().lastFrame()); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_G), [this] { touchGoToTime(); });
    shortcut(QKeySequence::Open, [this] { emit openRequested(QString()); });
    // Zoom keys as in other desktop programs; Ctrl+= is Ctrl+plus without Shift.
    StripView* strip = ui->videosWorkspaceView;
    for (const QKeySequence& keys : {QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal)})
        shortcut(keys, [strip] { strip->zoomBy(1); }, true);
    shortcut(QKeySequence(QKeySequence::ZoomOut), [strip] { strip->zoomBy(-1); }, true);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_0), [strip] { strip->zoomTo(0); });
}

void CutterViewController::buildMoreMenu()
{
    moreMenu = new QMenu(this);
    moreMenu->setObjectName(QStringLiteral("moreMenu"));
    // The shortcut after the tab is only shown; the editor's own keys act on it.
    moreMenu->addAction(tr("Go to Time…") + QStringLiteral("\tCtrl+G"), this, &CutterViewController::touchGoToTime);
    moreMenu->addAction(tr("Split into Equal Parts…"), this, &CutterViewController::touchSplitIntoParts);
    moreMenu->addAction(tr("Split Every…"), this, &CutterViewController::touchSplitEvery);
    moreMenu->addSeparator();
    moreMenu->addAction(tr("Open Another Video…") + QStringLiteral("\tCtrl+O"), this,
                        [this] { emit openRequested(QString()); });
    if (services.cutAtKeyframesOnly && services.setCutAtKeyframesOnly) {
        moreMenu->addSeparator();
        QAction* keyframes = moreMenu->addAction(tr("Cut at Keyframes Only (No Re-encoding)"));
        keyframes->setObjectName(QStringLiteral("cutAtKeyframesOnlyAction"));
        keyframes->setCheckable(true);
        // The choice may have changed on the home screen since the menu was made.
        connect(moreMenu, &QMenu::aboutToShow, keyframes,
                [this, keyframes] { keyframes->setChecked(services.cutAtKeyframesOnly()); });
        connect(keyframes, &QAction::triggered, this, [this](bool on) { services.setCutAtKeyframesOnly(on); });
    }
    ui->moreButton->setMenu(moreMenu);
}

CutterViewController::~CutterViewController()
{
    fadeGeneration.reset();
    // Pictures still queued are not decoded; the one under way ends before the editor
    // does, and its hand-over to the main thread finds no editor.
    thumbnailsWanted.cancel();
    thumbnailWork.reset();
    soundWanted.cancel();
    soundWork.reset();
    ++*stillWanted;
    stillWork.reset();
}

void CutterViewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!loaded)
        viewDidLoad();
    pointerConstraint->update();
    setFocus();
}

double CutterViewController::stripWidth() const
{
    // The whole timeline's length: the strip's width while it is not zoomed. Pointer
    // and presses are in timeline points.
    return ui->videosWorkspaceView->viewport().contentWidth();
}

FrameGrid CutterViewController::frames() const
{
    if (!mainAsset)
        return FrameGrid(0.0, model.duration());
    return FrameGrid(mainAsset->frameDuration(), model.duration(), {mainAsset->picturesStart(), mainAsset->picturesEnd()});
}

void CutterViewController::viewDidLoad()
{
    Q_ASSERT_X(videoURL.isValid(), "CutterViewController", "set-up needs the video to edit");
    if (!videoURL.isValid())
        qFatal("CutterViewController shown without a video");
    loaded = true;

    ViewAlpha::setAlpha(ui->pauseButton, 0.0);
    // Widgets get their real sizes from the layouts before anything reads them.
    if (parentWidget() && parentWidget()->layout())
        parentWidget()->layout()->activate();
    layout()->activate();
    ui->previewBackView->layout()->activate();

    model = CutModel();
    Outcome<std::shared_ptr<VideoAsset>> asset = openedAsset ? Outcome<std::shared_ptr<VideoAsset>>(openedAsset)
                                                             : services.openAsset(videoURL.toLocalFile());
    openedAsset.reset();
    if (!asset) {
        // The file may have gone since it was chosen.
        qCWarning(lcEditor) << "opening the editor's video failed:" << asset.error();
        ui->currentTimeLabel->setText(timeLabelText(0.0, 0.0));
        QTimer::singleShot(0, this, &CutterViewController::touchClose);
        return;
    }
    mainAsset = std::move(asset).value();
    model.setDuration(mainAsset->duration());
    videoTitle = shownFileName(videoURL.fileName());
    ui->titleLabel->setToolTip(videoTitle);
    ui->titleLabel->installEventFilter(this);
    showTitle();
    ui->currentTimeLabel->setText(timeLabelText(0.0, model.duration()));
    showReadout();

    buildThumbnailStrip(mainAsset);

    ui->videosWorkspaceView->installEventFilter(this);
    connect(ui->videosWorkspaceView, &StripView::resized, this, &CutterViewController::relayoutStrip);
    connect(ui->videosWorkspaceView, &StripView::viewChanged, this, [this] {
        redrawClipNumbers();
        if (const std::optional<double> position = pointerPosition(playhead, model.duration(), stripWidth()))
            pointerConstraint->setConstant(*position);
    });
    connect(ui->videosWorkspaceView, &StripView::playheadRequested, this,
            [this](double seconds) { goToFrame(frames().frameAt(seconds)); });

    videoPlayer = services.makePlayer();
    videoPlayer->setParent(nullptr);
    // Only this editor's own video ending pauses it, not any other player's.
    connect(videoPlayer.get(), &Player::playedToEnd, this, &CutterViewController::playerDidFinishPlaying);
    videoPlayer->setVideoSink(video->videoSink());
    video->setRotation(mainAsset->rotation());
    videoPlayer->setSource(videoURL);
    videoPlayer->seek(0.0);
}

void CutterViewController::buildThumbnailStrip(const std::shared_ptr<VideoAsset>& asset)
{
    StripView* strip = ui->videosWorkspaceView;
    strip->attachControls(ui->stripScrollBar, ui->zoomSlider);
    // The strip asks for the pictures of the slots it shows as it zooms and scrolls;
    // each request replaces the last, left to right. The task holds the asset: the
    // editor may let go of it first.
    connect(strip, &StripView::picturesWanted, this, [this, asset](const std::vector<strip::ThumbnailSlot>& wantedSlots) {
        thumbnailsWanted.cancel();
        thumbnailsWanted = CancelToken();
        if (!thumbnailWork)
            thumbnailWork = std::make_unique<TaskPool>(1);
        const double dpr = devicePixelRatioF();
        for (const strip::ThumbnailSlot& slot : wantedSlots) {
            // Twice the slot's pixels, so the picture stays sharp when the window grows.
            const QSize pixels(int(std::ceil(slot.frame.width() * dpr * 2)), int(std::ceil(slot.frame.height() * dpr * 2)));
            thumbnailWork->run([asset, slot, pixels, wanted = thumbnailsWanted, editor = QPointer<CutterViewController>(this)] {
                if (wanted.isCancelled())
                    return;
                const Outcome<QImage> picture = asset->thumbnailImage(slot.requestTime, slot.requestEnd, pixels);
                if (!picture)
                    qWarning().noquote() << QStringLiteral("*** Error generating thumbnail: ") + picture.error();
                // Kept even when no longer asked for: the strip may scroll back to it.
                postToMainThread([editor, slot, image = picture ? picture.value() : QImage()] {
                    if (editor)
                        editor->ui->videosWorkspaceView->showThumbnail(slot, image);
                });
            });
        }
    });
    // The slots first, empty; each picture as it is decoded, left to right.
    strip->showVideo(asset->duration(), asset->frameDuration());

    // A video without sound has no waveform, and that is no error.
    const CutProgress soundRead;
    strip->showSoundReading(soundRead);
    soundWork = std::make_unique<TaskPool>(1);
    soundWork->run([asset, cancel = soundWanted, soundRead, editor = QPointer<CutterViewController>(this)] {
        Outcome<std::vector<std::uint8_t>> read = asset->soundPeaks(cancel, soundRead);
        if (!read && !cancel.isCancelled())
            qCWarning(lcEditor).noquote() << "no waveform:" << read.error();
        std::vector<std::uint8_t> peaks = read ? std::move(read).value() : std::vector<std::uint8_t>();
        postToMainThread([editor, peaks = std::move(peaks)]() mutable {
            if (editor)
                editor->ui->videosWorkspaceView->showSoundPeaks(std::move(peaks), VideoAsset::SOUND_PEAKS_PER_SECOND);
        });
    });
}

void CutterViewController::relayoutStrip(QSize oldSize, QSize newSize)
{
    // The strip places its own thumbnails and markers; the numbers under it and the
    // pointer beside it follow here.
    ui->splitPointsNumbersView->showNumbers(model.sortedSplitPoints(), ui->videosWorkspaceView->viewport());
    if (oldSize.width() > 0)
        pointerConstraint->setConstant(pointerConstraint->constant() * newSize.width() / oldSize.width());
    else
        pointerConstraint->update();
}

void CutterViewController::touchPlay()
{
    if (!videoPlayer)
        return;
    timer = timer ? timer : new QTimer(this);
    timer->stop();
    // At the end of the pictures, play starts again from the start: sound running on
    // after the last picture would otherwise be all that plays.
    const FrameGrid grid = frames();
    followPlayer();
    if (standsAtEnd(videoPlayer->currentTime(), grid.end(), grid.frameDuration(), videoPlayer->reachedEnd()))
        videoPlayer->seek(0.0);
    videoPlayer->play();
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(TICK_MS);
    disconnect(timer, nullptr, this, nullptr);
    connect(timer, &QTimer::timeout, this, &CutterViewController::playTimerTick);
    timer->start();
    playTimerTick();
    // Playing shows the playhead, wherever the strip was scrolled.
    ui->videosWorkspaceView->setPlayhead(playhead);
    showReadout();
    fadeToPauseButton();
}

void CutterViewController::touchPause()
{
    fadeToPlayButton();
    const bool wasPlaying = timer && timer->isActive();
    pause();
    // The playhead comes to rest on the frame the player's clock stopped at, and the
    // player is sent there too: the picture left on screen may be a frame off the
    // clock. The readout, a split and the next step then all start from the frame on
    // screen.
    const double now = videoPlayer ? videoPlayer->currentTime() : 0.0;
    if (wasPlaying && std::isfinite(now))
        goToFrame(frames().frameAt(now));
    showReadout();
}

void CutterViewController::playerDidFinishPlaying()
{
    // Playback that reaches the end comes to rest on the last frame, the picture left on
    // screen, whatever the player's clock says there: a split then gives the last frame
    // a clip of its own, never an empty clip at the start. Play goes on from the start.
    const bool wasPlaying = timer && timer->isActive();
    fadeToPlayButton();
    pause();
    if (wasPlaying)
        goToFrame(frames().lastFrame());
    showReadout();
}

void CutterViewController::fadeToPauseButton()
{
    crossFade(ui->playButton, ui->pauseButton, {0.0, 200, 100, LINEAR}, {1.0, 150, 0, STANDARD});
}

void CutterViewController::fadeToPlayButton()
{
    crossFade(ui->pauseButton, ui->playButton, {0.0, 250, 0, LINEAR}, {1.0, 250, 0, STANDARD});
}

void CutterViewController::crossFade(QWidget* leaving, QWidget* coming, const ViewAlpha::Fade& out,
                                     const ViewAlpha::Fade& in)
{
    // A newer cross-fade makes this one's second half moot: a quick play then pause
    // must not bring the pause button back after the play button.
    // The token tells the fade's end whether this screen still wants it; the screen
    // drops it before its widgets (and their fades) are taken down.
    const int generation = ++*fadeGeneration;
    ViewAlpha::setAlpha(leaving, 1.0);
    ViewAlpha::animate(leaving, out, [token = std::weak_ptr<int>(fadeGeneration), coming = QPointer<QWidget>(coming),
                                      in, generation](bool) {
        const std::shared_ptr<int> current = token.lock();
        if (!current || !coming || *current != generation)
            return;
        ViewAlpha::setAlpha(coming, 0.0);
        ViewAlpha::animate(coming, in);
    });
}

void CutterViewController::playTimerTick()
{
    if (!videoPlayer)
        return;
    const double now = videoPlayer->currentTime();
    QString label = timeLabelText(now, model.duration());
    if (shuttleRate > 1.0)
        label += QStringLiteral("  ") + tr("%1×").arg(shuttleRate);
    ui->currentTimeLabel->setText(label);
    if (std::isfinite(now))
        playhead = now;
    // A zoomed strip follows the playback.
    ui->videosWorkspaceView->keepInView(playhead);
    if (const std::optional<double> position = pointerPosition(now, model.duration(), stripWidth()))
        pointerConstraint->setConstant(*position);
}

void CutterViewController::showPlayhead(double time)
{
    playhead = time;
    ui->videosWorkspaceView->setPlayhead(time);
    ui->currentTimeLabel->setText(timeLabelText(time, model.duration()));
    if (const std::optional<double> position = pointerPosition(time, model.duration(), stripWidth()))
        pointerConstraint->setConstant(*position);
    showReadout();
}

void CutterViewController::showReadout()
{
    const bool playing = videoPlayer && videoPlayer->isPlaying();
    ui->frameReadoutLabel->setVisible(!playing && mainAsset);
    if (playing || !mainAsset)
        return;
    const FrameGrid grid = frames();
    // Paused frames decoded by the asset: the readout names the one on screen, greyed
    // while the next one's picture is on its way.
    const bool stills = mainAsset->decodesFrames();
    ui->frameReadoutLabel->setEnabled(!stills || *stillWanted == stillShown);
    const std::int64_t frame = stills ? grid.clamp(stillFrame) : grid.frameAt(playhead);
    ui->frameReadoutLabel->setText(tr("%1 · frame %2").arg(preciseTimeText(grid.timeOf(frame))).arg(frame));
}

void CutterViewController::goToFrame(std::int64_t frame)
{
    if (!videoPlayer || !mainAsset)
        return;
    const FrameGrid grid = frames();
    frame = grid.clamp(frame);
    // The playhead stands at the frame's start: a split there puts exactly this frame
    // first in the next clip.
    if (videoPlayer->isPlaying()) {
        videoPlayer->seek(grid.timeOf(frame));
        playTimerTick();
        return;
    }
    if (mainAsset->decodesFrames()) {
        showFrame(frame);
        return;
    }
    videoPlayer->seek(grid.seekTimeOf(frame));
    showPlayhead(grid.timeOf(frame));
}

// Paused, the frame's picture is decoded by the asset on a thread of the editor's, and
// the time and readout change when it is on screen; the player goes there only when
// it plays. The playhead and pointer move at once, so that steps add up and a split
// lands on the frame asked for however fast the keys come.
void CutterViewController::showFrame(std::int64_t frame)
{
    const FrameGrid grid = frames();
    playhead = grid.timeOf(frame);
    playerBehind = true;
    ui->videosWorkspaceView->setPlayhead(playhead);
    if (const std::optional<double> position = pointerPosition(playhead, model.duration(), stripWidth()))
        pointerConstraint->setConstant(*position);
    if (!stillWork)
        stillWork = std::make_unique<TaskPool>(1);
    const std::int64_t request = ++*stillWanted;
    showReadout();
    const double seconds = grid.seekTimeOf(frame);
    // Only the newest request is decoded: keys held down skip the frames in between.
    stillWork->run([asset = mainAsset, seconds, box = video->stillBox(), request, frame, wanted = stillWanted,
                    editor = QPointer<CutterViewController>(this)] {
        if (*wanted != request)
            return;
        Outcome<FramePicture> picture = asset->framePicture(seconds, box);
        const bool shown = picture.ok();
        postToMainThread([editor, request, frame, picture = std::move(picture)] {
            if (editor)
                editor->stillReady(request, frame, picture);
        });
        // Until the next frame is asked for: the frames a step back will need.
        if (shown)
            asset->prepareSteps(seconds, [&wanted, request] { return *wanted != request; });
    });
}

void CutterViewController::stillReady(std::int64_t request, std::int64_t frame, const Outcome<FramePicture>& picture)
{
    if (request <= stillShown || !videoPlayer || videoPlayer->isPlaying())
        return;
    stillShown = request;
    const FrameGrid grid = frames();
    if (!picture) {
        // The player shows it instead, as it shows every frame while playing.
        qCWarning(lcEditor) << "decoding a paused frame failed:" << picture.error();
        followPlayer();
        frame = grid.frameAt(playhead);
    } else {
        video->showStill(picture->image, picture->time);
    }
    stillFrame = frame;
    ui->currentTimeLabel->setText(timeLabelText(grid.timeOf(frame), model.duration()));
    showReadout();
}

// The player's pictures are shown again, from where the playhead stands.
void CutterViewController::followPlayer()
{
    stillShown = ++*stillWanted;
    video->followPlayer();
    if (playerBehind && videoPlayer)
        videoPlayer->seek(playhead);
    playerBehind = false;
}

void CutterViewController::stepFrames(std::int64_t count)
{
    if (!videoPlayer || !mainAsset)
        return;
    if (videoPlayer->isPlaying())
        touchPause();
    goToFrame(frames().frameAt(playhead) + count);
}

void CutterViewController::stepSeconds(double seconds)
{
    if (!videoPlayer || !mainAsset)
        return;
    const double from = videoPlayer->isPlaying() ? videoPlayer->currentTime() : playhead;
    goToFrame(frames().frameAt(std::clamp(from + seconds, 0.0, model.duration())));
}

void CutterViewController::goToSplit(int direction)
{
    if (!videoPlayer || !mainAsset)
        return;
    if (videoPlayer->isPlaying())
        touchPause();
    const FrameGrid grid = frames();
    const std::int64_t here = grid.frameAt(playhead);
    const std::vector<double>& points = model.splitPoints();
    std::optional<int> nearest;
    std::int64_t nearestFrame = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        const std::int64_t frame = grid.frameAt(points[i] * model.duration());
        const bool onward = direction > 0 ? frame > here : frame < here;
        if (onward && (!nearest || std::abs(frame - here) < std::abs(nearestFrame - here))) {
            nearest = int(i);
            nearestFrame = frame;
        }
    }
    if (!nearest)
        return;
    selected = nearest;
    showSplits();
    goToFrame(nearestFrame);
}

void CutterViewController::moveSelectedSplit(std::int64_t count, double seconds)
{
    if (!videoPlayer || !mainAsset || !selected || size_t(*selected) >= model.splitPoints().size()
        || !(model.duration() > 0.0))
        return;
    if (videoPlayer->isPlaying())
        touchPause();
    const FrameGrid grid = frames();
    const double at = model.splitPoints()[size_t(*selected)] * model.duration();
    const std::int64_t frame = grid.clamp(seconds != 0.0 ? grid.frameAt(std::clamp(at + seconds, 0.0, model.duration()))
                                                         : grid.frameAt(at) + count);
    if (!model.moveSplitPoint(*selected, grid.timeOf(frame) / model.duration()))
        return;
    showSplits();
    goToFrame(frame);
}

// A question about the open video, on the window; none while another one is open.
QInputDialog* CutterViewController::askAboutVideo(const QString& name, const QString& title, const QString& label)
{
    if (!mainAsset || QApplication::activeModalWidget())
        return nullptr;
    auto* dialog = new QInputDialog(window());
    dialog->setObjectName(name);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setWindowTitle(title);
    dialog->setLabelText(label);
    // The window manager writes the title (and the application's name after it) across
    // the frame beside its buttons, in a bold font: wide enough that it is not cut.
    constexpr int FRAME_BUTTONS = 140;
    QFont bold = dialog->font();
    bold.setBold(true);
    const QString shown = title + QStringLiteral(" \u2014 ") + QGuiApplication::applicationDisplayName();
    // The dialog's layout sets its size from what it holds: its label is made that wide.
    if (auto* text = dialog->findChild<QLabel*>())
        text->setMinimumWidth(QFontMetrics(bold).horizontalAdvance(shown) + FRAME_BUTTONS);
    return dialog;
}

void CutterViewController::touchGoToTime()
{
    QInputDialog* dialog = askAboutVideo(QStringLiteral("goToTimeDialog"), tr("Go to Time"),
                                         tr("Time (seconds, mm:ss, h:mm:ss or a share such as 40%):"));
    if (!dialog)
        return;
    dialog->setTextValue(preciseTimeText(playhead));
    connect(dialog, &QInputDialog::textValueSelected, this, [this](const QString& text) {
        const Outcome<CommandLineTime> time = parseCommandLineTime(text);
        if (!time) {
            showErrorAlert(window(), time.error());
            return;
        }
        const double seconds = time->seconds(model.duration());
        if (seconds > model.duration()) {
            showErrorAlert(window(), tr("%1 is after the end of the video (%2).").arg(text.trimmed(), timeText(model.duration())));
            return;
        }
        if (videoPlayer && videoPlayer->isPlaying())
            touchPause();
        goToFrame(frames().frameAt(seconds));
    });
    dialog->open();
}

void CutterViewController::touchSplitIntoParts()
{
    QInputDialog* dialog
        = askAboutVideo(QStringLiteral("equalPartsDialog"), tr("Split into Equal Parts"), tr("Number of parts:"));
    if (!dialog)
        return;
    dialog->setInputMode(QInputDialog::IntInput);
    dialog->setIntRange(2, MAX_PARTS);
    dialog->setIntValue(2);
    connect(dialog, &QInputDialog::intValueSelected, this, [this](int parts) { addSplits(equalPartsPoints(parts)); });
    dialog->open();
}

void CutterViewController::touchSplitEvery()
{
    QInputDialog* dialog = askAboutVideo(QStringLiteral("splitEveryDialog"), tr("Split Every"),
                                         tr("Length of each clip (seconds, mm:ss or h:mm:ss):"));
    if (!dialog)
        return;
    connect(dialog, &QInputDialog::textValueSelected, this, [this](const QString& text) {
        const Outcome<CommandLineTime> every = parseCommandLineTime(text);
        QString error = every ? QString() : every.error();
        if (every && (every->percent || !(every->value > 0.0)))
            error = tr("Give a length of time above zero, such as 30 or 5:00.");
        else if (every && model.duration() / every->value > MAX_PARTS)
            error = tr("Clips of %1 would make more than %2 clips.").arg(text.trimmed()).arg(MAX_PARTS);
        if (!every || !error.isEmpty()) {
            showErrorAlert(window(), error);
            return;
        }
        addSplits(everyPoints(every->value, model.duration()));
    });
    dialog->open();
}

void CutterViewController::handleTap(GestureState state, double x)
{
    if (!videoPlayer)
        return;
    if (!videoPlayer->isPlaying()) {
        // The play button steps aside while a finger-like press is on the strip.
        QWidget* play = ui->playButton;
        if (state == GestureState::Began) {
            ViewAlpha::setAlpha(play, 1.0);
            ViewAlpha::animate(play, {0.0, 250, 0, STANDARD});
        } else if (state == GestureState::Ended || state == GestureState::Cancelled || state == GestureState::Failed) {
            ViewAlpha::setAlpha(play, 0.0);
            ViewAlpha::animate(play, {1.0, 250, 0, STANDARD});
        }
    }
    const std::optional<ScrubStep> step = scrub(x, stripWidth(), model.duration());
    if (!step)
        return;
    pointerConstraint->setConstant(step->pointerPosition);
    if (!step->seekTime)
        return;
    // The press lands on a frame, as a step does, so that the picture, the readout and
    // a split made there all name that frame. The strip's right end is the end of the
    // video, where no frame starts: sent there, the player shows the first frame again.
    goToFrame(frames().frameAt(*step->seekTime));
}

bool CutterViewController::pressOnMarker(double x)
{
    const std::optional<int> marker = ui->videosWorkspaceView->markerAt(x);
    if (!marker) {
        if (selected) {
            selected.reset();
            showSplits();
        }
        return false;
    }
    selected = marker;
    drag = MarkerDrag{*marker, model.splitPoints()[size_t(*marker)], false};
    showSplits();
    return true;
}

void CutterViewController::dragMarker(double x, bool release)
{
    if (!drag || !mainAsset)
        return;
    drag->moved = drag->moved || !release;
    if (drag->moved && x >= 0.0 && x <= stripWidth() && stripWidth() > 0.0 && model.duration() > 0.0) {
        // Snapped to the start of a frame, like a split made at the playhead; the
        // playhead goes with it, so that the picture is the frame the clip will start on.
        const FrameGrid grid = frames();
        const std::int64_t frame = grid.frameAt(x / stripWidth() * model.duration());
        drag->position = grid.timeOf(frame) / model.duration();
        ui->videosWorkspaceView->previewMarker(drag->index, drag->position);
        if (videoPlayer && videoPlayer->isPlaying())
            touchPause();
        if (frame != grid.frameAt(playheadTime()))
            goToFrame(frame);
    }
    if (!release)
        return;
    const MarkerDrag done = *drag;
    drag.reset();
    if (done.position != model.splitPoints()[size_t(done.index)])
        model.moveSplitPoint(done.index, done.position); // refused onto another split: it goes back
    showSplits();
}

void CutterViewController::showTitle()
{
    // The title gives way to the buttons beside it on a narrow window: shortened in the
    // middle, where a name keeps its start and its extension.
    QLabel* label = ui->titleLabel;
    label->setText(label->fontMetrics().elidedText(videoTitle, Qt::ElideMiddle, label->width()));
}

bool CutterViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->titleLabel && event->type() == QEvent::Resize)
        showTitle();
    if (watched != ui->videosWorkspaceView)
        return QWidget::eventFilter(watched, event);
    // Presses and drags count in timeline points. A drag that leaves the strip sideways
    // holds to the strip's end there, as a slider's handle does.
    const auto timelineX = [strip = ui->videosWorkspaceView](const QMouseEvent* mouse) {
        return std::clamp(mouse->position().x(), 0.0, double(strip->width())) + strip->viewport().offset;
    };
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        if (pressOnMarker(timelineX(mouse)))
            return true;
        pressing = true;
        handleTap(GestureState::Began, timelineX(mouse));
        return true;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (drag) {
            dragMarker(timelineX(mouse), false);
            return true;
        }
        if (!pressing)
            break;
        handleTap(GestureState::Changed, timelineX(mouse));
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        if (drag) {
            dragMarker(timelineX(mouse), true);
            return true;
        }
        if (!pressing)
            break;
        pressing = false;
        handleTap(GestureState::Ended, timelineX(mouse));
        return true;
    }
    case QEvent::UngrabMouse:
    case QEvent::WindowDeactivate:
    case QEvent::Hide:
        if (drag) {
            // A drag that is lost leaves the split where it was.
            drag.reset();
            showSplits();
        }
        if (pressing) {
            pressing = false;
            // Where the press was lost is not a place the user chose.
            handleTap(GestureState::Cancelled, -1.0);
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void CutterViewController::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.first().isLocalFile())
        event->acceptProposedAction();
}

void CutterViewController::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return;
    event->acceptProposedAction();
    // Not from inside the drop: the question that may follow is a dialog of its own.
    QMetaObject::invokeMethod(this, [this, path = fileNameFromUrl(urls.first())] { emit openRequested(path); },
                              Qt::QueuedConnection);
}

void CutterViewController::pause()
{
    if (timer)
        timer->stop();
    if (videoPlayer)
        videoPlayer->pause();
    setShuttleRate(1.0);
}

void CutterViewController::setShuttleRate(double rate)
{
    if (rate == shuttleRate)
        return;
    shuttleRate = rate;
    if (videoPlayer)
        videoPlayer->setRate(rate);
    if (timer && timer->isActive())
        playTimerTick();
}

void CutterViewController::touchClose()
{
    // Nothing plays on out of sight: closing pauses and stops the tick.
    pause();
    askToDiscard([this] { emit closeRequested(); });
}

bool CutterViewController::hasUnsavedSplits() const
{
    return model.splitPointCount() > 0 && model.sortedSplitPoints() != savedSplits;
}

void CutterViewController::askToDiscard(std::function<void()> proceed)
{
    if (!hasUnsavedSplits()) {
        proceed();
        return;
    }
    if (discardQuestion && discardQuestion->isVisible())
        return;
    const int count = model.splitPointCount();
    QPointer<CutterViewController> self(this);
    discardQuestion = askToConfirm(window(), tr("Unsaved Splits"), tr("Discard %n splits?", "", count),
                                   tr("They have not been saved to your video library."), tr("Discard"),
                                   [self, proceed = std::move(proceed)] {
                                       if (!self)
                                           return;
                                       self->savedSplits = self->model.sortedSplitPoints();
                                       proceed();
                                   });
}

void CutterViewController::touchSplit()
{
    if (!loaded || !mainAsset)
        return;
    const std::optional<double> position = splitPosition(pointerConstraint->constant(), stripWidth());
    if (!position)
        return;
    if (!model.addSplitPoint(*position))
        return; // a split already there: nothing changes at all
    selected.reset();
    showSplits();
}

void CutterViewController::addSplits(const std::vector<double>& positions)
{
    if (model.addSplitPoints(positions) == 0)
        return;
    selected.reset();
    showSplits();
}

void CutterViewController::touchUndo()
{
    if (!model.undo())
        return;
    selected.reset();
    drag.reset();
    showSplits();
}

void CutterViewController::touchRedo()
{
    if (!model.redo())
        return;
    selected.reset();
    drag.reset();
    showSplits();
}

void CutterViewController::touchDelete()
{
    if (!selected || !model.removeSplitPoint(*selected))
        return;
    selected.reset();
    showSplits();
}

void CutterViewController::showSplits()
{
    ui->videosWorkspaceView->showMarkers(model.splitPoints(), selected);
    redrawClipNumbers();
    updateControlsState();
}

void CutterViewController::redrawClipNumbers()
{
    ui->splitPointsNumbersView->showNumbers(model.sortedSplitPoints(), ui->videosWorkspaceView->viewport());
}

void CutterViewController::updateControlsState()
{
    const int count = model.splitPointCount();
    // Undo takes back deletes and moves too: it stays on while there is any edit.
    ui->undoButton->setEnabled(model.canUndo());
    ui->undoButtonLabel->setEnabled(model.canUndo());
    const ControlsState state = controlsState(
        count, {ViewAlpha::alpha(ui->grayDisabledGradient), ViewAlpha::alpha(ui->enabledPinkGradient)});
    if (state.doneEnabled)
        ui->doneButton->setEnabled(*state.doneEnabled);
    if (state.fade != DoneFade::None) {
        const GradientAlphas target = fadeTarget(state.fade);
        setDoneGradientAlphas(target.gray, target.pink);
    }
    ui->doneButton->setText(state.doneTitle);
    showSaving();
}

// While an export runs, the done button is off and says so; after it, the button is as
// its look says (on in the pink look) with its title.
void CutterViewController::showSaving()
{
    const bool saving = !exports.empty();
    ui->doneButton->setEnabled(!saving && ViewAlpha::alpha(ui->enabledPinkGradient) == 1.0);
    ui->doneButton->setText(saving ? tr("Saving…") : doneButtonTitle(model.splitPointCount() + 1));
}

void CutterViewController::setDoneGradientAlphas(double gray, double pink)
{
    const int duration = int(DONE_FADE_SECONDS * 1000);
    ViewAlpha::animate(ui->grayDisabledGradient, {gray, duration, 0, STANDARD});
    ViewAlpha::animate(ui->enabledPinkGradient, {pink, duration, 0, STANDARD});
}

void CutterViewController::touchCancelSaving()
{
    for (auto& [id, count] : exports) {
        count.stopping = true;
        count.cancel.cancel();
    }
    showProgress();
}

void CutterViewController::touchDone()
{
    // One export per editor at a time: a second Save while one runs would save every
    // clip twice. Saving the same splits again once it is over stays possible.
    if (!loaded || !mainAsset || !exports.empty())
        return;
    exportClips();
}

QWidget* CutterViewController::alertParent()
{
    // The window, not the editor: a closed editor's alerts appear over whatever
    // screen is showing.
    return window();
}

void CutterViewController::exportClips()
{
    Q_ASSERT(services.generator && services.library);
    const bool keyframesOnly = services.cutAtKeyframesOnly && services.cutAtKeyframesOnly();
    const std::vector<PlannedCut> plan = exportPlan(model.splitPoints(), model.duration(), keyframesOnly);
    const int id = nextExport++;
    ExportCount& count = exports[id];
    count.total = int(plan.size());
    for (const PlannedCut& cut : plan)
        count.askedStarts.push_back(cut.startTime);
    // Copies: a library that cannot take the clips ends the export before startExport
    // returns, and its count with it.
    const CancelToken cancel = count.cancel;
    const ExportProgress progress = count.progress;
    showProgress();

    QPointer<CutterViewController> self(this);
    ExportHandlers handlers;
    handlers.clipDone = [self, id](const ClipReport& report, const ExportSummary& soFar) {
        if (self)
            self->exportClip(id, report, soFar);
    };
    handlers.finished = [self, id](const ExportSummary& summary) {
        if (self)
            self->exportFinished(id, summary);
    };
    // Cancel waits for every clip's course to end, stopped ones included.
    handlers.reportStopped = true;
    const Outcome<void> started
        = startExport(plan, videoURL, *services.generator, *services.library, std::move(handlers), cancel, progress);
    if (!started) {
        // Nothing was cut: the library cannot take clips. The splits stay unsaved.
        showErrorAlert(alertParent(), started.error());
        return;
    }
    // Saving counts as saved: what goes wrong from here is reported clip by clip.
    savedSplits = model.sortedSplitPoints();
}

void CutterViewController::exportClip(int id, const ClipReport& report, const ExportSummary& soFar)
{
    ExportCount& count = exports[id];
    count.done = soFar.done();
    if (report.result == ClipReport::Result::CutFailed)
        count.failures.push_back(report);
    else if (report.result == ClipReport::Result::InLibrary)
        count.inLibrary << report.libraryPath;
    // A clip cut at keyframes only (or of a video that cannot be encoded) starts at the
    // keyframe at or before its split: the user hears where. The first clip's start
    // is no split.
    const auto index = size_t(report.index);
    if (report.result == ClipReport::Result::InLibrary && report.start >= 0.0 && index > 0
        && index < count.askedStarts.size()) {
        // The cutter counts from the file's start, where sound may lead the first picture
        // by part of a frame; the editor's frames start at 0. The clip's first picture is
        // named as the editor names its frame.
        const FrameGrid grid = frames();
        const double landed
            = grid.timeOf(std::int64_t(std::floor((report.start + MOVED_SECONDS) / grid.frameDuration())));
        if (landed < count.askedStarts[index] - MOVED_SECONDS)
            count.movedSplits.emplace(count.askedStarts[index], landed);
    }
    showProgress();
}

void CutterViewController::exportFinished(int id, const ExportSummary& summary)
{
    ExportCount count = std::move(exports[id]);
    exports.erase(id);
    showProgress();
    if (!count.failures.empty())
        showFailureAlert(summary, std::move(count.failures));
    if (summary.stopped > 0) {
        // Not every clip was saved: closing asks before these splits are lost.
        savedSplits.clear();
        showFinishedAlert(summary, count.inLibrary, count.movedSplits);
    } else if (summary.succeeded()) {
        showFinishedAlert(summary, count.inLibrary, count.movedSplits);
        // Counted after "Finished", on the main queue, once per export that brought
        // every clip home.
        if (auto countAction = services.countReviewAction)
            postToMainThread([countAction] { countAction(); });
    }
    if (exports.empty()) {
        emit exportsFinished();
        if (releaseWhenDone)
            deleteLater();
    }
}

void CutterViewController::showFinishedAlert(const ExportSummary& summary, const QStringList& clips,
                                             const std::map<double, double>& movedSplits)
{
    const QString folder = clips.isEmpty() ? QString() : homeRelative(QFileInfo(clips.first()).absolutePath());
    QString text;
    if (summary.stopped > 0)
        text = clips.isEmpty() ? tr("Stopped: no clip was saved.")
                               : tr("Stopped: %1 of %2 clips saved to %3.").arg(clips.size()).arg(summary.total).arg(folder);
    else if (summary.empty == 0)
        text = tr("Your videos were saved to %1.").arg(folder);
    else
        text = tr("%n videos were saved to %1.", "", summary.inLibrary).arg(folder) + QLatin1Char(' ')
            + tr("%n empty clips were skipped: their ranges hold no frame.", "", summary.empty);
    if (!movedSplits.empty()) {
        text += QStringLiteral("\n\n")
            + tr("%n splits moved back to the keyframe before them, where a clip can start without encoding:", "",
                 int(movedSplits.size()));
        int listed = 0;
        for (const auto& [asked, landed] : movedSplits) {
            if (listed++ == LISTED_MOVES) {
                text += QLatin1Char('\n') + tr("…and %n more.", "", int(movedSplits.size()) - LISTED_MOVES);
                break;
            }
            text += QLatin1Char('\n') + tr("%1 to %2").arg(preciseTimeText(asked), preciseTimeText(landed));
        }
    }
    QMessageBox* alert = showAlert(alertParent(), summary.stopped > 0 ? tr("Stopped") : tr("Finished"), text);
    if (!services.showInFolder || clips.isEmpty())
        return;
    QAbstractButton* show = alert->addButton(tr("Show in Folder"), QMessageBox::ActionRole);
    connect(alert, &QMessageBox::buttonClicked, alert, [show, clips, open = services.showInFolder](QAbstractButton* clicked) {
        if (clicked == show)
            open(clips);
    });
}

void CutterViewController::showFailureAlert(const ExportSummary& summary, std::vector<ClipReport> failures)
{
    std::sort(failures.begin(), failures.end(), [](const ClipReport& a, const ClipReport& b) { return a.index < b.index; });
    QStringList lines;
    for (const ClipReport& failure : failures)
        lines << tr("%1: %2").arg(failure.fileName, failure.error);
    const QString heading = tr("%n of %1 clips could not be saved.", "", int(failures.size())).arg(summary.total);
    const bool truncated = lines.size() > LISTED_FAILURES;
    QString text = heading + QStringLiteral("\n\n") + lines.mid(0, LISTED_FAILURES).join(QLatin1Char('\n'));
    if (truncated)
        text += QLatin1Char('\n') + tr("…and %n more, listed under Show Details.", "", int(lines.size()) - LISTED_FAILURES);
    QMessageBox* alert = showErrorAlert(alertParent(), text);
    if (truncated)
        alert->setDetailedText(shownFileName(lines.join(QLatin1Char('\n'))));
}

void CutterViewController::showProgress()
{
    int done = 0;
    int total = 0;
    double written = 0.0; // in clips: each export's share weighted by its number of clips
    bool stopping = false;
    for (const auto& [id, count] : exports) {
        done += count.done;
        total += count.total;
        written += count.progress.fraction() * count.total;
        stopping = stopping || count.stopping;
    }
    if (total == 0)
        libraryNotice.clear();
    if (!progressTimer) {
        progressTimer = new QTimer(this);
        progressTimer->setInterval(PROGRESS_INTERVAL_MS);
        connect(progressTimer, &QTimer::timeout, this, &CutterViewController::showProgress);
    }
    if (total > 0 && !progressTimer->isActive())
        progressTimer->start();
    else if (total == 0)
        progressTimer->stop();
    ui->savingRow->setVisible(total > 0);
    ui->exportProgressBar->setValue(total > 0 ? int(std::lround(written / total * ui->exportProgressBar->maximum())) : 0);
    ui->cancelExportButton->setEnabled(!stopping);
    const QString saving = stopping ? tr("Stopping…") : tr("Saving clips… %1 of %2").arg(done).arg(total);
    ui->exportProgressLabel->setVisible(total > 0);
    ui->exportProgressLabel->setText(total > 0 ? saving : QString());
    ui->exportProgressLabel->setToolTip(libraryNotice);
    if (!libraryNotice.isEmpty())
        ui->exportProgressLabel->setText(ui->exportProgressLabel->text() + QStringLiteral(" · ") + libraryNotice);
    showSaving();
}

void CutterViewController::showLibraryNotice(const QString& notice)
{
    if (exports.empty())
        return;
    libraryNotice = notice;
    showProgress();
}

void CutterViewController::releaseWhenIdle()
{
    if (exports.empty())
        deleteLater();
    else
        releaseWhenDone = true;
}
