#include "FrameConverter.h"

#include <array>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <QVideoFrameFormat>

namespace {

struct SourceLayout {
    AVPixelFormat format = AV_PIX_FMT_NONE;
    bool swapChroma = false; // YV12 stores V before U
};

SourceLayout sourceLayout(QVideoFrameFormat::PixelFormat format)
{
    switch (format) {
    case QVideoFrameFormat::Format_YUV420P:
        return {AV_PIX_FMT_YUV420P};
    case QVideoFrameFormat::Format_YV12:
        return {AV_PIX_FMT_YUV420P, true};
    case QVideoFrameFormat::Format_YUV422P:
        return {AV_PIX_FMT_YUV422P};
    case QVideoFrameFormat::Format_YUV420P10:
        return {AV_PIX_FMT_YUV420P10LE};
    case QVideoFrameFormat::Format_NV12:
        return {AV_PIX_FMT_NV12};
    case QVideoFrameFormat::Format_NV21:
        return {AV_PIX_FMT_NV21};
    case QVideoFrameFormat::Format_P010:
        return {AV_PIX_FMT_P010LE};
    case QVideoFrameFormat::Format_P016:
        return {AV_PIX_FMT_P016LE};
    case QVideoFrameFormat::Format_UYVY:
        return {AV_PIX_FMT_UYVY422};
    case QVideoFrameFormat::Format_YUYV:
        return {AV_PIX_FMT_YUYV422};
    case QVideoFrameFormat::Format_Y8:
        return {AV_PIX_FMT_GRAY8};
    case QVideoFrameFormat::Format_Y16:
        return {AV_PIX_FMT_GRAY16LE};
    case QVideoFrameFormat::Format_ARGB8888:
    case QVideoFrameFormat::Format_ARGB8888_Premultiplied:
        return {AV_PIX_FMT_ARGB};
    case QVideoFrameFormat::Format_XRGB8888:
        return {AV_PIX_FMT_0RGB};
    case QVideoFrameFormat::Format_BGRA8888:
    case QVideoFrameFormat::Format_BGRA8888_Premultiplied:
        return {AV_PIX_FMT_BGRA};
    case QVideoFrameFormat::Format_BGRX8888:
        return {AV_PIX_FMT_BGR0};
    case QVideoFrameFormat::Format_ABGR8888:
        return {AV_PIX_FMT_ABGR};
    case QVideoFrameFormat::Format_XBGR8888:
        return {AV_PIX_FMT_0BGR};
    case QVideoFrameFormat::Format_RGBA8888:
        return {AV_PIX_FMT_RGBA};
    case QVideoFrameFormat::Format_RGBX8888:
        return {AV_PIX_FMT_RGB0};
    default:
        return {};
    }
}

int colorspaceOf(const QVideoFrameFormat& format)
{
    switch (format.colorSpace()) {
    case QVideoFrameFormat::ColorSpace_BT709:
        return SWS_CS_ITU709;
    case QVideoFrameFormat::ColorSpace_BT2020:
        return SWS_CS_BT2020;
    case QVideoFrameFormat::ColorSpace_BT601:
        return SWS_CS_ITU601;
    default:
        // Files that do not say are, by convention, 709 when high definition.
        return format.frameHeight() >= 720 ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
}

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

void FrameConverter::SwsFree::operator()(SwsContext* context) const
{
    sws_freeContext(context);
}

FrameConverter::FrameConverter(std::function<void()> onReady)
    : ready(std::move(onReady))
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

void FrameConverter::convert(const QVideoFrame& source, QSize size)
{
    if (back.size() != size || back.format() != QImage::Format_RGB32)
        back = QImage(size, QImage::Format_RGB32);
    QVideoFrame frame = source;
    const SourceLayout layout = sourceLayout(frame.pixelFormat());
    if (layout.format == AV_PIX_FMT_NONE || !frame.map(QVideoFrame::ReadOnly)) {
        // A format swscale does not take: Qt's own conversion, still off the main thread.
        back = frame.toImage().scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                   .convertToFormat(QImage::Format_RGB32);
        return;
    }
    std::array<const uint8_t*, 4> planes{};
    std::array<int, 4> strides{};
    for (int i = 0; i < frame.planeCount() && i < 4; ++i) {
        planes[size_t(i)] = frame.bits(i);
        strides[size_t(i)] = frame.bytesPerLine(i);
    }
    if (layout.swapChroma) {
        std::swap(planes[1], planes[2]);
        std::swap(strides[1], strides[2]);
    }
    // Area averaging: the picture is mostly made smaller, where bilinear would shimmer
    // on fine detail; it costs the same here.
    scaler.reset(sws_getCachedContext(scaler.release(), frame.width(), frame.height(), layout.format,
                                      size.width(), size.height(), AV_PIX_FMT_RGB32, SWS_AREA, nullptr,
                                      nullptr, nullptr));
    if (scaler) {
        const QVideoFrameFormat format = frame.surfaceFormat();
        const int full = format.colorRange() == QVideoFrameFormat::ColorRange_Full ? 1 : 0;
        sws_setColorspaceDetails(scaler.get(), sws_getCoefficients(colorspaceOf(format)), full,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        uint8_t* target[4] = {back.bits(), nullptr, nullptr, nullptr};
        const int targetStride[4] = {int(back.bytesPerLine()), 0, 0, 0};
        sws_scale(scaler.get(), planes.data(), strides.data(), 0, frame.height(), target, targetStride);
    }
    frame.unmap();
}
