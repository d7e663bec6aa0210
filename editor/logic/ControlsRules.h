#pragma once

#include <optional>

#include <QString>

// How the editor's controls follow the number of split points. The done button's look
// is not a flag of its own: it is read back from the alphas last given to its two
// backgrounds (the targets of a running fade, not what is on screen mid-fade), and an
// alpha of exactly 1.0 means that background is the one shown.

inline constexpr double DONE_FADE_SECONDS = 0.4;

enum class DoneFade {
    None,
    ToEnabled,  // grey fades out, pink fades in
    ToDisabled, // grey fades in, pink fades out
};

struct GradientAlphas {
    double gray = 1.0;
    double pink = 0.0;

    friend bool operator==(const GradientAlphas&, const GradientAlphas&) = default;
};

struct ControlsState {
    bool undoEnabled = false; // the undo button and its label
    // Set only at the two transitions (none to some split points and back);
    // otherwise the done button keeps the flag it has.
    std::optional<bool> doneEnabled;
    DoneFade fade = DoneFade::None;
    QString doneTitle;
};

// What the controls become after an edit that leaves splitPointCount points.
ControlsState controlsState(int splitPointCount, GradientAlphas lastSetAlphas);

// The alphas a fade ends on.
GradientAlphas fadeTarget(DoneFade fade);

// "Done, Save %d Videos" with the number of clips a save would write. The word stays
// plural for every number, as the button has always read.
QString doneButtonTitle(int videoCount);
