#include "QtMediaPlayer.h"

#include <cmath>
#include <limits>

#include <fcntl.h>
#include <unistd.h>

#include <QAudioDevice>
#include <QAudioOutput>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QVideoSink>

#include "DesktopLog.h"
#include "FileNames.h"

QtMediaPlayer::QtMediaPlayer(QObject* parent)
    : Player(parent)
    , player(new QMediaPlayer(this))
{
    if (!QMediaDevices::audioOutputs().isEmpty()) {
        audio = new QAudioOutput(this);
        player->setAudioOutput(audio);
    }
    connect(player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::EndOfMedia) {
            // A paused player that shows one of the last frames reads on to the end and
            // reports it too, sometimes late, after the next seek: only the end of
            // playing counts.
            if (playing) {
                ended = true;
                emit playedToEnd();
            }
        } else if (status == QMediaPlayer::LoadedMedia && player->playbackState() == QMediaPlayer::StoppedState
                   && !opened) {
            // A stopped player shows nothing; a paused one shows the frame where it
            // stands, which is what a screen that opens on a video wants. Only once: a
            // seek that stops the player pauses it where it goes.
            opened = true;
            player->pause();
        }
    });
    connect(player, &QMediaPlayer::errorOccurred, this, [](QMediaPlayer::Error, const QString& message) {
        qCWarning(lcDesktop) << "QMediaPlayer error:" << message;
    });
}

QtMediaPlayer::~QtMediaPlayer()
{
    // The GStreamer backend aborts at exit with a bare sink unless it is let go first.
    player->stop();
    player->setVideoSink(nullptr);
    if (openedSource >= 0)
        ::close(openedSource);
}

void QtMediaPlayer::chooseBackend()
{
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
}

void QtMediaPlayer::setSource(const QUrl& url)
{
    ended = false;
    playing = false;
    opened = false;
    pausedAt = -1;
    const int previous = openedSource;
    openedSource = -1;
    QUrl source = url;
    const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    if (holdsRawBytes(path)) {
        openedSource = ::open(fileNameBytes(path).constData(), O_RDONLY | O_CLOEXEC);
        if (openedSource >= 0)
            source = QUrl::fromLocalFile(QStringLiteral("/proc/self/fd/%1").arg(openedSource));
        else
            qCWarning(lcDesktop) << "could not open the video to play:" << shownFileName(path);
    }
    player->setSource(source);
    // The player has let go of the file before.
    if (previous >= 0)
        ::close(previous);
}

void QtMediaPlayer::setVideoSink(QVideoSink* sink)
{
    player->setVideoSink(sink);
}

void QtMediaPlayer::play()
{
    ended = false;
    playing = true;
    pausedAt = -1;
    player->play();
}

void QtMediaPlayer::pause()
{
    playing = false;
    // Pausing after the end would take the player back to the start without showing
    // it: the last frame stays on screen while the position says 0.
    if (player->mediaStatus() != QMediaPlayer::EndOfMedia)
        player->pause();
}

void QtMediaPlayer::setRate(double rate)
{
    player->setPlaybackRate(rate);
}

void QtMediaPlayer::seek(double seconds)
{
    if (!std::isfinite(seconds))
        return;
    ended = false;
    const qint64 position = qint64(std::llround(seconds * 1000.0));
    const bool paused
        = player->playbackState() == QMediaPlayer::PausedState || player->mediaStatus() == QMediaPlayer::EndOfMedia;
    if (playing || !paused) {
        // Playing, or still loading: the player goes there itself.
        player->setPosition(position);
        return;
    }
    // Once the FFmpeg backend has read a paused video to its end (after showing one of
    // its last frames, or after playing to the end) it shows no new frame for a seek,
    // whether or not it reported the end, and a moment of playing wakes it only now and
    // then. Stopped, it starts afresh: it shows the frame where it stands when paused
    // again. The view ignores the empty picture a stop sends.
    pausedAt = position;
    player->stop();
    player->setPosition(position);
    player->pause();
}

double QtMediaPlayer::currentTime() const
{
    if (player->mediaStatus() == QMediaPlayer::NoMedia || player->mediaStatus() == QMediaPlayer::InvalidMedia)
        return std::numeric_limits<double>::quiet_NaN();
    // An end reported late moves the position to the end, not the picture.
    if (!playing && pausedAt >= 0)
        return double(pausedAt) / 1000.0;
    return double(player->position()) / 1000.0;
}

bool QtMediaPlayer::isPlaying() const
{
    return player->playbackState() == QMediaPlayer::PlayingState && player->error() == QMediaPlayer::NoError;
}

bool QtMediaPlayer::reachedEnd() const
{
    return ended;
}
