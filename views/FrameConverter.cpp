#include "FrameConverter.h"

#include "FrameScaler.h"

namespace {

QSize fitted(QSize picture, QSize box, int turn)
{
    const bool sideways = turn == 90 || turn == 270;
    if (sideways)
        picture.transpose();
    QSize size = picture.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    if (sideways)
        size.transpose();
    return size;
}

} // namespace

FrameConverter::FrameConverter(std::unique_ptr<FrameScaler> frameScaler, std::function<void()> onReady)
    : ready(std::move(onReady))
    , scaler(std::move(frameScaler))
{
    worker = std::thread([this] { run(); });
}

FrameConverter::~FrameConverter()
{
    {
        // Signalled under the lock, here and in submit: the player's thread may still be
        // signalling when the view goes, and the condition must outlive that.
        const std::lock_guard lock(mutex);
        stopping = true;
        wake.notify_one();
    }
    worker.join();
}

void FrameConverter::submit(const QVideoFrame& frame)
{
    if (!frame.isValid())
        return;
    const std::lock_guard lock(mutex);
    pending = frame;
    last = frame;
    wake.notify_one();
}

void FrameConverter::setBox(QSize devicePixels, int degrees)
{
    {
        const std::lock_guard lock(mutex);
        if (box == devicePixels && turn == degrees)
            return;
        box = devicePixels;
        turn = degrees;
        if (!last.isValid() || pending)
            return;
        pending = last;
    }
    wake.notify_one();
}

void FrameConverter::withPicture(const std::function<void(const QImage& picture)>& paint) const
{
    const std::lock_guard lock(mutex);
    paint(front);
}

void FrameConverter::run()
{
    for (;;) {
        QVideoFrame frame;
        QSize size;
        {
            std::unique_lock lock(mutex);
            wake.wait(lock, [this] { return stopping || pending; });
            if (stopping)
                return;
            frame = std::move(*pending);
            pending.reset();
            size = box.isEmpty() ? frame.size() : fitted(frame.size(), box, turn);
        }
        convert(frame, size);
        {
            const std::lock_guard lock(mutex);
            std::swap(front, back);
        }
        if (ready)
            ready();
    }
}

void FrameConverter::convert(const QVideoFrame& frame, QSize size)
{
    if (back.size() != size || back.format() != QImage::Format_RGB32)
        back = QImage(size, QImage::Format_RGB32);
    if (scaler && scaler->scale(frame, back))
        return;
    // A format the scaler does not take: Qt's own conversion, still off the main thread.
    back = frame.toImage().scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
               .convertToFormat(QImage::Format_RGB32);
}
