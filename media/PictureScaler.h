#pragma once

#include <cstdint>
#include <memory>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include <QSize>
#include <QtGlobal>

class QImage;
struct SwsContext;

// Turns decoded pictures into RGB32 images of any size with swscale, for the strip's
// thumbnails and the player's frames alike. Its swscale context is kept from one
// picture to the next and made again only when the format or a size changes, so a
// stream of pictures costs no set-up per picture. One user at a time: each thumbnail
// source and each video view has its own.
class PictureScaler final {
public:
    enum class Filter {
        Bilinear, // for one picture at a time
        Area,     // for pictures mostly made smaller, where bilinear shimmers on fine detail
    };

    // A picture laid out as FFmpeg lays out its format: up to four planes.
    struct Picture {
        AVPixelFormat format = AV_PIX_FMT_NONE;
        QSize size;
        const uint8_t* const* planes = nullptr;
        const int* strides = nullptr;
        // The SWS_CS_* matrix of its YUV colours and whether they use the full range;
        // -1 leaves swscale's own choice.
        int colorspace = -1;
        bool fullRange = false;
    };

    explicit PictureScaler(Filter filter);
    ~PictureScaler();
    Q_DISABLE_COPY_MOVE(PictureScaler)

    // Scales the whole picture onto the whole of into, an RGB32 image of the size
    // wanted. False when swscale cannot convert the picture's format; into is then
    // left as it was.
    bool scale(const Picture& picture, QImage& into);

private:
    struct ContextFreer {
        void operator()(SwsContext* context) const;
    };

    Filter filter;
    std::unique_ptr<SwsContext, ContextFreer> context;
};
