#include "CutterViewController.h"

#include <cmath>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QKeySequence>
#include <QLayout>
#include <QMouseEvent>
#include <QShortcut>
#include <QTimer>

#include "Alerts.h"
#include "ControlsRules.h"
#include "EditorLog.h"
#include "ExportPlan.h"
#include "ExportRun.h"
#include "Player.h"
#include "Playhead.h"
#include "StripGeometry.h"
#include "StripViews.h"
#include "TimeText.h"
#include "VideoAsset.h"
#include "VideoView.h"
#include "ViewAlpha.h"
#include "ui_CutterViewController.h"

namespace {

constexpr int TICK_MS = 100;

// The play and pause buttons' cross-fades: a linear first half, the second half
// starting when the first ends, whether or not it ran to its end.
const QEasingCurve LINEAR(QEasingCurve::Linear);
const QEasingCurve STANDARD(QEasingCurve::InOutQuad);

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

    // The opening look of the controls: done and undo disabled, the grey background
    // shown (the form has the enabled flags; alphas are not a form property).
    ViewAlpha::setAlpha(ui->grayDisabledGradient, 1.0);
    ViewAlpha::setAlpha(ui->enabledPinkGradient, 0.0);
    ViewAlpha::setAlpha(ui->playButton, 1.0);

    pointerView = new PointerView(ui->stripArea);
    pointerView->setObjectName(QStringLiteral("pointerView"));
    pointerConstraint = new PointerConstraint(pointerView, ui->videosWorkspaceView, this);
    pointerConstraint->setObjectName(QStringLiteral("pointerViewLeadingConstraint"));

    video = new VideoView(ui->previewBackView);
    video->setObjectName(QStringLiteral("videoView"));
    ui->previewLayout->addWidget(video);

    // Keys act on the editor only while no alert or dialog is open over it: Qt looks
    // for shortcuts before it blocks a window behind a modal one. Holding a key down
    // does not repeat an action.
    auto shortcut = [this](const QKeySequence& keys, std::function<void()> action) {
        auto* key = new QShortcut(keys, this);
        key->setContext(Qt::WidgetWithChildrenShortcut);
        key->setAutoRepeat(false);
        connect(key, &QShortcut::activated, this, [action = std::move(action)] {
            if (!QApplication::activeModalWidget())
                action();
        });
    };
    shortcut(QKeySequence(Qt::Key_Escape), [this] { touchClose(); });
    shortcut(QKeySequence(Qt::Key_S), [this] { touchSplit(); });
    shortcut(QKeySequence::Undo, [this] { touchUndo(); });
    for (const QKeySequence& keys : {QKeySequence(QKeySequence::Save), QKeySequence(Qt::Key_Return),
                                     QKeySequence(Qt::Key_Enter)}) {
        shortcut(keys, [this] {
            if (ui->doneButton->isEnabled())
                touchDone();
        });
    }
    shortcut(QKeySequence(Qt::Key_Space), [this] {
        if (videoPlayer && videoPlayer->isPlaying())
            touchPause();
        else
            touchPlay();
    });
    ui->splitPointsNumbersView->setAttribute(Qt::WA_StyledBackground);
}

CutterViewController::~CutterViewController()
{
    fadeGeneration.reset();
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
    return ui->videosWorkspaceView->width();
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
    Outcome<std::shared_ptr<VideoAsset>> asset = services.openAsset(videoURL.toLocalFile());
    if (!asset) {
        // The home screen checked the file; it may have gone since.
        qCWarning(lcEditor) << "opening the editor's video failed:" << asset.error();
        ui->currentTimeLabel->setText(timeLabelText(0.0, 0.0));
        QTimer::singleShot(0, this, &CutterViewController::touchClose);
        return;
    }
    mainAsset = std::move(asset).value();
    model.setDuration(mainAsset->duration());
    ui->titleLabel->setText(videoURL.fileName());
    ui->currentTimeLabel->setText(QStringLiteral("00:00 / ") + timeText(model.duration()));

    buildThumbnailStrip(*mainAsset);

    ui->videosWorkspaceView->installEventFilter(this);
    connect(static_cast<StripView*>(ui->videosWorkspaceView), &StripView::resized, this,
            &CutterViewController::relayoutStrip);

    videoPlayer = services.makePlayer();
    videoPlayer->setParent(nullptr);
    // Only this editor's own video ending pauses it, not any other player's.
    connect(videoPlayer.get(), &Player::playedToEnd, this, &CutterViewController::playerDidFinishPlaying);
    videoPlayer->setVideoSink(video->videoSink());
    video->setRotation(mainAsset->rotation());
    videoPlayer->setSource(videoURL);
    videoPlayer->seek(0.0);
}

