#include "ControlsRules.h"

#include <QCoreApplication>

ControlsState controlsState(int splitPointCount, GradientAlphas lastSetAlphas)
{
    ControlsState state;
    state.undoEnabled = splitPointCount > 0;
    // Exact comparisons on purpose: the alphas are only ever set to 0.0 or 1.0.
    if (lastSetAlphas.gray == 1.0 && splitPointCount >= 1) {
        state.doneEnabled = true;
        state.fade = DoneFade::ToEnabled;
    } else if (lastSetAlphas.pink == 1.0 && splitPointCount == 0) {
        state.doneEnabled = false;
        state.fade = DoneFade::ToDisabled;
    }
    state.doneTitle = doneButtonTitle(splitPointCount + 1);
    return state;
}

GradientAlphas fadeTarget(DoneFade fade)
{
    switch (fade) {
    case DoneFade::ToEnabled:
        return {0.0, 1.0};
    case DoneFade::ToDisabled:
    case DoneFade::None:
        break;
    }
    return {1.0, 0.0};
}

QString doneButtonTitle(int videoCount)
{
    return QCoreApplication::translate("ControlsRules", "Done, Save %1 Videos").arg(videoCount);
}
