#include "StripViews.h"

#include <algorithm>
#include <cmath>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QWheelEvent>

#include "TimeText.h"

namespace {

constexpr char TAG_PROPERTY[] = "tag";
// Pictures kept for slots scrolled or zoomed away: a few screens' worth.
constexpr size_t KEPT_PICTURES = 400;
// One notch of a mouse wheel, in Qt's eighths of a degree.
constexpr int WHEEL_NOTCH = 120;
// The waveform's share of the strip's height, along its bottom.
constexpr double WAVEFORM_SHARE = 0.4;

QPainterPath slotOutline(const QRectF& bounds, strip::RoundedCorners corners, double radius)
{
    QPainterPath path;
    if (corners == strip::RoundedCorners::None || radius <= 0.0) {
        path.addRect(bounds);
        return path;
    }
    // A rounded rectangle with the square side covered by a plain one.
    path.addRoundedRect(bounds, radius, radius);
    QRectF square = bounds;
    if (corners == strip::RoundedCorners::Left)
        square.setLeft(bounds.center().x());
    else
        square.setRight(bounds.center().x());
    QPainterPath plain;
    plain.addRect(square);
    return path.united(plain);
}

// The strip as screen readers see it: a slider whose value is the playhead's time,
// with the split markers as its items.
class StripAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit StripAccessible(StripView* strip)
        : QAccessibleWidget(strip, QAccessible::Slider)
    {
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                   : QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return QCoreApplication::translate("StripView", "Timeline");
        if (kind == QAccessible::Value)
            return timeLabelText(strip()->playhead(), strip()->duration());
        return QAccessibleWidget::text(kind);
    }

    QVariant currentValue() const override { return strip()->playhead(); }
    void setCurrentValue(const QVariant& value) override { emit strip()->playheadRequested(value.toDouble()); }
    QVariant maximumValue() const override { return strip()->duration(); }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return 0.0; }

private:
    StripView* strip() const { return static_cast<StripView*>(widget()); }
};

QAccessibleInterface* stripAccessibles(const QString& className, QObject* object)
{
    if (className == QLatin1String("StripView") && object && object->isWidgetType())
        return new StripAccessible(static_cast<StripView*>(object));
    if (className == QLatin1String("SplitMarkerView") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::ListItem);
    return nullptr;
}

} // namespace

int viewTag(const QWidget* view)
{
    return view->property(TAG_PROPERTY).toInt();
}

void setViewTag(QWidget* view, int tag)
{
    view->setProperty(TAG_PROPERTY, tag);
}

StripView::StripView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    static const bool accessible = [] {
        QAccessible::installFactory(stripAccessibles);
        return true;
    }();
    Q_UNUSED(accessible)
}

void StripView::setCornerRadius(double value)
{
    radius = value;
    update();
}

void StripView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), radius, radius);
    painter.fillPath(path, QColor(0x2a, 0x2a, 0x30));
}

void StripView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Thumbnails and markers keep their times and fractions: placed again for the
    // new size, the view scrolled in proportion.
    const double oldWidth = view.width;
    view.width = width();
    view = strip::scrolledTo(view, oldWidth > 0.0 ? view.offset * view.width / oldWidth : 0.0);
    placeThumbnails();
    placeMarkers();
    placeWaveform();
    syncControls();
    emit resized(event->oldSize(), event->size());
}

void StripView::wheelEvent(QWheelEvent* event)
{
    if (!videoShown) {
        event->ignore();
        return;
    }
    const QPoint delta = event->angleDelta();
    if (event->modifiers() & Qt::ControlModifier) {
        wheelZoom += delta.y();
        const int levels = wheelZoom / WHEEL_NOTCH;
        wheelZoom -= levels * WHEEL_NOTCH;
        if (levels != 0)
            zoomBy(levels);
    } else {
        // A wheel turned down moves on in time, like a sideways wheel turned right; a
        // notch is one thumbnail.
        const int along = delta.x() != 0 ? -delta.x() : -delta.y();
        scrollTo(view.offset + double(along) / WHEEL_NOTCH * width() * strip::THUMBNAIL_FRACTION);
        followHeld = true;
    }
    event->accept();
}

void StripView::showVideo(double duration, double frameDuration)
{
    videoDuration = duration;
    videoShown = true;
    deepestLevel = strip::maxZoomLevel(duration, frameDuration);
    pictures.clear();
    wanted.clear();
    view = strip::Viewport{double(width()), 0, 0.0};
    placeThumbnails();
    syncControls();
}

