#include "ViewAlpha.h"

#include <algorithm>

#include <QGraphicsOpacityEffect>
#include <QPauseAnimation>
#include <QPointer>
#include <QPropertyAnimation>
#include <QSequentialAnimationGroup>
#include <QWidget>

#include "GradientView.h"

namespace {

constexpr char ALPHA_PROPERTY[] = "trimoraAlpha";
constexpr char FADE_PROPERTY[] = "trimoraFade";
// The last fade asked of a view, kept for checking its timing.

// The object whose "opacity" property is the view's look on screen.
QObject* opacityTarget(QWidget* view)
{
    if (auto* gradient = qobject_cast<GradientView*>(view))
        return gradient;
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(view->graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(view);
        effect->setOpacity(ViewAlpha::alpha(view));
        view->setGraphicsEffect(effect);
    }
    return effect;
}

constexpr char HIDDEN_PROPERTY[] = "trimoraHiddenByAlpha";

void applyHitTesting(QWidget* view, double alpha)
{
    view->setAttribute(Qt::WA_TransparentForMouseEvents, alpha < 0.01);
}

// A view faded out is also hidden, so that it neither takes clicks nor, lying on top
// of another, spoils the repaint of the one beneath; it comes back when it fades in.
void hideIfTransparent(QWidget* view)
{
    if (ViewAlpha::alpha(view) < 0.01 && view->isVisibleTo(view->parentWidget())) {
        view->setProperty(HIDDEN_PROPERTY, true);
        view->hide();
    }
}

void showIfHiddenByAlpha(QWidget* view)
{
    if (view->property(HIDDEN_PROPERTY).toBool()) {
        view->setProperty(HIDDEN_PROPERTY, false);
        view->show();
    }
}

// A view shown in full is painted without an opacity effect. An effect paints the view
// through a cached copy, which re-layouts (a window resized or maximised) can leave
// behind at a stale place, so that a shown button vanishes until its next fade.
void dropEffectWhenOpaque(QWidget* view)
{
    if (ViewAlpha::alpha(view) < 0.99 || view->property(FADE_PROPERTY).value<QObject*>())
        return;
    if (qobject_cast<QGraphicsOpacityEffect*>(view->graphicsEffect()))
        view->setGraphicsEffect(nullptr);
}

void stopFade(QWidget* view)
{
    auto* running = view->property(FADE_PROPERTY).value<QObject*>();
    if (auto* group = qobject_cast<QSequentialAnimationGroup*>(running)) {
        view->setProperty(FADE_PROPERTY, QVariant());
        // Its completion runs from stateChanged, with the fade not at its end.
        group->stop();
    }
}

} // namespace

namespace ViewAlpha {

double alpha(const QWidget* view)
{
    const QVariant value = view->property(ALPHA_PROPERTY);
    return value.isValid() ? value.toDouble() : 1.0;
}

double shownOpacity(const QWidget* view)
{
    if (const auto* gradient = qobject_cast<const GradientView*>(view))
        return gradient->opacity();
    if (const auto* effect = qobject_cast<const QGraphicsOpacityEffect*>(view->graphicsEffect()))
        return effect->opacity();
    return alpha(view);
}

void setAlpha(QWidget* view, double value)
{
    stopFade(view);
    view->setProperty(ALPHA_PROPERTY, value);
    if (value < 0.99 || view->graphicsEffect() || qobject_cast<GradientView*>(view))
        opacityTarget(view)->setProperty("opacity", value);
    applyHitTesting(view, value);
    if (value < 0.01)
        hideIfTransparent(view);
    else
        showIfHiddenByAlpha(view);
    dropEffectWhenOpaque(view);
}

void animate(QWidget* view, const Fade& fade, std::function<void(bool finished)> completion)
{
    stopFade(view);
    // The effect, when made now, starts from the alpha before this fade.
    QObject* target = opacityTarget(view);
    view->setProperty(ALPHA_PROPERTY, fade.target);
    applyHitTesting(view, fade.target);
    if (fade.target >= 0.01)
        showIfHiddenByAlpha(view);

    auto* group = new QSequentialAnimationGroup(view);
    if (fade.delayMs > 0)
        group->addPause(fade.delayMs);
    auto* animation = new QPropertyAnimation(target, "opacity", group);
    animation->setStartValue(target->property("opacity"));
    animation->setEndValue(fade.target);
    animation->setDuration(fade.durationMs);
    animation->setEasingCurve(fade.curve);
    group->addAnimation(animation);
    view->setProperty(FADE_PROPERTY, QVariant::fromValue<QObject*>(group));

    // stateChanged, not finished: a fade that is stopped early runs its completion too.
    // The group may be stopping because it is being destroyed with the view: only
    // plain reads of it here, no virtual calls.
    const int total = std::max(0, fade.delayMs) + std::max(0, fade.durationMs);
    QObject::connect(group, &QAbstractAnimation::stateChanged, view,
                     [view = QPointer<QWidget>(view), group, total, completion = std::move(completion)](
                         QAbstractAnimation::State state, QAbstractAnimation::State) {
                         if (state != QAbstractAnimation::Stopped)
                             return;
                         const bool ranToEnd = group->currentTime() >= total;
                         if (view && view->property(FADE_PROPERTY).value<QObject*>() == group) {
                             view->setProperty(FADE_PROPERTY, QVariant());
                             if (ranToEnd) {
                                 hideIfTransparent(view);
                                 // Not from inside the effect's own animation.
                                 QMetaObject::invokeMethod(
                                     view.data(),
                                     [view] {
                                         if (view)
                                             dropEffectWhenOpaque(view);
                                     },
                                     Qt::QueuedConnection);
                             }
                         }
                         group->deleteLater();
                         if (completion)
                             completion(ranToEnd);
                     });
    group->start();
}

} // namespace ViewAlpha
