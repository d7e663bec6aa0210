#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include "StripGeometry.h"

// The views of the timeline strip. Each carries a tag: 0 for thumbnails, k for the
// marker of the k-th split point placed; undo finds a marker by its tag.
int viewTag(const QWidget* view);
void setViewTag(QWidget* view, int tag);

// The strip itself (the editor's videosWorkspaceView): a rounded dark band that
// holds the thumbnails and the markers. Its corner radius comes from the form.
class StripView final : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double cornerRadius READ cornerRadius WRITE setCornerRadius)

public:
    explicit StripView(QWidget* parent = nullptr);

    double cornerRadius() const { return radius; }
    void setCornerRadius(double value);

signals:
    void resized(QSize oldSize, QSize newSize);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    double radius = 8.0;
};

// One thumbnail: a picture stretched to fill its slot, drawn only inside the slot's
// outline (rounded on the strip's outer corners).
class ThumbnailView final : public QWidget {
    Q_OBJECT

public:
    ThumbnailView(const QImage& image, strip::RoundedCorners corners, double radius, QWidget* parent = nullptr);

    const QImage& image() const { return picture; }
    strip::RoundedCorners corners() const { return rounded; }
    double cornerRadius() const { return radius; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture;
    strip::RoundedCorners rounded;
    double radius;
};

// The playhead's place on the strip, as the distance in points of the pointer's left
// edge from the strip's left edge. Setting it moves the pointer widget, which lives
// beside the strip (not in it, so that rebuilding the strip leaves it alone).
class PointerConstraint final : public QObject {
    Q_OBJECT

public:
    PointerConstraint(QWidget* pointer, QWidget* strip, QObject* parent = nullptr);

    double constant() const { return offset; }
    void setConstant(double value);
    // Places the pointer again, after the strip moved or changed size.
    void update();

private:
    QPointer<QWidget> pointer;
    QPointer<QWidget> strip;
    double offset = 0.0;
};

// A split marker: a narrow white bar with a grey dashed line down its middle. Its left
// edge, not its middle, is at the split. It remembers its fraction of the strip so it
// can be placed again when the strip changes size.
class SplitMarkerView final : public QWidget {
    Q_OBJECT

public:
    SplitMarkerView(double position, double stripWidth, double stripHeight, QWidget* parent = nullptr);

    double position() const { return fraction; }
    // Places the marker for a strip of this size.
    void place(double stripWidth, double stripHeight);
    const strip::SplitMarker& geometry() const { return shape; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double fraction;
    strip::SplitMarker shape;
};

// The number of one clip, centred under the clip's stretch of the strip.
class ClipNumberLabel final : public QWidget {
    Q_OBJECT

public:
    ClipNumberLabel(const strip::ClipNumberLabel& label, QWidget* parent = nullptr);

    QString text() const { return label.text; }
    // The label's frame as laid out, before any widening for long numbers.
    QRectF layoutFrame() const { return label.frame; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    strip::ClipNumberLabel label;
};

// The pointer's look: a slim white bar with a knob at the top.
class PointerView final : public QWidget {
    Q_OBJECT

public:
    explicit PointerView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
