#pragma once

#include <cstdint>
#include <optional>

// The arithmetic that ties the pointer on the timeline strip to the player's time.
// The strip's full width stands for the whole duration; the pointer's offset from the
// strip's left edge is the playhead of the editor.

// Where the pointer stands for a player time. Not clamped: during playback the
// player's clock may run a little past the probed duration. A duration that is zero,
// negative or not finite puts the pointer at 0; a player time that is not a finite
// number (nothing loaded yet) gives nothing, and the pointer stays where it is.
std::optional<double> pointerPosition(double currentTime, double duration, double stripWidth);

// What one report of a press or drag on the strip does.
struct ScrubStep {
    double pointerPosition = 0.0;
    // The time to seek to and to show on the label; nothing when there is no
    // meaningful time (a strip without width or a video without duration).
    std::optional<double> seekTime;
};

// A press at x (in strip coordinates) moves the pointer and seeks when 0 <= x <= width;
// anything outside the strip is ignored (nothing), so a drag that leaves the strip
// leaves the pointer at the last place inside it.
std::optional<ScrubStep> scrub(double x, double stripWidth, double duration);

// Whether the player counts as standing at the end of the video, so that play starts
// again from the beginning. The player's clock and the probed duration come from
// different sources and rarely agree to the last digit: within one frame (and the
// millisecond a clock rounds to) counts.
bool standsAtEnd(double currentTime, double duration, double frameDuration, bool reachedEndOfMedia);

// Where a video's pictures lie, in seconds from its start; the sound may run on past
// them. An empty span (the file does not say) counts as the whole duration.
struct PictureSpan {
    double start = 0.0;
    double end = 0.0;
};

// The video's frames as the editor steps through them: frame n starts at n times the
// frame duration, counted from the first frame (0). A split at a frame's start time
// puts that frame first in the next clip.
class FrameGrid final {
public:
    // A file that does not say its frame rate is stepped at 30 frames a second.
    FrameGrid(double frameDuration, double duration, PictureSpan pictures = {});

    double frameDuration() const { return step; }
    // The frame a time stands for: the first one starting at or after it, as the
    // player shows after a seek and the cutter starts a clip. A time up to a
    // millisecond past a frame's start (a player's clock in whole milliseconds)
    // still counts as that frame.
    std::int64_t frameAt(double seconds) const;
    // The frame that shows the last picture, which may come well before the end when
    // the sound runs on.
    std::int64_t lastFrame() const;
    // Where the last frame ends: playing stops there.
    double end() const { return timeOf(lastFrame()) + step; }
    double timeOf(std::int64_t frame) const;
    // Where a player is sent to show the frame: its start, rounded down to the
    // millisecond. Qt's FFmpeg backend takes whole milliseconds and shows the first
    // frame at or after the time asked; a player that shows the frame holding the
    // time lands on the same frame.
    double seekTimeOf(std::int64_t frame) const;
    std::int64_t clamp(std::int64_t frame) const;

private:
    double step;
    double length;
    PictureSpan pictures;
};
