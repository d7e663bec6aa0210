#pragma once

#include <memory>
#include <vector>

#include "ClipCutter.h"
#include "Outcome.h"

// Cuts clips that start and end on the frames asked for in every player, losing
// nothing in quality where it can: a smart cut.
//
// Each clip's first frame is a real keyframe at the split. The frames from the split
// up to the source's next keyframe are decoded and encoded again with the source's
// codec and picture format; from that keyframe on the source's packets are copied as
// they are. Where B-frame reordering would make the last frames before the end need
// a frame shown after it, those last few are encoded again too. No edit list hides
// frames; a split on a keyframe encodes nothing. In keyframe mode, and for codecs we
// cannot encode, each end moves to the keyframe at or before it and nothing is encoded.
// Sound and the other tracks are copied, each packet into the clip its time falls in,
// so neighbouring clips neither overlap nor leave a gap.
//
// Containers. MP4, M4V, MOV and 3GP keep their container, Matroska and WebM theirs.
// Others are written as MP4 where it can carry their picture and sound, else as
// Matroska. Every video and audio
// stream is kept with its language, title and disposition, the rotation, the file's
// metadata (Apple's keys included) and the codec tag (an HEVC "hvc1" stays "hvc1"). An
// MP4's movie box is written at the front, in space reserved for it.
class StreamCopyCutter final : public ClipCutter {
public:
    // What cutting each range would come to, worked out without writing anything: for
    // a dry run, for reports, and to say where keyframe mode moves each split.
    struct ClipPreview {
        enum class Kind { Clip, Empty, Failed };
        Kind kind = Kind::Clip;
        double start = 0.0;     // the clip's first frame, in seconds from the video's start
        double end = 0.0;       // the first frame of the next clip (the video's length for the last)
        int frames = -1;        // frames in the clip; -1 when not counted
        int encodedFrames = -1; // of those, the ones encoded again
        QString error;          // for Failed, complete and in the user's terms
    };
    struct Preview {
        std::vector<ClipPreview> clips;
        bool reencodable = true; // else clips start at the keyframe before their split
        QString codec;
        // While kept, the clips cut from the file need not read its streams again.
        std::shared_ptr<const void> streamsRead;
    };
    // With countFrames, every packet of the video track is read once to count frames;
    // without it, and in exact mode for a video we can encode, nothing is planned and
    // each clip is its range as asked. Fails for a source none of whose clips could be
    // cut (a track the clips' container cannot carry, frames with no shown times).
    static Outcome<Preview> preview(const QString& source, const std::vector<std::pair<double, double>>& ranges,
                                    CutMode mode, bool countFrames);

    CutResult cut(const QString& source, double startTime, double endTime, const CutOutput& output,
                  CutMode mode = CutMode::Exact, const CancelToken& cancel = CancelToken(),
                  const CutProgress& progress = CutProgress()) override;
};
