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
            ended = true;
            emit playedToEnd();
        } else if (status == QMediaPlayer::LoadedMedia && player->playbackState() == QMediaPlayer::StoppedState) {
            // A stopped player shows nothing; a paused one shows the frame where it
            // stands, which is what a screen that opens on a video wants.
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
    player->play();
}

void QtMediaPlayer::pause()
{
    player->pause();
}

void QtMediaPlayer::seek(double seconds)
{
    if (!std::isfinite(seconds))
        return;
    if (player->mediaStatus() == QMediaPlayer::EndOfMedia) {
        // After the end the FFmpeg backend shows no new frame for a bare seek; a
        // moment of playing wakes it.
        player->play();
        player->pause();
    }
    ended = false;
    player->setPosition(qint64(std::llround(seconds * 1000.0)));
}

double QtMediaPlayer::currentTime() const
{
    if (player->mediaStatus() == QMediaPlayer::NoMedia || player->mediaStatus() == QMediaPlayer::InvalidMedia)
        return std::numeric_limits<double>::quiet_NaN();
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
