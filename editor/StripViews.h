#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include "CutProgress.h"
#include "StripGeometry.h"

// The views of the timeline strip. Each carries a tag: 0 for thumbnails, k for the
// marker of the k-th split point in the cut model's list.
int viewTag(const QWidget* view);
void setViewTag(QWidget* view, int tag);

class QScrollBar;
class QSlider;
class SplitMarkerView;
class ThumbnailView;
class WaveformView;

// The strip itself (the editor's videosWorkspaceView): a rounded dark band that
// holds the thumbnails and the markers, and places them again when its size changes.
// Its corner radius comes from the form. The editor tells it what to show; the strip
// makes and removes its own child views.
//
// The strip zooms: at level n it shows an eighth of the video's 8 * 2^n thumbnails at a
// time, scrolled along the timeline (see strip::Viewport). Ctrl+wheel zooms around the
// playhead, the wheel scrolls. Pictures it has not got it asks for (picturesWanted)
// and keeps those it is given, a few hundred at most; until a slot's own picture
// comes it shows the picture of the slot that holds it at a lower zoom.
class StripView final : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double cornerRadius READ cornerRadius WRITE setCornerRadius)

public:
    explicit StripView(QWidget* parent = nullptr);

    double cornerRadius() const { return radius; }
    void setCornerRadius(double value);

    // Shows the slots of a video of this duration, unzoomed and without pictures;
    // picturesWanted asks for them. It zooms in as far as a frame a thumbnail
    // (frameDuration; a second when 0).
    void showVideo(double duration, double frameDuration);
    // The picture of one slot, as it arrives (a null image leaves its slot empty).
    void showThumbnail(const strip::ThumbnailSlot& slot, const QImage& picture);
    // The sound's peaks (perSecond a second from the start), drawn as a waveform along
    // the strip's bottom; none for a video without sound.
    void showSoundPeaks(std::vector<std::uint8_t> peaks, int perSecond);
    // While the peaks are being read (a long video's take seconds), a note in the
    // waveform's place says so, from a moment on: a quick read shows none. The peaks
    // (none, where they could not be read) end it.
    // A note where the waveform will be, after a moment, with how far the reading is.
    void showSoundReading(const CutProgress& progress);
    // The scroll bar and the zoom slider that go with the strip: the strip sets their
    // ranges and follows them.
    void attachControls(QScrollBar* scrollBar, QSlider* zoomSlider);

    const strip::Viewport& viewport() const { return view; }
    int zoomLevel() const { return view.level; }
    int maxZoomLevel() const { return deepestLevel; }
    // Zooms around the playhead: it stays where it is on the strip, or comes to the
    // middle when it was scrolled away.
    void zoomTo(int level);
    void zoomBy(int levels);
    // Scrolls to an offset along the timeline, in points.
    void scrollTo(double offset);
    // Scrolls, when it must, so that this time is on the strip; not while the strip,
    // scrolled by hand, has not yet come to it.
    void keepInView(double seconds);
    // One marker per split point, in the cut model's order (the tag of the marker of
    // positions[k] is k + 1); the selected one is drawn highlighted.
    void showMarkers(const std::vector<double>& positions, std::optional<int> selected);
    // Shows the marker of positions[index] at another place while it is dragged.
    void previewMarker(int index, double position);
    // The marker under x on the timeline (strip x plus the view's offset), as its index
    // in positions; a marker takes presses a few points either side of its bar.
    std::optional<int> markerAt(double x) const;

    // Where the playhead stands, in seconds: screen readers read the strip as a slider
    // with this value, between 0 and the video's duration.
    void setPlayhead(double seconds);
    double playhead() const { return playheadTime; }
    double duration() const { return videoDuration; }

