#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// One stretch of the video between two neighbouring cuts. Numbers count from 1 in
// timeline order: clip 1 starts at the beginning of the video.
struct Clip {
    int number = 0;
    double startTime = 0.0;
    double endTime = 0.0;

    friend bool operator==(const Clip&, const Clip&) = default;
};

// Where the user wants the video cut. Split points are fractions of the timeline
// (0.0 is the start, 1.0 the end) kept in the order they were placed, because undo
// removes the most recently placed one, wherever it lies. Everything sorted is a
// fresh copy made on request; nothing is cached.
//
// The model knows nothing of the screen: the editor hands it the playhead fraction
// and draws what the model's answers say.
class CutModel final {
public:
    static constexpr std::int64_t ADD_SPLIT_ACTION = 1;
    // Kept for the edit log's vocabulary; nothing in the editor removes a single clip.
    static constexpr std::int64_t REMOVE_CLIP_ACTION = 2;

    CutModel() = default;
    explicit CutModel(double duration);

    // The video's length in seconds, set once when the video is loaded.
    double duration() const { return state.duration; }
    void setDuration(double duration) { state.duration = duration; }

    // In insertion order; the last entry is the most recently added point.
    const std::vector<double>& splitPoints() const { return state.splitPoints; }
    // The edit log: one ADD_SPLIT_ACTION per accepted split. It only grows.
    const std::vector<std::int64_t>& actionsArray() const { return state.actionsArray; }

    // Adds a split at the given fraction of the timeline. A position a little outside
    // 0...1 (the playhead can run past the end of the strip while playing) is clamped;
    // a position that is not a finite number, or one equal to a point already there,
    // is refused and changes nothing. On success returns the new number of split
    // points, which is also the tag of the new point's marker.
    std::optional<int> addSplitPoint(double position);

    // Removes the most recently added point. Returns the number of points before the
    // removal (the tag of the marker that must go), or nothing when there was none.
    std::optional<int> undoLastSplitPoint();

    int splitPointCount() const { return static_cast<int>(state.splitPoints.size()); }
    std::vector<double> sortedSplitPoints() const;

    // The clips between the sorted split points, in timeline order, with times that
    // are plain products of fraction and duration (the last clip ends at the duration
    // itself). With no split point this is the whole video as one clip, which agrees
    // with the video count of 1.
    std::vector<Clip> clips() const;

    int videoCount() const { return splitPointCount() + 1; }

private:
    struct State {
        std::vector<double> splitPoints;
        std::vector<std::int64_t> actionsArray;
        double duration = 0.0;
    } state;
};

// The clips between split points in any order (a sorted copy is used), with the
// times of CutModel::clips.
std::vector<Clip> clipsBetween(std::vector<double> splitPoints, double duration);

// The pure rule behind a split: the fraction of the strip at which the pointer stands.
// Nothing when the strip has no width yet (there is no fraction to take).
std::optional<double> splitPosition(double pointerOffset, double stripWidth);
