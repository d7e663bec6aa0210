#pragma once

#include <QObject>
#include <QUrl>

class QVideoSink;

// The editor's video player. Times are seconds. The player sends its pictures to the
// sink it is given; its sound, if any, to the machine's audio output.
class Player : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void setSource(const QUrl& url) = 0;
    virtual void setVideoSink(QVideoSink* sink) = 0;

    virtual void play() = 0;
    virtual void pause() = 0;
    // How fast it plays: 1 is the video's own speed, 2 twice that.
    virtual void setRate(double rate) = 0;
    // Asynchronous: nothing waits for it; the next read of currentTime may lag.
    virtual void seek(double seconds) = 0;

    // Not a number while nothing is loaded.
    virtual double currentTime() const = 0;
    // Playing, and not failed.
    virtual bool isPlaying() const = 0;
    // The item has played to its end (until the next seek or play).
    virtual bool reachedEnd() const = 0;

signals:
    // This player's own item played to its end.
    void playedToEnd();
};
