#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>

#include <QImage>
#include <QSize>
#include <QString>

#include "Outcome.h"
#include "VideoAsset.h"

struct AVFrame;

// Exact pictures of single frames, for the paused editor: the frame a time stands for is
// decoded by us, forward from the keyframe before it, rather than left to the
// player (whose paused seeks are slow, and in MPEG-TS files whose clock does not start
// at 0 show the first frame). The frames decoded on the way are kept: the last ones
// whole, up to MAX_FRAME_BYTES, and those before as pictures of the size last asked
// for, up to MAX_PICTURE_BYTES. A step back is then served from memory through the
// stretch since the last keyframe (4K ones included), a step forward decodes one frame. Times count from the file's start, as
// the player and the cutter count them.
// Not thread-safe: one owner at a time.
class StillFrames final {
public:
    // A 1080p frame takes 3 MB, a 4K one of 10 bits 25 MB; a 1280x720 picture 3.7 MB.
    static constexpr size_t MAX_FRAME_BYTES = size_t(256) << 20;
    static constexpr size_t MAX_PICTURE_BYTES = size_t(192) << 20;

    static Outcome<std::unique_ptr<StillFrames>> open(const QString& path);
    ~StillFrames();
    Q_DISABLE_COPY_MOVE(StillFrames)

    // The first frame shown at or after seconds (the last one after the pictures end),
    // as a seek in the player shows and a clip cut there starts, fitted into box with its
    // shape kept; the whole frame when box is empty.
    Outcome<FramePicture> pictureAt(double seconds, QSize box);

    // While the frame at seconds is shown within a second of the first one kept, decodes
    // the keyframe interval before them (with a decoder of its own, as pictures of the
    // last size asked for), so that a step back across that keyframe is served from
    // memory too. Works until `stop` says so, and goes on from there at the next call;
    // what it decoded joins the kept frames once it reaches them.
    void decodeEarlier(double seconds, const std::function<bool()>& stop);
    // Whether the frame at seconds is in memory: showing it decodes nothing.
    bool holds(double seconds) const;

private:
    // The open file, its decoder and the scaler, each with its own owner.
    struct Decoder;
    // A decoded frame, whole or (once older frames give way to newer ones) as a picture.
    struct Kept {
        std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame;
        QImage picture;
    };
    // Kept frames by their shown time stamps, one unbroken run in showing order.
    using Run = std::map<int64_t, Kept>;

    StillFrames();
    int decodeAt(int64_t target);
    int seekBefore(int64_t target);
    int decodeUntil(int64_t target);
    void keep(AVFrame* frame);
    void makeRoom();
    void dropOldest();
    Run::const_iterator shownAt(int64_t target) const;
    bool decodesOnTo(int64_t target) const;
    Outcome<QImage> toImage(const AVFrame* frame, QSize box);

    // The keyframe interval before the run, as it is being decoded.
    struct Earlier {
        std::unique_ptr<Decoder> decoder;
        int64_t until = 0; // the run's first frame when it began
        bool fromStart = false;
        bool failed = false;
        int64_t keyAt = 0; // the index's time of the keyframe sought
        int seeks = 0;
        int64_t joinedFrom = std::numeric_limits<int64_t>::max(); // once joined: its first frame
        std::map<int64_t, QImage> pictures;
    };
    static Outcome<std::unique_ptr<Decoder>> openFile(const QString& path, int* stream);
    void seekEarlier(Earlier& stretch, int64_t before);
    bool decodeEarlierStep(Earlier& stretch);
    void joinEarlier();

    QString path;
    std::unique_ptr<Decoder> decoder;
    std::unique_ptr<Earlier> earlier;
    int stream = -1;
    Run run;
    size_t frameBytes = 0;
    size_t pictureBytes = 0;
    QSize box; // of the last picture asked for
    bool ended = false;     // the decoder gave its last frame: the run's last one shows to the end
    bool fromStart = false; // the run starts at the file's first frame
};
