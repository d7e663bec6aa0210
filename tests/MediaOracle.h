#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QtEndian>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <limits>

#include "FileNames.h"

// The tests' independent judges of media files (the ffmpeg and ffprobe commands, which
// honour MP4 edit lists as players do), the runner of every program a test starts,
// and the table of files nobody can split.

// A media file made for the tests by media/make-fixtures.sh.
inline QString fixture(const QString& name)
{
    return qEnvironmentVariable("TRIMORA_FIXTURES") + QLatin1Char('/') + name;
}

// A file's contents, for telling whether it changed.
inline QByteArray digest(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (file.open(QIODevice::ReadOnly))
        hash.addData(&file);
    return hash.result();
}

struct Run {
    int exitCode = -1; // -1: it crashed
    QString out;
    QString err;
};

// Starts a command; with a cache folder, the program gets that one as its own, so that
// what one run leaves there is not seen by another.
inline void start(QProcess& process, QStringList command, const QString& cache = QString())
{
    // QProcess passes arguments as UTF-8: one naming a file in bytes that are not UTF-8
    // goes through bash, each byte written out.
    if (std::any_of(command.cbegin(), command.cend(), holdsRawBytes)) {
        QString script = QStringLiteral("exec");
        for (const QString& argument : command) {
            script += QStringLiteral(" $'");
            for (const char byte : fileNameBytes(argument))
                script += QStringLiteral("\\x%1").arg(unsigned(static_cast<unsigned char>(byte)), 2, 16, QLatin1Char('0'));
            script += QLatin1Char('\'');
        }
        command = QStringList{QStringLiteral("bash"), QStringLiteral("-c"), script};
    }
    if (!cache.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
        process.setProcessEnvironment(environment);
    }
    process.start(command.takeFirst(), command);
}

inline Run run(const QStringList& command, const QString& cache = QString())
{
    QProcess process;
    start(process, command, cache);
    process.waitForFinished(-1);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

// The command line of the trimora program the build made.
inline QStringList trimora(const QStringList& arguments)
{
    return QStringList{qEnvironmentVariable("TRIMORA_BINARY")} + arguments;
}

// Files nobody can split, or that only look odd, and what happens to each: the exit
// status of `trimora split` (2: it cannot be read, or none of its clips could be cut;
// 1: its clips cannot be cut; 0: it splits) and words of the message. Run once through the engine, once through the
// command line. A file with copyAs is the fixture copied to that name.
inline void addBadFileRows()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("copyAs");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("words");

    QTest::newRow("text named .mp4") << "notavideo.mp4" << "" << 2
                                     << "Could not read video 'notavideo.mp4': it is not a video Trimora can read, or it is damaged";
    QTest::newRow("zero-byte file") << "empty.mp4" << "" << 2 << "Could not read video 'empty.mp4'";
    QTest::newRow("missing file") << "missing.mp4" << "" << 2 << "'missing.mp4': No such file or directory";
    QTest::newRow("sound only") << "audioonly.m4a" << "" << 2 << "it has no video track";
    QTest::newRow("cut off at half its size") << "truncated.mp4" << "" << 1 << "ends early";
    QTest::newRow("a codec we cannot encode: cut at keyframes") << "divx3.avi" << "" << 0 << "cannot be encoded again here";
    QTest::newRow("first keyframe damaged") << "badkey.mp4" << "" << 1 << "cannot be decoded";
    QTest::newRow("cut off inside its last clip") << "tailcut.mp4" << "" << 1 << "ends early";
    // Matroska has no index of every frame: its tracks' DURATION tags tell.
    QTest::newRow("Matroska cut off inside its last clip") << "tailcut.mkv" << "" << 1 << "ends early";
    QTest::newRow("sound running on after the picture") << "soundtail.mp4" << "" << 0 << "split-2: empty, skipped";
    // Opening either would wait for a writer, or read forever; a pipe cannot be read twice.
    QTest::newRow("a named pipe") << "fifo" << "pipe.mp4" << 2 << "a pipe cannot be read twice";
    QTest::newRow("a device") << "/dev/zero" << "" << 2 << "it is a device";
    // Refused before a picture is decoded: one would take gigabytes.
    QTest::newRow("pictures of 16384x8192, larger than 8K")
        << "huge.mp4" << "" << 2 << QString::fromUtf8("its pictures are 16384×8192; Trimora handles pictures up to 7680×4320");
    QTest::newRow("first chunk runs past the end of the file")
        << "farchunk.mp4" << "" << 1 << "some of its pictures cannot be read; the file is damaged";
    QTest::newRow("AVI: no presentation times") << "h264.avi" << "" << 2 << "no presentation times";
    QTest::newRow("accents, spaces and a newline in the name")
        << "h264.mp4" << QString::fromUtf8("Été à Kyōto/mon film\nd'été.mp4") << 0 << "";
    // The bytes "bad\xFF\xE9t\xE9.mp4" (Latin-1 accents, not UTF-8): the file is found under that name.
    QTest::newRow("a name that is not UTF-8")
        << "h264.mp4" << QStringLiteral("bad") + QChar(0xDCFF) + QChar(0xDCE9) + QStringLiteral("t") + QChar(0xDCE9) + QStringLiteral(".mp4")
        << 0 << "";
}