void CutterViewController::buildThumbnailStrip(VideoAsset& asset)
{
    StripView* strip = ui->videosWorkspaceView;
    for (QWidget* child : strip->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        delete child;

    const double dpr = devicePixelRatioF();
    for (const strip::ThumbnailSlot& slot : strip::thumbnailSlots(strip->width(), strip->height(), asset.duration())) {
        // Twice the slot's pixels, so the picture stays sharp when the window grows.
        const QSize pixels(int(std::ceil(slot.frame.width() * dpr * 2)), int(std::ceil(slot.frame.height() * dpr * 2)));
        QImage image;
        const Outcome<QImage> picture = asset.thumbnailImage(slot.requestTime, pixels);
        if (picture)
            image = picture.value();
        else
            qWarning().noquote() << QStringLiteral("*** Error generating thumbnail: ") + picture.error();
        auto* view = new ThumbnailView(image, slot.corners, strip->cornerRadius(), strip);
        view->setGeometry(slot.frame.toAlignedRect());
        view->show();
    }
}

void CutterViewController::relayoutStrip(QSize oldSize, QSize newSize)
{
    // Thumbnails and the pointer keep their times: placed again for the new width.
    StripView* strip = ui->videosWorkspaceView;
    const std::vector<strip::ThumbnailSlot> places =
        strip::thumbnailSlots(newSize.width(), newSize.height(), model.duration());
    int index = 0;
    for (QWidget* child : strip->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (auto* thumbnail = qobject_cast<ThumbnailView*>(child); thumbnail && index < int(places.size()))
            thumbnail->setGeometry(places[size_t(index++)].frame.toAlignedRect());
        else if (auto* marker = qobject_cast<SplitMarkerView*>(child))
            marker->place(newSize.width(), newSize.height());
    }
    redrawClipNumbers();
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
    const double frame = mainAsset ? mainAsset->frameDuration() : 0.0;
    if (standsAtEnd(videoPlayer->currentTime(), model.duration(), frame, videoPlayer->reachedEnd()))
        videoPlayer->seek(0.0);
    videoPlayer->play();
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(TICK_MS);
    disconnect(timer, nullptr, this, nullptr);
    connect(timer, &QTimer::timeout, this, &CutterViewController::playTimerTick);
    timer->start();
    playTimerTick();
    fadeToPauseButton();
}

void CutterViewController::touchPause()
{
    fadeToPlayButton();
    if (timer)
        timer->stop();
    if (videoPlayer)
        videoPlayer->pause();
}

void CutterViewController::playerDidFinishPlaying()
{
    touchPause();
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
    ui->currentTimeLabel->setText(timeLabelText(now, model.duration()));
    if (const std::optional<double> position = pointerPosition(now, model.duration(), stripWidth()))
        pointerConstraint->setConstant(*position);
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
    videoPlayer->seek(*step->seekTime);
    ui->currentTimeLabel->setText(timeLabelText(*step->seekTime, model.duration()));
}

bool CutterViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != ui->videosWorkspaceView)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        pressing = true;
        handleTap(GestureState::Began, mouse->position().x());
        return true;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!pressing)
            break;
        handleTap(GestureState::Changed, mouse->position().x());
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!pressing || mouse->button() != Qt::LeftButton)
            break;
        pressing = false;
        handleTap(GestureState::Ended, mouse->position().x());
        return true;
    }
    case QEvent::UngrabMouse:
    case QEvent::WindowDeactivate:
    case QEvent::Hide:
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

void CutterViewController::pause()
{
    if (timer)
        timer->stop();
    if (videoPlayer)
        videoPlayer->pause();
}

void CutterViewController::touchClose()
{
    // Nothing plays on out of sight: closing pauses and stops the tick.
    pause();
    emit closeRequested();
}

