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

// One change to the split points, as undo takes it back.
struct SplitEdit {
    enum class Kind { Add, Delete, Move };

    Kind kind = Kind::Add;
    int index = 0;       // in splitPoints, at the time of the change
    double before = 0.0; // the point's position before (Delete, Move)
    double after = 0.0;  // and after (Add, Move)
    int group = 0;       // edits made by one command share it and are undone together

    friend bool operator==(const SplitEdit&, const SplitEdit&) = default;
};

// Where the user wants the video cut. Split points are fractions of the timeline
// (0.0 is the start, 1.0 the end) kept in the order they were placed; undo takes back
// the last change, whether it added, deleted or moved a point, and redo makes it again. Everything sorted is a
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

    // Adds several points as one edit, as "Split into Equal Parts" does; points that
    // would be refused are left out. Returns how many were added.
    int addSplitPoints(const std::vector<double>& positions);
    // Removes the point at index (in splitPoints). False when there is none.
    bool removeSplitPoint(int index);
    // Moves the point at index; refused like an add (not finite, or onto another
    // point), and a move to where it already is changes nothing. Clamped to 0...1.
    bool moveSplitPoint(int index, double position);

    // Takes back the last add, delete or move and says what it was; nothing when
    // there is nothing left to take back.
    std::optional<SplitEdit> undo();
    bool canUndo() const { return !state.history.empty(); }
    // Makes again the last change undo took back (all of a command's edits at once) and
    // says what it was; nothing when there is none. Any new change ends what can be
    // made again.
    std::optional<SplitEdit> redo();
    bool canRedo() const { return !state.undone.empty(); }

    int splitPointCount() const { return static_cast<int>(state.splitPoints.size()); }
    std::vector<double> sortedSplitPoints() const;

    // The clips between the sorted split points, in timeline order, with times that
    // are plain products of fraction and duration (the last clip ends at the duration
    // itself). With no split point this is the whole video as one clip, which agrees
    // with the video count of 1.
    std::vector<Clip> clips() const;

    int videoCount() const { return splitPointCount() + 1; }

private:
    std::optional<double> acceptable(double position) const;

    struct State {
        std::vector<double> splitPoints;
        std::vector<std::int64_t> actionsArray;
        std::vector<SplitEdit> history;
        std::vector<SplitEdit> undone; // the edits undo took back, the last taken at the end
        int nextGroup = 0;
        double duration = 0.0;
    } state;
};

// The clips between split points in any order (a sorted copy is used), with the
// times of CutModel::clips.
std::vector<Clip> clipsBetween(std::vector<double> splitPoints, double duration);

// The points that cut a video into parts of equal length (none for one part).
std::vector<double> equalPartsPoints(int parts);
// The points that cut a video into clips of the given length, the last one shorter.
// Empty when the length is not above zero or the duration not finite.
std::vector<double> everyPoints(double seconds, double duration);

// The pure rule behind a split: the fraction of the strip at which the pointer stands.
// Nothing when the strip has no width yet (there is no fraction to take).
std::optional<double> splitPosition(double pointerOffset, double stripWidth);