void StripView::showSoundReading(const CutProgress& progress)
{
    constexpr int NOTE_AFTER_MS = 600;
    soundReading = true;
    soundRead = progress;
    QTimer::singleShot(NOTE_AFTER_MS, this, [this] {
        if (!soundReading)
            return;
        if (!soundNote) {
            soundNote = new QLabel(this);
            soundNote->setObjectName(QStringLiteral("soundReadingLabel"));
            // Readable on light pictures too.
            soundNote->setStyleSheet(QStringLiteral(
                "color: rgba(255, 255, 255, 200); background: rgba(0, 0, 0, 120); border-radius: 3px; padding: 0 4px;"));
            QFont small = soundNote->font();
            small.setPointSizeF(small.pointSizeF() * 0.85);
            soundNote->setFont(small);
        }
        showSoundShare();
        soundNote->show();
    });
}

// The note says how far the reading has come, a whole percent at a time.
void StripView::showSoundShare()
{
    constexpr int EVERY_MS = 250;
    if (!soundReading || !soundNote)
        return;
    const int percent = int(soundRead.fraction() * 100.0);
    const QString text = tr("Reading the sound\u2026 %1%").arg(percent);
    if (soundNote->text() != text) {
        soundNote->setText(text);
        placeWaveform();
    }
    QTimer::singleShot(EVERY_MS, this, &StripView::showSoundShare);
}

void StripView::showSoundPeaks(std::vector<std::uint8_t> peaks, int perSecond)
{
    soundReading = false;
    if (soundNote)
        soundNote->hide();
    soundPeaks = std::move(peaks);
    peaksPerSecond = perSecond;
    if (!waveform && !soundPeaks.empty()) {
        waveform = new WaveformView(this);
        for (SplitMarkerView* marker : markers)
            marker->raise();
    }
    placeWaveform();
}

void StripView::placeWaveform()
{
    const int band = int(std::lround(height() * WAVEFORM_SHARE));
    if (soundNote) {
        soundNote->adjustSize();
        soundNote->move(int(radius), height() - std::max(band, soundNote->height()));
    }
    if (!waveform)
        return;
    waveform->setVisible(videoShown && !soundPeaks.empty());
    waveform->setGeometry(0, height() - band, width(), band);
    waveform->setColumns(strip::soundColumns(soundPeaks, peaksPerSecond, view, videoDuration), radius);
}

void StripView::attachControls(QScrollBar* bar, QSlider* slider)
{
    scrollBar = bar;
    zoomSlider = slider;
    connect(bar, &QScrollBar::valueChanged, this, [this](int value) {
        scrollTo(value);
        followHeld = true;
    });
    connect(slider, &QSlider::valueChanged, this, [this](int level) { zoomTo(level); });
    syncControls();
}

void StripView::syncControls()
{
    // Set from the view without echoing back into it: the bar holds whole points only.
    if (scrollBar) {
        const QSignalBlocker quiet(scrollBar);
        scrollBar->setRange(0, int(std::ceil(view.contentWidth() - view.width)));
        scrollBar->setPageStep(std::max(1, int(view.width)));
        scrollBar->setSingleStep(std::max(1, int(view.width * strip::THUMBNAIL_FRACTION)));
        scrollBar->setValue(int(std::lround(view.offset)));
        scrollBar->setEnabled(view.level > 0);
    }
    if (zoomSlider) {
        const QSignalBlocker quiet(zoomSlider);
        zoomSlider->setRange(0, deepestLevel);
        zoomSlider->setValue(view.level);
        zoomSlider->setEnabled(deepestLevel > 0);
    }
}

void StripView::zoomTo(int level)
{
    if (!videoShown || videoDuration <= 0.0)
        return;
    const double anchor = std::clamp(playheadTime / videoDuration, 0.0, 1.0);
    const double x = view.xOf(anchor);
    const double anchorX = x >= 0.0 && x <= view.width ? x : view.width / 2.0;
    moveView(strip::zoomedTo(view, level, deepestLevel, anchor, anchorX));
}

void StripView::zoomBy(int levels)
{
    zoomTo(view.level + levels);
}

void StripView::scrollTo(double offset)
{
    if (videoShown)
        moveView(strip::scrolledTo(view, offset));
}

