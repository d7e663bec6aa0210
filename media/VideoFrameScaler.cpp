#include "VideoFrameScaler.h"

#include <array>

extern "C" {
#include <libswscale/swscale.h>
}

#include <QImage>
#include <QVideoFrame>
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

} // namespace

bool VideoFrameScaler::scale(const QVideoFrame& source, QImage& picture)
{
    QVideoFrame frame = source;
    const SourceLayout layout = sourceLayout(frame.pixelFormat());
    if (layout.format == AV_PIX_FMT_NONE || !frame.map(QVideoFrame::ReadOnly))
        return false;
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
    const QVideoFrameFormat format = frame.surfaceFormat();
    const bool scaled = pictures.scale({layout.format, frame.size(), planes.data(), strides.data(), colorspaceOf(format),
                                        format.colorRange() == QVideoFrameFormat::ColorRange_Full},
                                       picture);
    frame.unmap();
    return scaled;
}
