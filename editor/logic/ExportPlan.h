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
};

// The cuts of an export, in timeline order, from the split points as placed (any
// order; the list given is not touched) and the video's duration. Times are plain
// products of fraction and duration, and the last clip ends at the duration itself.
// With no split point the plan is the whole video as one clip named "split-0".
std::vector<PlannedCut> exportPlan(const std::vector<double>& splitPoints, double duration);

QString clipFileName(int index);