void CutterViewController::touchSplit()
{
    if (!loaded || !mainAsset)
        return;
    const std::optional<double> position = splitPosition(pointerConstraint->constant(), stripWidth());
    if (!position)
        return;
    const std::optional<int> tag = model.addSplitPoint(*position);
    if (!tag)
        return; // a split already there: nothing changes at all
    StripView* strip = ui->videosWorkspaceView;
    auto* marker = new SplitMarkerView(model.splitPoints().back(), strip->width(), strip->height(), strip);
    setViewTag(marker, *tag);
    marker->show();
    marker->raise();
    redrawClipNumbers();
    updateControlsState();
}

void CutterViewController::touchUndo()
{
    const std::optional<int> removed = model.undoLastSplitPoint();
    if (!removed)
        return;
    for (QWidget* child : ui->videosWorkspaceView->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (viewTag(child) == *removed)
            delete child;
    }
    redrawClipNumbers();
    updateControlsState();
}

void CutterViewController::redrawClipNumbers()
{
    QWidget* numbers = ui->splitPointsNumbersView;
    for (QWidget* child : numbers->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        delete child;
    if (model.splitPointCount() < 1)
        return;
    for (const strip::ClipNumberLabel& label :
         strip::clipNumberLabels(model.sortedSplitPoints(), stripWidth(), numbers->height())) {
        auto* view = new ClipNumberLabel(label, numbers);
        view->show();
    }
}

void CutterViewController::updateControlsState()
{
    const int count = model.splitPointCount();
    ui->undoButton->setEnabled(count > 0);
    ui->undoButtonLabel->setEnabled(count > 0);
    const ControlsState state = controlsState(
        count, {ViewAlpha::alpha(ui->grayDisabledGradient), ViewAlpha::alpha(ui->enabledPinkGradient)});
    if (state.doneEnabled)
        ui->doneButton->setEnabled(*state.doneEnabled);
    if (state.fade != DoneFade::None) {
        const GradientAlphas target = fadeTarget(state.fade);
        setDoneGradientAlphas(target.gray, target.pink);
    }
    ui->doneButton->setText(state.doneTitle);
}

void CutterViewController::setDoneGradientAlphas(double gray, double pink)
{
    const int duration = int(DONE_FADE_SECONDS * 1000);
    ViewAlpha::animate(ui->grayDisabledGradient, {gray, duration, 0, STANDARD});
    ViewAlpha::animate(ui->enabledPinkGradient, {pink, duration, 0, STANDARD});
}

void CutterViewController::touchDone()
{
    if (!loaded || !mainAsset)
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
    const std::vector<PlannedCut> plan = exportPlan(model.splitPoints(), model.duration());
    const int id = nextExport++;
    exports[id] = {0, int(plan.size())};
    showProgress();

    QPointer<CutterViewController> self(this);
    ExportHandlers handlers;
    handlers.clipDone = [self, id](const ClipReport& report, const ExportSummary& soFar) {
        if (!self)
            return;
        self->exports[id].done = soFar.done();
        self->showProgress();
        if (report.result == ClipReport::Result::CutFailed || report.result == ClipReport::Result::LibraryRefused)
            showErrorAlert(self->alertParent(), report.error);
    };
    handlers.finished = [self, id](const ExportSummary& summary) {
        if (!self)
            return;
        self->exports.erase(id);
        self->showProgress();
        if (summary.succeeded()) {
            self->showFinishedAlert();
            // Counted after "Finished", on the main queue, once per export that
            // brought every clip home.
            auto count = self->services.countReviewAction;
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [count] {
                    if (count)
                        count();
                },
                Qt::QueuedConnection);
        }
        if (self->exports.empty()) {
            emit self->exportsFinished();
            if (self->releaseWhenDone)
                self->deleteLater();
        }
    };
    startExport(plan, videoURL, *services.generator, *services.library, std::move(handlers));
}

void CutterViewController::showFinishedAlert()
{
    showAlert(alertParent(), QStringLiteral("Finished"),
              QStringLiteral("Your videos were successfully saved to your camera roll"));
}

void CutterViewController::showProgress()
{
    int done = 0;
    int total = 0;
    for (const auto& [id, count] : exports) {
        done += count.done;
        total += count.total;
    }
    ui->exportProgressLabel->setVisible(total > 0);
    ui->exportProgressLabel->setText(total > 0 ? QStringLiteral("Saving clips… %1 of %2").arg(done).arg(total) : QString());
}

void CutterViewController::releaseWhenIdle()
{
    if (exports.empty())
        deleteLater();
    else
        releaseWhenDone = true;
}
