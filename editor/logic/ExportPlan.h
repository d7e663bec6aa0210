#pragma once

#include <vector>

#include <QCoreApplication>
#include <QString>

#include "Outcome.h"

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

// How clips are named on the command line (`--name`): text with fields in braces,
// "{stem}" for the video's file name without its extension, "{n}" for the clip's
// number from 0, "{n:03}" for the number padded with zeros to three digits, and "{{"
// and "}}" for braces. "split-{n}" names clips as the editor does.
class ClipNamePattern final {
    Q_DECLARE_TR_FUNCTIONS(ClipNamePattern)

public:
    // Reads a pattern, or says what is wrong with it: an unknown field, an unpaired
    // brace, a slash, or a name that would start with a dot or be empty.
    static Outcome<ClipNamePattern> parse(const QString& text);

    // The name of clip `index` of the video whose name without its extension is stem.
    QString name(const QString& stem, int index) const;

private:
    struct Piece {
        QString text; // written as it is
        enum class Field { None, Stem, Number } field = Field::None;
        int width = 0; // of a number, padded with zeros
    };
    std::vector<Piece> pieces;
};
