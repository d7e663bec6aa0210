#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include <QImage>
#include <QWidget>

class FrameConverter;
class FrameScaler;
class QVideoFrame;
class QVideoSink;

// Shows the frames a player sends to its sink: the whole picture, scaled to fit with
// its proportions kept, on black, and turned upright by the file's rotation (the
// player's FFmpeg backend ignores it). Drawn by us rather than by QVideoWidget so
// that it can be grabbed and checked, also without a display.
//
// Frames are converted to RGB at the size they are shown, on a thread of the view's
// own, never on the main thread: a frame that arrives while the previous one is still
// being converted replaces it, so a slow machine drops frames instead of falling
// behind. The main thread only paints the latest picture.
class VideoView : public QWidget {
    Q_OBJECT

public:
    // The scaler turns frames into pictures; without one, Qt's own conversion does.
    explicit VideoView(std::unique_ptr<FrameScaler> scaler, QWidget* parent = nullptr);
    ~VideoView() override;

    QVideoSink* videoSink() const { return sink; }
    // Degrees clockwise: 0, 90, 180 or 270.
    void setRotation(int degrees);
    int rotation() const { return turn; }
    // Where the picture is drawn inside the view.
    QRect pictureRect() const;

    // Shows a picture of a paused frame decoded elsewhere (stored orientation, as the
    // player's frames are) instead of the player's frames, which are not shown until
    // followPlayer(). time: where that frame starts, in seconds.
    void showStill(const QImage& picture, double time);
    // Shows the player's frames again, from the next one it sends (the still stays
    // until then).
    void followPlayer();
    // The start of the paused frame shown, in seconds; none while the player's frames
    // are shown.
    std::optional<double> stillTime() const;
    // The size, in pixels and the stored orientation, a still is best made at.
    QSize stillBox() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void pictureReady();
    QSize storedTargetSize() const;
    // Runs use with the picture on screen: the still, else the converter's latest.
    void withShownPicture(const std::function<void(const QImage& picture)>& use) const;

    QVideoSink* sink = nullptr;
    std::unique_ptr<FrameConverter> converter;
    int turn = 0;
    // Set while a still is wanted: the player's frames are dropped as they arrive (on
    // the player's thread).
    std::shared_ptr<std::atomic_bool> holding = std::make_shared<std::atomic_bool>(false);
    QImage still; // shown until the player's next picture after followPlayer()
    double stillStart = 0.0;
};
