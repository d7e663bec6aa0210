#pragma once

#include <optional>
#include <vector>

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include "StripGeometry.h"

// The views of the timeline strip. Each carries a tag: 0 for thumbnails, k for the
// marker of the k-th split point in the cut model's list.
int viewTag(const QWidget* view);
void setViewTag(QWidget* view, int tag);

class SplitMarkerView;
class ThumbnailView;

// The strip itself (the editor's videosWorkspaceView): a rounded dark band that
// holds the thumbnails and the markers, and places them again when its size changes.
// Its corner radius comes from the form. The editor tells it what to show; the strip
// makes and removes its own child views.
class StripView final : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double cornerRadius READ cornerRadius WRITE setCornerRadius)

public:
    explicit StripView(QWidget* parent = nullptr);

    double cornerRadius() const { return radius; }
    void setCornerRadius(double value);

    // The pictures of the thumbnail slots, left to right (a null image leaves its
    // slot empty), for a video of this duration.
    void showThumbnails(const std::vector<QImage>& pictures, double duration);
    // The picture of one slot, as it arrives.
    void showThumbnail(size_t index, const QImage& picture);
    // One marker per split point, in the cut model's order (the tag of the marker of
    // positions[k] is k + 1); the selected one is drawn highlighted.
    void showMarkers(const std::vector<double>& positions, std::optional<int> selected);
    // Shows the marker of positions[index] at another place while it is dragged.
    void previewMarker(int index, double position);
    // The marker under x (strip coordinates), as its index in positions; a marker
    // takes presses a few points either side of its bar.
    std::optional<int> markerAt(double x) const;

    // Where the playhead stands, in seconds: screen readers read the strip as a slider
    // with this value, between 0 and the video's duration.
    void setPlayhead(double seconds);
    double playhead() const { return playheadTime; }
    double duration() const { return videoDuration; }

signals:
    void resized(QSize oldSize, QSize newSize);
    // A screen reader set the slider's value.
    void playheadRequested(double seconds);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeThumbnails();

    double radius = 8.0;
    double videoDuration = 0.0;
    double playheadTime = 0.0;
    std::vector<ThumbnailView*> thumbnails;
    std::vector<SplitMarkerView*> markers;
};

// One thumbnail: a picture filling its slot with its shape kept (the middle shown),
// drawn only inside the slot's outline (rounded on the strip's outer corners).
class ThumbnailView final : public QWidget {
    Q_OBJECT

public:
    ThumbnailView(const QImage& image, strip::RoundedCorners corners, double radius, QWidget* parent = nullptr);

    const QImage& image() const { return picture; }
    void setImage(const QImage& image);
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
    void setPosition(double position);
    bool isSelected() const { return selected; }
    void setSelected(bool selected);
    // Places the marker for a strip of this size.
    void place(double stripWidth, double stripHeight);
    const strip::SplitMarker& geometry() const { return shape; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double fraction;
    bool selected = false;
    strip::SplitMarker shape;
};

// The row under the strip with the clip numbers (the editor's splitPointsNumbersView).
class ClipNumbersView final : public QWidget {
    Q_OBJECT

public:
    explicit ClipNumbersView(QWidget* parent = nullptr);

    // One number per clip between the sorted split points, on a strip this wide;
    // none while there is no split point.
    void showNumbers(const std::vector<double>& sortedSplitPoints, double stripWidth);
};

// The number of one clip, centred under the clip's stretch of the strip. A number
// wider than its clip is hidden rather than drawn over its neighbours or cut off.
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