// The names in a folder as the system has them (not through QDir, which replaces what
// is not UTF-8), hidden ones too, sorted.
inline QStringList entriesOf(const QString& folder)
{
    QStringList names;
    if (DIR* listing = ::opendir(fileNameBytes(folder).constData())) {
        while (const dirent* entry = ::readdir(listing)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                names << fileNameFromBytes(name);
        }
        ::closedir(listing);
    }
    names.sort();
    return names;
}

// Removes a test's folder with whatever it holds, names that are not UTF-8 too (which
// QDir::removeRecursively cannot see).
inline void removeFolder(const QString& folder)
{
    run({QStringLiteral("rm"), QStringLiteral("-rf"), QStringLiteral("--"), folder});
}

// The file a bad-file row names: the fixture itself, or a copy of it under the odd name
// given, in a folder of the test's (for "fifo", a named pipe); empty when it failed.
inline QString badFilePath(const QString& file, const QString& copyAs, const QString& folder)
{
    if (file.startsWith(QLatin1Char('/')))
        return file;
    if (copyAs.isEmpty())
        return fixture(file);
    // Made by their bytes: QFile would name another file when they are not UTF-8.
    const QString copy = folder + QLatin1Char('/') + copyAs;
    QDir().mkpath(QFileInfo(copy).path());
    const QByteArray name = fileNameBytes(copy);
    if (file == QLatin1String("fifo"))
        return ::mkfifo(name.constData(), 0644) == 0 ? copy : QString();
    QFile original(fixture(file));
    if (!original.open(QIODevice::ReadOnly))
        return {};
    const QByteArray contents = original.readAll();
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    const bool written = fd >= 0 && ::write(fd, contents.constData(), size_t(contents.size())) == contents.size();
    if (fd >= 0)
        ::close(fd);
    return written ? copy : QString();
}

namespace oracle {

struct Frame {
    double time = 0.0; // seconds, as presented
    QString hash;      // MD5 of the decoded picture
};

// Every picture of the first video stream, decoded as a player shows it (rotation
// applied, edit lists honoured), in presentation order.
// With complaints, what the decoder said was wrong with the stream (a reference it
// could not find, say).
inline QList<Frame> videoFrames(const QString& path, QString* complaints = nullptr)
{
    const Run decoded = run({"ffmpeg", "-v", "error", "-nostdin", "-i", path, "-map", "0:v:0", "-fps_mode",
                             "passthrough", "-enc_time_base", "-1", "-f", "framemd5", "-"});
    const QString& out = decoded.out;
    if (complaints)
        *complaints = decoded.err;
    QList<Frame> frames;
    double timeBase = 1.0;
    for (const QString& line : out.split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QLatin1Char(','));
        if (line.startsWith(QLatin1String("#tb 0:")))
            timeBase = line.mid(6).section(QLatin1Char('/'), 0, 0).toDouble() / line.section(QLatin1Char('/'), 1).toDouble();
        else if (!line.startsWith(QLatin1Char('#')) && fields.size() == 6)
            frames.push_back({fields[2].trimmed().toDouble() * timeBase, fields[5].trimmed()});
    }
    return frames;
}

