#pragma once

#include "ClipCutter.h"

// Cuts clips by copying the source's compressed frames, never re-encoding them, so a
// clip costs about what copying its bytes costs and loses nothing in quality.
//
// Exactness. A clip [start, end) shows exactly the source frames whose times fall in
// that range: the copy begins at the keyframe before the first of them and the edit
// list hides the frames before it; it ends with the last frame any shown frame needs,
// and the edit list, rewritten after the muxer is done, hides the frames after the
// end. Both ends are snapped to frame times, so adjacent clips meet on the same frame
// and every frame of the source is in exactly one of them. Sound is copied from one
// audio frame before the start (the decoder's warm-up, hidden by the edit list) to the
// end, so it stays in step with the picture.
//
// Containers. MP4, M4V and MOV sources keep their container. Others are written as MP4
// when all their video and sound can go into MP4 unchanged, else the cut fails naming
// the format that cannot. Every video and audio stream is kept with its language,
// title and disposition, the rotation, the file's metadata (Apple's keys included),
// and the codec tag (an HEVC "hvc1" stays "hvc1"). The movie box is written at the
// front, in space reserved for it, so the file plays while it downloads without a
// second pass over it.
class StreamCopyCutter final : public ClipCutter {
public:
    CutResult cut(const QString& source, double startTime, double endTime, const CutOutput& output) override;
};
