#pragma once

#include <QImage>
#include <QWidget>

class QVideoFrame;
class QVideoSink;

// Shows the frames a player sends to its sink: the whole picture, scaled to fit with
// its proportions kept, on black, and turned upright by the file's rotation (the
// player's FFmpeg backend ignores it). Drawn by us rather than by QVideoWidget so
// that it can be grabbed and checked, also without a display.
class VideoView : public QWidget {
    Q_OBJECT

public:
    explicit VideoView(QWidget* parent = nullptr);

    QVideoSink* videoSink() const { return sink; }
    // Degrees clockwise: 0, 90, 180 or 270.
    void setRotation(int degrees);
    int rotation() const { return turn; }

    // The last frame shown, upright, at its own size.
    QImage currentImage() const;
    // Where the picture is drawn inside the view.
    QRect pictureRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showFrame(const QVideoFrame& frame);

    QVideoSink* sink = nullptr;
    QImage image;
    int turn = 0;
};
