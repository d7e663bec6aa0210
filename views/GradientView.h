#pragma once

#include <QColor>
#include <QPointF>
#include <QPointer>
#include <QSizeF>
#include <QWidget>

class GradientShadow;

// A surface that is a two-colour linear gradient with rounded corners and a drop
// shadow, styled entirely through its properties (set by name from a form). A setter
// only stores its value and asks for a layout pass; the layout pass takes every
// property onto the drawn surface at once, so a burst of changes costs one pass.
//
// The shadow is painted, not a graphics effect: a widget has one effect, and fading
// the view needs it. It is drawn by a companion widget just beneath this one, so it
// shows also where it falls outside the view's own rectangle. The view's fades go
// through its `opacity`, which the shadow follows.
class GradientView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor topColor READ topColor WRITE setTopColor)
    Q_PROPERTY(QColor bottomColor READ bottomColor WRITE setBottomColor)
    Q_PROPERTY(QColor shadowColor READ shadowColor WRITE setShadowColor)
    Q_PROPERTY(double shadowX READ shadowX WRITE setShadowX)
    Q_PROPERTY(double shadowY READ shadowY WRITE setShadowY)
    Q_PROPERTY(double shadowBlur READ shadowBlur WRITE setShadowBlur)
    Q_PROPERTY(double startPointX READ startPointX WRITE setStartPointX)
    Q_PROPERTY(double startPointY READ startPointY WRITE setStartPointY)
    Q_PROPERTY(double endPointX READ endPointX WRITE setEndPointX)
    Q_PROPERTY(double endPointY READ endPointY WRITE setEndPointY)
    Q_PROPERTY(double cornerRadius READ cornerRadius WRITE setCornerRadius)
    Q_PROPERTY(double opacity READ opacity WRITE setOpacity)

public:
    // What is drawn: the properties as of the last layout pass.
    struct Layer {
        QColor colors[2];
        QPointF startPoint;
        QPointF endPoint;
        double cornerRadius = 0.0;
        QColor shadowColor;
        QSizeF shadowOffset;
        double shadowRadius = 0.0;
        double shadowOpacity = 0.0;
    };

    explicit GradientView(QWidget* parent = nullptr);
    ~GradientView() override;

    QColor topColor() const { return top; }
    QColor bottomColor() const { return bottom; }
    QColor shadowColor() const { return shadow; }
    double shadowX() const { return shadowOffsetX; }
    double shadowY() const { return shadowOffsetY; }
    double shadowBlur() const { return blur; }
    double startPointX() const { return startX; }
    double startPointY() const { return startY; }
    double endPointX() const { return endX; }
    double endPointY() const { return endY; }
    double cornerRadius() const { return radius; }

    void setTopColor(const QColor& color);
    void setBottomColor(const QColor& color);
    void setShadowColor(const QColor& color);
    void setShadowX(double value);
    void setShadowY(double value);
    void setShadowBlur(double value);
    void setStartPointX(double value);
    void setStartPointY(double value);
    void setEndPointX(double value);
    void setEndPointY(double value);
    void setCornerRadius(double value);

    // The on-screen opacity, 0 to 1; fades animate it.
    double opacity() const { return paintOpacity; }
    void setOpacity(double value);


    // Takes every property onto the drawn surface now.
    void layoutSubviews();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setNeedsLayout();
    void placeShadow();

    QColor top = Qt::red;
    QColor bottom = Qt::yellow;
    QColor shadow = Qt::transparent;
    double shadowOffsetX = 0.0;
    double shadowOffsetY = -3.0;
    double blur = 3.0;
    double startX = 0.0;
    double startY = 0.5;
    double endX = 1.0;
    double endY = 0.5;
    double radius = 0.0;

    double paintOpacity = 1.0;
    bool pending = false;
    Layer layer;
    QPointer<GradientShadow> shadowView;

    friend class GradientShadow;
};
