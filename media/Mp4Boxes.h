#pragma once

#include <cstdint>

#include <QByteArray>
#include <QString>

// Trimming the presentation of an MP4/QuickTime file after it has been written.
//
// A stream-copied clip must carry the reference frames that follow its last frame
// (a B-frame shown before the end may be decoded from a P-frame shown after it). The
// muxer of FFmpeg 5.1 makes every copied frame visible; what hides the ones after the
// end is the movie's edit lists and durations, which we rewrite here once the muxer is
// done: each track's edits end at the clip's length, and the track (tkhd) and movie
// (mvhd) durations follow.

// A clip length in seconds, as the exact fraction numerator / denominator.
struct ClipLength {
    std::int64_t numerator = 0;
    std::int64_t denominator = 1;
};

// Trims the moov box held in memory (header included). Only durations and edit
// lengths are changed, never the size of a box, so the box can be written back in
// place. Returns false with *error set when the box is not one we can trim safely;
// the buffer is then unchanged.
bool trimMovieBox(QByteArray& moov, ClipLength length, QString* error);

// Finds the file's moov box, trims it and writes it back in place.
bool trimMovieFile(const QString& path, ClipLength length, QString* error);
