#include "PictureScaler.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <QImage>

void PictureScaler::ContextFreer::operator()(SwsContext* swsContext) const
{
    sws_freeContext(swsContext);
}

PictureScaler::PictureScaler(Filter scaling)
    : filter(scaling)
{
}

PictureScaler::~PictureScaler() = default;

bool PictureScaler::scale(const Picture& picture, QImage& into)
{
    if (into.isNull() || into.format() != QImage::Format_RGB32)
        return false;
    const int flags = filter == Filter::Area ? SWS_AREA : SWS_BILINEAR;
    // sws_getCachedContext frees the context it is given when it makes a new one.
    context.reset(sws_getCachedContext(context.release(), picture.size.width(), picture.size.height(), picture.format,
                                       into.width(), into.height(), AV_PIX_FMT_RGB32, flags, nullptr, nullptr,
                                       nullptr));
    if (!context)
        return false;
    if (picture.colorspace >= 0) {
        sws_setColorspaceDetails(context.get(), sws_getCoefficients(picture.colorspace), picture.fullRange ? 1 : 0,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    }
    uint8_t* target[4] = {into.bits(), nullptr, nullptr, nullptr};
    const int targetStrides[4] = {int(into.bytesPerLine()), 0, 0, 0};
    sws_scale(context.get(), picture.planes, picture.strides, 0, picture.size.height(), target, targetStrides);
    return true;
}
