#pragma once

#include <functional>

#include <QEasingCurve>

class QWidget;

// A view's alpha as the editor reasons about it: the value last set, which during a
// fade is the fade's target, not what is on screen at the moment. The on-screen
// opacity follows with an animation. A view at alpha 0 takes no clicks, so a hidden
// button never catches one meant for the button beneath it.
//
// Gradient views fade through their own painted opacity; other widgets through an
// opacity effect.
namespace ViewAlpha {

double alpha(const QWidget* view);

// Sets the alpha at once, stopping any fade of this view (whose completion then runs
// with finished = false).
void setAlpha(QWidget* view, double alpha);

struct Fade {
    double target = 1.0;
    int durationMs = 250;
    int delayMs = 0;
    QEasingCurve curve = QEasingCurve::InOutQuad;
};

// Fades to fade.target. The model alpha is the target from this call on. The
// completion runs once, when the fade ends or is replaced by another change of this
// view's alpha, with whether it ran to its end.
void animate(QWidget* view, const Fade& fade, std::function<void(bool finished)> completion = {});

// The opacity on screen right now, which lags the model alpha while a fade runs.
double shownOpacity(const QWidget* view);

} // namespace ViewAlpha