// Scrolled by hand while playing, the strip stays where it was put until the playhead
// comes into it; then it follows again.
void StripView::keepInView(double seconds)
{
    if (!videoShown || videoDuration <= 0.0 || !std::isfinite(seconds))
        return;
    const double fraction = std::clamp(seconds / videoDuration, 0.0, 1.0);
    if (followHeld) {
        const double x = view.xOf(fraction);
        followHeld = !(x >= 0.0 && x <= view.width);
        return;
    }
    moveView(strip::showing(view, fraction));
}

void StripView::moveView(const strip::Viewport& moved)
{
    if (moved.level == view.level && moved.offset == view.offset)
        return;
    view = moved;
    placeThumbnails();
    placeMarkers();
    placeWaveform();
    syncControls();
    emit viewChanged();
}

void StripView::showThumbnail(const strip::ThumbnailSlot& slot, const QImage& picture)
{
    const PictureKey key{std::llround(slot.requestTime * strip::THUMBNAIL_TIME_SCALE),
                         std::llround(slot.requestEnd * strip::THUMBNAIL_TIME_SCALE)};
    pictures[key] = Picture{picture, ++shown, slot.level == 0};
    wanted.erase(std::remove(wanted.begin(), wanted.end(), key), wanted.end());
    bool own = false;
    for (size_t i = 0; i < places.size(); ++i) {
        if (places[i].level >= slot.level)
            thumbnails[i]->setImage(pictureOf(places[i], own).value_or(QImage()));
    }
    dropOldPictures();
}

std::optional<QImage> StripView::pictureOf(const strip::ThumbnailSlot& slot, bool& own)
{
    own = false;
    for (int level = slot.level; level >= 0; --level) {
        const strip::ThumbnailSlot holder = level == slot.level ? slot : strip::enclosingSlot(slot, level, view.width, videoDuration);
        const auto found = pictures.find({std::llround(holder.requestTime * strip::THUMBNAIL_TIME_SCALE),
                                          std::llround(holder.requestEnd * strip::THUMBNAIL_TIME_SCALE)});
        if (found == pictures.end())
            continue;
        found->second.used = ++shown;
        own = level == slot.level;
        // A picture that could not be made leaves its own slot empty, but is no stand-in.
        if (own || !found->second.image.isNull())
            return found->second.image;
    }
    return std::nullopt;
}

void StripView::dropOldPictures()
{
    if (pictures.size() <= KEPT_PICTURES)
        return;
    std::vector<std::pair<std::uint64_t, PictureKey>> byUse;
    for (const auto& [key, picture] : pictures) {
        if (!picture.keep)
            byUse.emplace_back(picture.used, key);
    }
    std::sort(byUse.begin(), byUse.end());
    // Down to three quarters, so that not every new picture sorts them again.
    const size_t excess = pictures.size() - KEPT_PICTURES * 3 / 4;
    for (size_t i = 0; i < excess && i < byUse.size(); ++i)
        pictures.erase(byUse[i].second);
}

void StripView::placeThumbnails()
{
    if (!videoShown)
        return;
    places = strip::thumbnailSlots(view, height(), videoDuration);
    while (thumbnails.size() > places.size()) {
        delete thumbnails.back();
        thumbnails.pop_back();
    }
    while (thumbnails.size() < places.size()) {
        auto* thumbnail = new ThumbnailView(QImage(), strip::RoundedCorners::None, radius, this);
        thumbnail->lower();
        thumbnail->show();
        thumbnails.push_back(thumbnail);
    }
    std::vector<strip::ThumbnailSlot> missing;
    std::vector<PictureKey> missingKeys;
    for (size_t i = 0; i < places.size(); ++i) {
        thumbnails[i]->setGeometry(places[i].frame.toAlignedRect());
        thumbnails[i]->setCorners(places[i].corners);
        bool own = false;
        thumbnails[i]->setImage(pictureOf(places[i], own).value_or(QImage()));
        if (!own) {
            missing.push_back(places[i]);
            missingKeys.emplace_back(std::llround(places[i].requestTime * strip::THUMBNAIL_TIME_SCALE),
                                     std::llround(places[i].requestEnd * strip::THUMBNAIL_TIME_SCALE));
        }
    }
    if (missingKeys != wanted) {
        wanted = std::move(missingKeys);
        emit picturesWanted(missing);
    }
}

