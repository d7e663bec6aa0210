#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <QImage>
#include <QSize>
#include <QVideoFrame>

class FrameScaler;

// Turns the player's frames into RGB pictures of the size they are shown, on a thread
// of its own, with the scaler it is given (else with Qt's own conversion). Frames may
// be handed in from any thread; only the newest one waiting is converted, so a
// converter that falls behind skips frames rather than queueing them.
// The two pictures are reused from frame to frame: memory stays flat while playing.
class FrameConverter final {
public:
    // ready runs on the converter's thread after each new picture.
    FrameConverter(std::unique_ptr<FrameScaler> scaler, std::function<void()> ready);
    ~FrameConverter();
    Q_DISABLE_COPY_MOVE(FrameConverter)

    void submit(const QVideoFrame& frame);
    // The box the picture must fit, in device pixels, and the turn (degrees clockwise)
    // that makes it upright. A change converts the last frame again.
    void setBox(QSize devicePixels, int turn);

    // Runs paint with the latest picture (stored orientation, not yet turned) while
    // the converter cannot replace it.
    void withPicture(const std::function<void(const QImage& picture)>& paint) const;

private:
    void run();
    void convert(const QVideoFrame& frame, QSize size);

    std::function<void()> ready;
    // Used on the converter's thread only.
    std::unique_ptr<FrameScaler> scaler;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::optional<QVideoFrame> pending;
    QVideoFrame last;
    QSize box;
    int turn = 0;
    bool stopping = false;
    QImage front;
    // Touched by the converter's thread only.
    QImage back;
    std::thread worker;
};
