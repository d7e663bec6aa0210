#pragma once

#include <QStringList>

#include "Player.h"

// A player that plays nothing: the test sets where it stands and reads what it was
// asked to do, in order ("sink", "source", "seek 0", "play", "pause").
class FakePlayer final : public Player {
    Q_OBJECT

public:
    void setSource(const QUrl& url) override
    {
        source = url;
        calls << QStringLiteral("source");
    }
    void setVideoSink(QVideoSink*) override { calls << QStringLiteral("sink"); }
    void play() override
    {
        playing = true;
        ended = false;
        calls << QStringLiteral("play");
    }
    void pause() override
    {
        playing = false;
        calls << QStringLiteral("pause");
    }
    void seek(double seconds) override
    {
        time = seconds;
        ended = false;
        calls << QStringLiteral("seek %1").arg(seconds);
    }
    double currentTime() const override { return time; }
    bool isPlaying() const override { return playing; }
    bool reachedEnd() const override { return ended; }

    void finish()
    {
        ended = true;
        emit playedToEnd();
    }

    QUrl source;
    QStringList calls;
    double time = 0.0;
    bool playing = false;
    bool ended = false;
};
