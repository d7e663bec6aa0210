#pragma once

#include <memory>

#include "Player.h"

class QAudioOutput;
class QMediaPlayer;

// The player over Qt Multimedia. Sound goes to the default audio output when the
// machine has one; without one the video plays silently (the FFmpeg backend of Qt 6.4
// crashes when an audio output is attached on a machine with no audio device).
class QtMediaPlayer final : public Player {
    Q_OBJECT

public:
    explicit QtMediaPlayer(QObject* parent = nullptr);
    ~QtMediaPlayer() override;

    void setSource(const QUrl& url) override;
    void setVideoSink(QVideoSink* sink) override;
    void play() override;
    void pause() override;
    void setRate(double rate) override;
    void seek(double seconds) override;
    double currentTime() const override;
    bool isPlaying() const override;
    bool reachedEnd() const override;

    // Chooses Qt Multimedia's FFmpeg backend, unless the user chose one: measured to
    // start fastest and to report exact positions. Call before the application object
    // is made.
    static void chooseBackend();

private:
    QMediaPlayer* player = nullptr;
    QAudioOutput* audio = nullptr;
    bool ended = false;
    // Asked to play, and not paused since: an end reached while paused is not the end
    // of playing.
    bool playing = false;
    bool opened = false; // shown, paused, since the source was set
    // Where a seek while paused sent the player, in milliseconds; -1: none since it
    // last played.
    qint64 pausedAt = -1;
    // The source as this process opened it, when its name is not UTF-8: the player reads
    // it as /proc/self/fd/N, since Qt Multimedia would open another name. -1: none.
    int openedSource = -1;
};