signals:
    void resized(QSize oldSize, QSize newSize);
    // The view zoomed or scrolled: what lies beside the strip is placed again.
    void viewChanged();
    // The slots on the strip that have no picture yet, left to right. Each time it is
    // sent it replaces what was asked before.
    void picturesWanted(const std::vector<strip::ThumbnailSlot>& missing);
    // A screen reader set the slider's value.
    void playheadRequested(double seconds);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void showSoundShare();
    // A picture's stretch of the video, in steps of the thumbnail time scale.
    using PictureKey = std::pair<std::int64_t, std::int64_t>;
    struct Picture {
        QImage image;
        std::uint64_t used = 0; // when last shown: the least recently shown go first
        bool keep = false;      // of the unzoomed strip: never dropped
    };

    void moveView(const strip::Viewport& moved);
    void placeThumbnails();
    void placeMarkers();
    void placeWaveform();
    void syncControls();
    // The slot's own picture, else that of the slot holding it at a lower zoom.
    std::optional<QImage> pictureOf(const strip::ThumbnailSlot& slot, bool& own);
    void dropOldPictures();

    double radius = 8.0;
    double videoDuration = 0.0;
    bool followHeld = false; // scrolled by hand away from the playhead
    double playheadTime = 0.0;
    bool videoShown = false;
    strip::Viewport view;
    int deepestLevel = 0;
    int wheelZoom = 0; // Ctrl+wheel turned short of a whole step, as touchpads report it
    std::vector<strip::ThumbnailSlot> places;
    std::vector<ThumbnailView*> thumbnails;
    std::vector<SplitMarkerView*> markers;
    WaveformView* waveform = nullptr;
    class QLabel* soundNote = nullptr; // while the peaks are read
    bool soundReading = false;
    CutProgress soundRead;
    std::vector<std::uint8_t> soundPeaks;
    int peaksPerSecond = 0;
    std::map<PictureKey, Picture> pictures;
    std::vector<PictureKey> wanted;
    std::uint64_t shown = 0;
    QPointer<QScrollBar> scrollBar;
    QPointer<QSlider> zoomSlider;
};

// One thumbnail: a picture filling its slot with its shape kept (the middle shown),
// drawn only inside the slot's outline (rounded on the strip's outer corners).
class ThumbnailView final : public QWidget {
    Q_OBJECT

public:
    ThumbnailView(const QImage& image, strip::RoundedCorners corners, double radius, QWidget* parent = nullptr);

    const QImage& image() const { return picture; }
    void setImage(const QImage& image);
    void setCorners(strip::RoundedCorners corners);
    double cornerRadius() const { return radius; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture;
    strip::RoundedCorners rounded;
    double radius;
};

// The sound's waveform along the bottom of the strip, over the thumbnails and under the
// markers: a dark band with each column's peak drawn up and down from its middle.
class WaveformView final : public QWidget {
    Q_OBJECT

public:
    explicit WaveformView(QWidget* parent = nullptr);

    // One peak a column, 0 to 255, from the left.
    const std::vector<std::uint8_t>& columns() const { return peaks; }
    void setColumns(std::vector<std::uint8_t> columns, double cornerRadius);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<std::uint8_t> peaks;
    double radius = 0.0;
};

// The playhead's place on the timeline, as the distance in points of the pointer's left
// edge from the timeline's start (the strip's left edge when it is not zoomed).
// Setting it moves the pointer widget, which lives beside the strip (not in it, so that
// rebuilding the strip leaves it alone); a pointer scrolled off the strip is hidden.
class PointerConstraint final : public QObject {
    Q_OBJECT

public:
    PointerConstraint(QWidget* pointer, StripView* strip, QObject* parent = nullptr);

    double constant() const { return offset; }
    void setConstant(double value);
    // Places the pointer again, after the strip moved or changed size.
    void update();

private:
    QPointer<QWidget> pointer;
    QPointer<StripView> strip;
    double offset = 0.0;
};

// A split marker: a narrow white bar with a grey dashed line down its middle. Its left
// edge, not its middle, is at the split. It remembers its fraction of the video so it
// can be placed again when the strip changes size, zooms or scrolls.
class SplitMarkerView final : public QWidget {
    Q_OBJECT

public:
    SplitMarkerView(double position, const strip::Viewport& view, double stripHeight, QWidget* parent = nullptr);

    double position() const { return fraction; }
    void setPosition(double position);
    bool isSelected() const { return selected; }
    void setSelected(bool selected);
    // Places the marker for a strip of this view and height.
    void place(const strip::Viewport& view, double stripHeight);
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

    // One number per clip between the sorted split points, under a strip with this
    // view; none while there is no split point.
    void showNumbers(const std::vector<double>& sortedSplitPoints, const strip::Viewport& view);
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
