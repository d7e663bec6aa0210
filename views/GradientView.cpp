#include "GradientView.h"

#include <cmath>

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

// Paints its gradient view's shadow, beneath the view in the same parent.
class GradientShadow final : public QWidget {
public:
    explicit GradientShadow(GradientView* view)
        : QWidget(view->parentWidget())
        , owner(view)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

    // How far the shadow reaches beyond the view on each side.
    int reach() const
    {
        const GradientView::Layer& layer = owner->layer;
        return int(std::ceil(2.0 * layer.shadowRadius + std::max(std::abs(layer.shadowOffset.width()),
                                                                 std::abs(layer.shadowOffset.height())))) + 1;
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const GradientView::Layer& layer = owner->layer;
        if (layer.shadowColor.alpha() == 0 || owner->paintOpacity <= 0.0 || !owner->isVisible())
            return;
        const int margin = reach();
        // The view's silhouette, offset and blurred, in the shadow's colour.
        QImage image(size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter shape(&image);
            shape.setRenderHint(QPainter::Antialiasing);
            QPainterPath path;
            const QRectF body(margin + layer.shadowOffset.width(), margin + layer.shadowOffset.height(),
                              owner->width(), owner->height());
            path.addRoundedRect(body, layer.cornerRadius, layer.cornerRadius);
            QColor color = layer.shadowColor;
            color.setAlphaF(float(color.alphaF() * layer.shadowOpacity));
            shape.fillPath(path, color);
        }
        blur(image, int(std::round(layer.shadowRadius)));
        QPainter painter(this);
        painter.setOpacity(owner->paintOpacity);
        painter.drawImage(0, 0, image);
    }

private:
    // Three box blurs are close to a Gaussian of the same radius.
    static void blur(QImage& image, int radius)
    {
        if (radius <= 0)
            return;
        const int w = image.width();
        const int h = image.height();
        std::vector<int> sums(size_t(std::max(w, h)) + 1);
        for (int pass = 0; pass < 3; ++pass) {
            for (int horizontal = 0; horizontal < 2; ++horizontal) {
                const int lines = horizontal ? h : w;
                const int length = horizontal ? w : h;
                for (int line = 0; line < lines; ++line) {
                    for (int channel = 0; channel < 4; ++channel) {
                        auto at = [&](int i) -> uchar& {
                            const int x = horizontal ? i : line;
                            const int y = horizontal ? line : i;
                            return image.scanLine(y)[x * 4 + channel];
                        };
                        sums[0] = 0;
                        for (int i = 0; i < length; ++i)
                            sums[size_t(i) + 1] = sums[size_t(i)] + at(i);
                        for (int i = 0; i < length; ++i) {
                            const int from = std::max(0, i - radius);
                            const int to = std::min(length, i + radius + 1);
                            at(i) = uchar((sums[size_t(to)] - sums[size_t(from)]) / (to - from));
                        }
                    }
                }
            }
        }
    }

    GradientView* owner;
};

GradientView::GradientView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    layoutSubviews();
}

GradientView::~GradientView()
{
    delete shadowView.data();
}

void GradientView::setNeedsLayout()
{
    if (pending)
        return;
    pending = true;
    QCoreApplication::postEvent(this, new QEvent(QEvent::LayoutRequest));
}

#define TRIMORA_GRADIENT_SETTER(name, field, type) \
    void GradientView::name(type value)            \
    {                                              \
        field = value;                             \
        setNeedsLayout();                          \
    }

TRIMORA_GRADIENT_SETTER(setTopColor, top, const QColor&)
TRIMORA_GRADIENT_SETTER(setBottomColor, bottom, const QColor&)
TRIMORA_GRADIENT_SETTER(setShadowColor, shadow, const QColor&)
TRIMORA_GRADIENT_SETTER(setShadowX, shadowOffsetX, double)
TRIMORA_GRADIENT_SETTER(setShadowY, shadowOffsetY, double)
TRIMORA_GRADIENT_SETTER(setShadowBlur, blur, double)
TRIMORA_GRADIENT_SETTER(setStartPointX, startX, double)
TRIMORA_GRADIENT_SETTER(setStartPointY, startY, double)
TRIMORA_GRADIENT_SETTER(setEndPointX, endX, double)
TRIMORA_GRADIENT_SETTER(setEndPointY, endY, double)
TRIMORA_GRADIENT_SETTER(setCornerRadius, radius, double)

#undef TRIMORA_GRADIENT_SETTER

void GradientView::setOpacity(double value)
{
    paintOpacity = std::clamp(value, 0.0, 1.0);
    update();
    if (shadowView)
        shadowView->update();
}

void GradientView::layoutSubviews()
{
    pending = false;
    layer.colors[0] = top;
    layer.colors[1] = bottom;
    layer.startPoint = QPointF(startX, startY);
    layer.endPoint = QPointF(endX, endY);
    layer.cornerRadius = radius;
    layer.shadowColor = shadow;
    layer.shadowOffset = QSizeF(shadowOffsetX, shadowOffsetY);
    layer.shadowRadius = blur;
    layer.shadowOpacity = 1.0;
    if (layer.shadowColor.alpha() > 0 && !shadowView && parentWidget())
        shadowView = new GradientShadow(this);
    placeShadow();
    update();
}

void GradientView::placeShadow()
{
    if (!shadowView)
        return;
    if (!parentWidget()) {
        // Without a parent there is nothing to draw the shadow on; never let it
        // become a window of its own.
        shadowView->hide();
        return;
    }
    if (shadowView->parentWidget() != parentWidget())
        shadowView->setParent(parentWidget());
    const int margin = shadowView->reach();
    shadowView->setGeometry(geometry().adjusted(-margin, -margin, margin, margin));
    shadowView->stackUnder(this);
    shadowView->setVisible(isVisible() || !isHidden());
    shadowView->update();
}

bool GradientView::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::LayoutRequest:
        if (pending)
            layoutSubviews();
        return true;
    case QEvent::Move:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ZOrderChange:
    case QEvent::ParentChange:
        placeShadow();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void GradientView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // A new size is a layout pass, as on any view.
    layoutSubviews();
}

void GradientView::paintEvent(QPaintEvent*)
{
    if (paintOpacity <= 0.0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(paintOpacity);
    const QRectF bounds = rect();
    QLinearGradient gradient(QPointF(bounds.width() * layer.startPoint.x(), bounds.height() * layer.startPoint.y()),
                             QPointF(bounds.width() * layer.endPoint.x(), bounds.height() * layer.endPoint.y()));
    gradient.setColorAt(0.0, layer.colors[0]);
    gradient.setColorAt(1.0, layer.colors[1]);
    QPainterPath path;
    path.addRoundedRect(bounds, layer.cornerRadius, layer.cornerRadius);
    painter.fillPath(path, gradient);
}
