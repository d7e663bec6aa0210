#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <QImage>
#include <QSize>

#include "CancelToken.h"
#include "CutProgress.h"
#include "Outcome.h"

// One frame's picture as the asset decoded it: in the orientation it is stored in (not
// yet turned upright), and the time the frame starts, in seconds from the file's start.
struct FramePicture {
    QImage image;
    double time = 0.0;
};

// An opened video as the editor uses it: its length and shape, and pictures of it
// for the timeline strip. The pictures may be asked for off the main thread, by one
// thread at a time; the rest never changes and may be read from any thread.
class VideoAsset {
public:
    virtual ~VideoAsset() = default;

    // Seconds, finite and positive.
    virtual double duration() const = 0;
    // Degrees clockwise that turn the stored picture upright.
    virtual int rotation() const = 0;
    // Seconds per frame; 0 when the file does not say.
    virtual double frameDuration() const = 0;
    // Where the pictures lie, in seconds from the start of the file: the first one's
    // start and the last one's end. The sound may start before them or run on after
    // them, so the duration can be longer. Both 0 when the file does not say.
    virtual double picturesStart() const = 0;
    virtual double picturesEnd() const = 0;
    // A picture from the stretch of time [from, until) in seconds, upright, filling
    // size with its shape kept (its middle shown, what overhangs cut off); or why there
    // is none. Stretches asked for left to right may cost less than in any other order.
    virtual Outcome<QImage> thumbnailImage(double from, double until, QSize size) = 0;

    // The loudness of the first sound track, SOUND_PEAKS_PER_SECOND peaks a second from
    // the start, 0 (silence) to 255: the largest sample of each stretch. None for a video
    // without sound; or why it cannot be read. Slow for long videos (seconds): asked off
    // the main thread, and may run beside the pictures; progress says how far it is.
    static constexpr int SOUND_PEAKS_PER_SECOND = 400;
    virtual Outcome<std::vector<std::uint8_t>> soundPeaks(const CancelToken& cancel, const CutProgress& progress) = 0;
    // Whether the asset decodes single frames itself (framePicture). One that does not
    // leaves the paused picture to the player.
    virtual bool decodesFrames() const { return false; }
    // The picture of the first frame shown at or after a time (seconds from the file's
    // start; the last frame after the pictures end), as a seek in the player shows and a
    // clip cut there starts, fitted into box (pixels, the stored orientation) with its shape kept, or why there
    // is none. Asked for by one thread at a time, not the one that asks for thumbnails;
    // neighbouring frames asked for one after the other cost least.
    virtual Outcome<FramePicture> framePicture(double seconds, QSize box)
    {
        Q_UNUSED(seconds)
        Q_UNUSED(box)
        return Outcome<FramePicture>::failure(QStringLiteral("This video's frames are shown by the player."));
    }
    // Called by the thread that asks for frame pictures while it has nothing else to do,
    // with the time of the frame last shown: work that makes the next steps fast
    // (decoding the frames a step back needs), until stop() says another frame is asked for.
    virtual void prepareSteps(double seconds, const std::function<bool()>& stop)
    {
        Q_UNUSED(seconds)
        Q_UNUSED(stop)
    }
};