void StripView::placeMarkers()
{
    for (SplitMarkerView* marker : markers)
        marker->place(view, height());
}

void StripView::showMarkers(const std::vector<double>& positions, std::optional<int> selected)
{
    while (markers.size() > positions.size()) {
        delete markers.back();
        markers.pop_back();
    }
    while (markers.size() < positions.size()) {
        auto* marker = new SplitMarkerView(positions[markers.size()], view, height(), this);
        marker->show();
        markers.push_back(marker);
    }
    for (size_t k = 0; k < positions.size(); ++k) {
        SplitMarkerView* marker = markers[k];
        setViewTag(marker, int(k) + 1);
        marker->setAccessibleName(
            QCoreApplication::translate("StripView", "Split at %1").arg(preciseTimeText(positions[k] * videoDuration)));
        marker->setPosition(positions[k]);
        marker->setSelected(selected && *selected == int(k));
        marker->place(view, height());
        marker->raise();
    }
}

void StripView::setPlayhead(double seconds)
{
    // Moved on purpose: shown, wherever the strip was scrolled.
    followHeld = false;
    keepInView(seconds);
    if (seconds == playheadTime)
        return;
    playheadTime = seconds;
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent changed(this, seconds);
        QAccessible::updateAccessibility(&changed);
    }
}

void StripView::previewMarker(int index, double position)
{
    if (index < 0 || size_t(index) >= markers.size())
        return;
    markers[size_t(index)]->setPosition(position);
    markers[size_t(index)]->place(view, height());
}

std::optional<int> StripView::markerAt(double timelineX) const
{
    const double x = timelineX - view.offset;
    constexpr double REACH = 4.0;
    std::optional<int> nearest;
    double best = 0.0;
    for (size_t k = 0; k < markers.size(); ++k) {
        const QRectF bar = markers[k]->geometry().frame;
        const double distance = std::abs(x - bar.center().x());
        if (distance <= bar.width() / 2.0 + REACH && (!nearest || distance < best)) {
            nearest = int(k);
            best = distance;
        }
    }
    return nearest;
}

ThumbnailView::ThumbnailView(const QImage& image, strip::RoundedCorners corners, double cornerRadius, QWidget* parent)
    : QWidget(parent)
    , picture(image)
    , rounded(corners)
    , radius(cornerRadius)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setViewTag(this, 0);
}

void ThumbnailView::setImage(const QImage& image)
{
    if (image.cacheKey() == picture.cacheKey() && image.isNull() == picture.isNull())
        return;
    picture = image;
    update();
}

void ThumbnailView::setCorners(strip::RoundedCorners corners)
{
    if (corners == rounded)
        return;
    rounded = corners;
    update();
}

void ThumbnailView::paintEvent(QPaintEvent*)
{
    if (picture.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setClipPath(slotOutline(QRectF(rect()), rounded, radius));
    // The picture keeps its shape: the slot shows its middle. It was made for the slot's
    // shape, which a resize since may have changed.
    QRectF shown(picture.rect());
    if (shown.width() * height() > width() * shown.height())
        shown.setWidth(shown.height() * width() / std::max(1, height()));
    else
        shown.setHeight(shown.width() * height() / std::max(1, width()));
    shown.moveCenter(QRectF(picture.rect()).center());
    painter.drawImage(QRectF(rect()), picture, shown);
}

WaveformView::WaveformView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void WaveformView::setColumns(std::vector<std::uint8_t> columns, double cornerRadius)
{
    peaks = std::move(columns);
    radius = cornerRadius;
    update();
}

void WaveformView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Only inside the strip's outline: its bottom corners are rounded.
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0.0, -radius, width(), height() + radius), radius, radius);
    painter.setClipPath(outline);
    painter.fillRect(rect(), QColor(0x10, 0x10, 0x14, 170));
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QColor(0x8f, 0xe3, 0xff));
    const double middle = height() / 2.0;
    for (size_t x = 0; x < peaks.size(); ++x) {
        // Half a point at least, so that sound never looks like a pause.
        const double half = peaks[x] == 0 ? 0.0 : std::max(0.5, peaks[x] / 255.0 * (middle - 1.0));
        if (half > 0.0)
            painter.drawLine(QPointF(double(x) + 0.5, middle - half), QPointF(double(x) + 0.5, middle + half));
    }
}

