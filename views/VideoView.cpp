#include "VideoView.h"

#include <atomic>

#include <QPainter>
#include <QPointer>
#include <QTransform>
#include <QVideoFrame>
#include <QVideoSink>

#include "FrameConverter.h"
#include "FrameScaler.h"
#include "MainThread.h"

namespace {

bool sideways(int turn)
{
    return turn == 90 || turn == 270;
}

} // namespace

VideoView::VideoView(std::unique_ptr<FrameScaler> scaler, QWidget* parent)
    : QWidget(parent)
    , sink(new QVideoSink(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The converter's thread asks for a repaint; many asks before the main thread gets
    // to them are one repaint.
    auto asked = std::make_shared<std::atomic_bool>(false);
    converter = std::make_unique<FrameConverter>(std::move(scaler), [this, asked] {
        // The view outlives its converter's thread (the destructor joins it), so a
        // pointer to it can be taken here; it is null by the time the task runs if the
        // view went meanwhile.
        if (!asked->exchange(true)) {
            postToMainThread([view = QPointer<VideoView>(this), asked] {
                asked->store(false);
                if (view)
                    view->pictureReady();
            });
        }
    });
    // Direct: the frame is handed over on the player's thread, not queued behind the
    // main thread's work.
    FrameConverter* frames = converter.get();
    connect(
        sink, &QVideoSink::videoFrameChanged, this,
        [frames, held = holding](const QVideoFrame& frame) {
            if (!held->load())
                frames->submit(frame);
        },
        Qt::DirectConnection);
}

VideoView::~VideoView()
{
    // The sink may still be handed frames while the player lets go of it.
    disconnect(sink, nullptr, this, nullptr);
    converter.reset();
}

void VideoView::setRotation(int degrees)
{
    turn = ((degrees % 360) + 360) % 360;
    converter->setBox(storedTargetSize(), turn);
    update();
}

QSize VideoView::storedTargetSize() const
{
    return (QSizeF(size()) * devicePixelRatioF()).toSize();
}

void VideoView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    converter->setBox(storedTargetSize(), turn);
}

void VideoView::pictureReady()
{
    // The player's picture, made after it was followed again, takes the still's place.
    if (!holding->load())
        still = QImage();
    update();
}

void VideoView::showStill(const QImage& picture, double time)
{
    holding->store(true);
    still = picture;
    stillStart = time;
    update();
}

void VideoView::followPlayer()
{
    holding->store(false);
}

std::optional<double> VideoView::stillTime() const
{
    if (still.isNull())
        return std::nullopt;
    return stillStart;
}

QSize VideoView::stillBox() const
{
    const QSize box = storedTargetSize();
    return sideways(turn) ? box.transposed() : box;
}

void VideoView::withShownPicture(const std::function<void(const QImage& picture)>& use) const
{
    if (!still.isNull())
        use(still);
    else
        converter->withPicture(use);
}

QRect VideoView::pictureRect() const
{
    QSize picture;
    withShownPicture([&picture](const QImage& latest) { picture = latest.size(); });
    if (picture.isEmpty())
        return {};
    if (sideways(turn))
        picture.transpose();
    const QSize fitted = picture.scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
}

void VideoView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const QRect target = pictureRect();
    if (target.isEmpty())
        return;
    // Turn about the target's centre, then draw the stored picture into the turned box.
    // The picture was made at this size: a plain copy, unless the view has just changed
    // size and the new picture is still on its way.
    painter.translate(target.center());
    painter.rotate(turn);
    const QSize stored = sideways(turn) ? target.size().transposed() : target.size();
    withShownPicture([&painter, stored](const QImage& picture) {
        const QRect box(QPoint(-stored.width() / 2, -stored.height() / 2), stored);
        if ((QSizeF(stored) * painter.device()->devicePixelRatioF()).toSize() != picture.size())
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(box, picture);
    });
}
