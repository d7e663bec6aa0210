#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

// Answers about media files from the ffmpeg and ffprobe commands, which honour MP4
// edit lists as players do: the tests' independent judge of what a clip shows.
// A media file made for the tests by media/make-fixtures.sh.
inline QString fixture(const QString& name)
{
    return qEnvironmentVariable("TRIMORA_FIXTURES") + QLatin1Char('/') + name;
}

// A file's contents, for telling whether it changed.
inline QByteArray digest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

namespace oracle {

struct Frame {
    double time = 0.0; // seconds, as presented
    QByteArray hash;   // MD5 of the decoded picture
};

inline QByteArray run(const QString& program, const QStringList& arguments, int* exitCode = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(120000);
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return process.readAllStandardOutput();
}

// Every picture of the first video stream, decoded as a player shows it (rotation
// applied, edit lists honoured), in presentation order.
inline QList<Frame> videoFrames(const QString& path)
{
    const QByteArray out = run(QStringLiteral("ffmpeg"),
                               {"-v", "error", "-nostdin", "-i", path, "-map", "0:v:0", "-fps_mode", "passthrough",
                                "-enc_time_base", "-1", "-f", "framemd5", "-"});
    QList<Frame> frames;
    qint64 num = 1;
    qint64 den = 1;
    for (const QByteArray& line : out.split('\n')) {
        if (line.startsWith("#tb 0:")) {
            const QList<QByteArray> parts = line.mid(6).trimmed().split('/');
            num = parts.value(0).toLongLong();
            den = parts.value(1).toLongLong();
        } else if (!line.startsWith('#') && !line.isEmpty()) {
            const QList<QByteArray> fields = line.split(',');
            if (fields.size() == 6)
                frames.push_back({double(fields[2].trimmed().toLongLong()) * double(num) / double(den), fields[5].trimmed()});
        }
    }
    return frames;
}

// One field of ffprobe's answer, for example ("stream_tags=language", "a:0").
inline QString probe(const QString& path, const QString& entries, const QString& streams = QString())
{
    QStringList arguments{"-v", "error", "-show_entries", entries, "-of", "default=noprint_wrappers=1:nokey=1"};
    if (!streams.isEmpty())
        arguments << "-select_streams" << streams;
    arguments << path;
    return QString::fromUtf8(run(QStringLiteral("ffprobe"), arguments)).trimmed();
}

// The presentation time of the first decoded frame of a stream ("v:0", "a:0").
inline double firstFrameTime(const QString& path, const QString& stream)
{
    const QString out = QString::fromUtf8(run(QStringLiteral("ffprobe"),
        {"-v", "error", "-select_streams", stream, "-show_entries", "frame=pts_time", "-read_intervals", "%+#1",
         "-of", "default=noprint_wrappers=1:nokey=1", path})).trimmed();
    bool ok = false;
    const double time = out.section(QLatin1Char('\n'), 0, 0).toDouble(&ok);
    return ok ? time : -1.0;
}

struct Box {
    QString type;
    qint64 offset = 0;
    qint64 size = 0;
};

// The top-level boxes of an MP4 file, in order ("ftyp", "moov", "free", "mdat").
inline QList<Box> topLevelBoxes(const QString& path)
{
    QFile file(path);
    QList<Box> boxes;
    if (!file.open(QIODevice::ReadOnly))
        return boxes;
    qint64 at = 0;
    while (at + 8 <= file.size()) {
        file.seek(at);
        const QByteArray header = file.read(16);
        quint64 size = 0;
        for (int i = 0; i < 4; ++i)
            size = size << 8 | quint8(header[i]);
        if (size == 1) {
            size = 0;
            for (int i = 8; i < 16; ++i)
                size = size << 8 | quint8(header[i]);
        } else if (size == 0) {
            size = quint64(file.size() - at);
        }
        boxes.push_back({QString::fromLatin1(header.mid(4, 4)), at, qint64(size)});
        if (size < 8)
            break;
        at += qint64(size);
    }
    return boxes;
}

inline QStringList topLevelBoxTypes(const QString& path)
{
    QStringList types;
    for (const Box& box : topLevelBoxes(path))
        types << box.type;
    return types;
}

// The bytes of the file's movie box.
inline QByteArray movieBox(const QString& path)
{
    for (const Box& box : topLevelBoxes(path)) {
        if (box.type == QLatin1String("moov")) {
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            file.seek(box.offset);
            return file.read(box.size);
        }
    }
    return {};
}

} // namespace oracle