PointerConstraint::PointerConstraint(QWidget* pointerView, StripView* stripView, QObject* parent)
    : QObject(parent)
    , pointer(pointerView)
    , strip(stripView)
{
    update();
}

void PointerConstraint::setConstant(double value)
{
    offset = value;
    update();
}

void PointerConstraint::update()
{
    if (!pointer || !strip)
        return;
    // The pointer's left edge is at the offset; the strip's position is taken in the
    // pointer's parent, where both live.
    const QPoint origin = strip->mapTo(pointer->parentWidget(), QPoint(0, 0));
    const int overhang = 6;
    const double x = offset - strip->viewport().offset;
    pointer->setGeometry(origin.x() + int(std::lround(x)), origin.y() - overhang, pointer->width(),
                         strip->height() + 2 * overhang);
    pointer->setVisible(x >= -pointer->width() && x <= strip->width());
    pointer->raise();
}

PointerView::PointerView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(4, 10);
}

void PointerView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRect(0, 0, width(), height()), QColor(0xff, 0xff, 0xff));
    painter.setPen(QColor(0, 0, 0, 90));
    painter.drawRect(QRect(0, 0, width() - 1, height() - 1));
}

SplitMarkerView::SplitMarkerView(double position, const strip::Viewport& view, double stripHeight, QWidget* parent)
    : QWidget(parent)
    , fraction(position)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    place(view, stripHeight);
}

void SplitMarkerView::setPosition(double position)
{
    fraction = position;
}

void SplitMarkerView::setSelected(bool value)
{
    selected = value;
    update();
}

void SplitMarkerView::place(const strip::Viewport& view, double stripHeight)
{
    shape = strip::splitMarker(fraction, view, stripHeight);
    // Rounded to whole pixels without growing: the bar stays 5 wide.
    setGeometry(int(std::lround(shape.frame.x())), int(std::lround(shape.frame.y())),
                int(std::lround(shape.frame.width())), int(std::lround(shape.frame.height())));
    update();
}

void SplitMarkerView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (selected) {
        // Pink with dark edges: it stands out on any picture, pink ones included.
        painter.fillRect(rect(), QColor(0x16, 0x16, 0x1b));
        painter.fillRect(rect().adjusted(1, 0, -1, 0), QColor(0xff, 0x2d, 0x78));
        return;
    }
    QPen pen(QColor(0x80, 0x80, 0x80));
    pen.setWidthF(strip::MARKER_LINE_WIDTH);
    pen.setCapStyle(Qt::FlatCap);
    // Dash lengths in pen widths: 7 on, 3 off in points.
    pen.setDashPattern({strip::MARKER_DASH_PATTERN[0] / strip::MARKER_LINE_WIDTH,
                        strip::MARKER_DASH_PATTERN[1] / strip::MARKER_LINE_WIDTH});
    painter.setPen(pen);
    painter.drawLine(shape.line);
}

ClipNumberLabel::ClipNumberLabel(const strip::ClipNumberLabel& clipLabel, QWidget* parent)
    : QWidget(parent)
    , label(clipLabel)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    QFont semibold = font();
    semibold.setPixelSize(int(strip::LABEL_FONT_SIZE));
    semibold.setWeight(QFont::DemiBold);
    setFont(semibold);
    // Numbers of two digits and more are wider than the label's 10 points: the label
    // grows evenly on both sides, so the number stays centred on its clip.
    QRectF frame = label.frame;
    const double needed = QFontMetricsF(semibold).horizontalAdvance(label.text) + 2.0;
    if (needed > frame.width())
        frame.adjust(-(needed - frame.width()) / 2.0, 0.0, (needed - frame.width()) / 2.0, 0.0);
    setGeometry(frame.toAlignedRect());
    setVisible(needed <= label.clipWidth);
}

ClipNumbersView::ClipNumbersView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_StyledBackground);
}

void ClipNumbersView::showNumbers(const std::vector<double>& sortedSplitPoints, const strip::Viewport& view)
{
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        delete child;
    for (const strip::ClipNumberLabel& label : strip::clipNumberLabels(sortedSplitPoints, view, height())) {
        // Clips scrolled far away get no label: a video split every few seconds has
        // thousands of them.
        if (label.frame.right() + label.frame.width() >= 0.0 && label.frame.left() - label.frame.width() <= width())
            new ClipNumberLabel(label, this);
    }
}

void ClipNumberLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.drawText(rect(), Qt::AlignCenter, label.text);
}