// One field of ffprobe's answer, for example ("stream_tags=language", "a:0").
inline QString probe(const QString& path, const QString& entries, const QString& streams = QString())
{
    QStringList command{"ffprobe", "-v", "error", "-show_entries", entries, "-of", "default=noprint_wrappers=1:nokey=1"};
    if (!streams.isEmpty())
        command << "-select_streams" << streams;
    return run(command << path).out.trimmed();
}

// The colour descriptions of the H.264 or HEVC sequence parameter sets a file's
// picture carries (its own and any sent with frames), each "primaries transfer matrix"
// or "none": the distinct ones, one a line.
inline QString parameterSetColours(const QString& path)
{
    const QString trace = run({"ffmpeg", "-v", "trace", "-nostdin", "-i", path, "-map", "0:v:0", "-c", "copy", "-bsf:v",
                               "trace_headers", "-f", "null", "-"}).err;
    QStringList sets;
    for (const QString& line : trace.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1String("] Sequence Parameter Set")))
            sets << QStringLiteral("none");
        else if (!sets.isEmpty() && line.contains(QRegularExpression(QStringLiteral(" (colour_primaries|transfer_characteristics|matrix_coefficients) "))))
            sets.last() = (sets.last() == QLatin1String("none") ? QString() : sets.last() + QLatin1Char(' ')) + line.section(QLatin1Char(' '), -1);
    }
    sets.removeDuplicates();
    sets.sort();
    return sets.join(QLatin1Char('\n'));
}

// The least PSNR (dB, luma and chroma together) of a clip's pictures against the
// source's, from the source's picture `first` on; infinity when all are identical.
inline double lowestPsnr(const QString& clip, const QString& source, int first, int count)
{
    // Both counted in frames on one time base: the files' own bases may differ.
    const QString filter = QStringLiteral("[0:v:0]trim=start_frame=%1:end_frame=%2,settb=AVTB,setpts=N[s];"
                                          "[1:v:0]settb=AVTB,setpts=N[c];[s][c]psnr=stats_file=-")
                               .arg(first)
                               .arg(first + count);
    const QString out = run({"ffmpeg", "-v", "error", "-nostdin", "-i", source, "-i", clip, "-lavfi", filter, "-f", "null", "-"}).out;
    double lowest = std::numeric_limits<double>::infinity();
    for (const QString& line : out.split(QLatin1Char('\n'))) {
        const QString value = line.section(QStringLiteral("psnr_avg:"), 1).section(QLatin1Char(' '), 0, 0);
        if (!value.isEmpty() && value != QLatin1String("inf"))
            lowest = std::min(lowest, value.toDouble());
    }
    return lowest;
}

// The pictures GStreamer's playbin (the desktop's own player) shows of a file.
inline int gstreamerPictures(const QString& path)
{
    // Only the picture, not deinterlaced: a deinterlacer makes a picture of each field.
    const QString out = run({"gst-launch-1.0", "-v", "playbin", "flags=video", "uri=" + QUrl::fromLocalFile(path).toString(),
                             "video-sink=identity silent=false ! fakesink"}).out;
    return int(out.count(QStringLiteral("identity0:sink) (")));
}

// The video packets a file holds: more than the pictures shown means hidden frames.
inline int videoPackets(const QString& path)
{
    // A stream with side data (MPEG-2's bit rates) gets an empty field after the count.
    return run({"ffprobe", "-v", "error", "-count_packets", "-select_streams", "v:0", "-show_entries", "stream=nb_read_packets",
                "-of", "csv=p=0", path}).out.trimmed().section(QLatin1Char(','), 0, 0).toInt();
}

// The bytes of a file's picture.
inline qint64 videoBytes(const QString& path)
{
    qint64 bytes = 0;
    const QString out = run({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "packet=size", "-of", "csv=p=0", path}).out;
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        bytes += line.section(QLatin1Char(','), 0, 0).toLongLong();
    return bytes;
}

