#pragma once

#include <memory>

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

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void pictureReady();
    QSize storedTargetSize() const;

    QVideoSink* sink = nullptr;
    std::unique_ptr<FrameConverter> converter;
    int turn = 0;
};
