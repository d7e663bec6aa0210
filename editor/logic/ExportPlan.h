#pragma once

#include <vector>

#include <QString>

// One cut of an export: the clip's working name, its range in seconds, and whether it
// is the last of the export (the one whose arrival in the library ends the export).
struct PlannedCut {
    int index = 0;     // from 0, in timeline order
    QString fileName;  // "split-%d" with the index
    double startTime = 0.0;
    double endTime = 0.0;
    bool isLast = false;
    // Each end moves to the keyframe at or before it and nothing is encoded again,
    // as the user chose in the settings; otherwise the clip starts and ends on the
    // frames asked for.
    bool keyframesOnly = false;
};

// The settings key of that choice (a bool, false unless the user turned it on).
inline constexpr char CUT_AT_KEYFRAMES_ONLY_KEY[] = "CUT_AT_KEYFRAMES_ONLY";

// The cuts of an export, in timeline order, from the split points as placed (any
// order; the list given is not touched) and the video's duration. Times are plain
// products of fraction and duration, and the last clip ends at the duration itself.
// With no split point the plan is the whole video as one clip named "split-0".
std::vector<PlannedCut> exportPlan(const std::vector<double>& splitPoints, double duration,
                                   bool keyframesOnly = false);

QString clipFileName(int index);