// How many samples (of one channel) a file's first sound track decodes to, as FFmpeg
// plays it: codec delay and padding dropped.
inline qint64 audioSamples(const QString& path)
{
    QProcess process;
    process.start(QStringLiteral("ffmpeg"), {"-v", "error", "-nostdin", "-i", path, "-map", "0:a:0", "-ac", "1", "-f", "s16le", "-"});
    qint64 bytes = 0;
    while (process.waitForReadyRead(30000) || process.bytesAvailable() > 0)
        bytes += process.readAllStandardOutput().size();
    process.waitForFinished(30000);
    return bytes / 2;
}

// The shown times of a file's keyframes, in seconds.
inline QList<double> keyframeTimes(const QString& path)
{
    QList<double> times;
    // As the file marks them: decoding only keyframes shows an open GOP's out of order.
    const QString out = run({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                             "packet=pts_time,dts_time,flags", "-of", "csv=p=0", path}).out;
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(QLatin1Char(','));
        if (fields.size() >= 3 && fields[2].startsWith(QLatin1Char('K')))
            times << fields[0].toDouble();
        // No shown time (AVI): the times of the keyframes FFmpeg decodes.
        if (fields.size() >= 3 && fields[2].startsWith(QLatin1Char('K')) && fields[0] == QLatin1String("N/A")) {
            times.clear();
            const QString frames = run({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                        "frame=key_frame,best_effort_timestamp_time", "-of", "csv=p=0", path}).out;
            for (const QString& frame : frames.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
                if (frame.startsWith(QLatin1String("1,")))
                    times << frame.section(QLatin1Char(','), 1, 1).toDouble();
            }
            break;
        }
    }
    std::sort(times.begin(), times.end());
    return times;
}

// The first bytes of a file, where a clip that plays while it is still being read
// keeps its index ("moov" before "mdat").
inline QByteArray head(const QString& path, qint64 size = 1 << 22)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(size) : QByteArray();
}

// Where the video track's edits start in its media (empty edits left out), read from
// an MP4-family file's index; an index at the end of a big file is not read. VLC drops
// the pictures decoded before an edit's start.
inline QList<qint64> videoEditStarts(const QString& path)
{
    const QByteArray data = head(path);
    struct Box {
        QByteArray type;
        qsizetype body = 0;
        qsizetype end = 0;
    };
    const auto children = [&data](qsizetype from, qsizetype end) {
        QList<Box> boxes;
        while (from + 8 <= end) {
            quint64 size = qFromBigEndian<quint32>(data.constData() + from);
            qsizetype header = 8;
            if (size == 1 && from + 16 <= end) {
                size = qFromBigEndian<quint64>(data.constData() + from + 8);
                header = 16;
            } else if (size == 0) {
                size = quint64(end - from);
            }
            if (size < quint64(header) || quint64(end - from) < size)
                break;
            boxes.append({data.mid(from + 4, 4), from + header, from + qsizetype(size)});
            from += qsizetype(size);
        }
        return boxes;
    };
    const auto child = [&children](const Box& parent, const char* type) {
        for (const Box& box : children(parent.body, parent.end)) {
            if (box.type == type)
                return box;
        }
        return Box();
    };
    QList<qint64> starts;
    for (const Box& moov : children(0, data.size())) {
        if (moov.type != "moov")
            continue;
        for (const Box& trak : children(moov.body, moov.end)) {
            const Box hdlr = child(child(trak, "mdia"), "hdlr");
            if (trak.type != "trak" || hdlr.end < hdlr.body + 12 || data.mid(hdlr.body + 8, 4) != "vide")
                continue;
            const Box elst = child(child(trak, "edts"), "elst");
            if (elst.end < elst.body + 8)
                continue;
            const bool wide = data.at(elst.body) == 1;
            const quint32 count = qFromBigEndian<quint32>(data.constData() + elst.body + 4);
            const qsizetype entry = wide ? 20 : 12;
            for (quint32 i = 0; i < count && elst.body + 8 + qsizetype(i + 1) * entry <= elst.end; ++i) {
                const char* at = data.constData() + elst.body + 8 + qsizetype(i) * entry + (wide ? 8 : 4);
                const qint64 media = wide ? qFromBigEndian<qint64>(at) : qFromBigEndian<qint32>(at);
                if (media != -1)
                    starts << media;
            }
        }
    }
    return starts;
}

} // namespace oracle
