#include "SoundPeaks.h"

#include <algorithm>
#include <cmath>
#include <limits>

extern "C" {
#include <libavutil/samplefmt.h>
}

#include <QCryptographicHash>
#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "FfmpegSupport.h"
#include "MediaLog.h"

namespace {

constexpr char CACHE_MAGIC[] = "TRIMORA-PEAKS-1";

// The largest magnitude, 0 to 1, of samples [from, to) of one channel.
template <typename Sample>
float channelPeak(const std::uint8_t* data, int from, int to, int stride, double scale, double centre)
{
    const auto* samples = reinterpret_cast<const Sample*>(data);
    double peak = 0.0;
    for (int i = from; i < to; ++i)
        peak = std::max(peak, std::abs((double(samples[size_t(i) * size_t(stride)]) - centre) * scale));
    return float(peak);
}

// The largest magnitude, 0 to 1, of samples [from, to) of every channel of a frame.
float framePeak(const AVFrame* frame, int from, int to)
{
    const auto format = AVSampleFormat(frame->format);
    const bool planar = av_sample_fmt_is_planar(format);
    const int channels = std::max(1, frame->ch_layout.nb_channels);
    float peak = 0.0f;
    for (int channel = 0; channel < channels; ++channel) {
        const std::uint8_t* data = planar ? frame->extended_data[channel] : frame->extended_data[0];
        const int stride = planar ? 1 : channels;
        const int bytes = av_get_bytes_per_sample(format);
        if (!planar)
            data += size_t(channel) * size_t(bytes);
        switch (av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_U8:
            peak = std::max(peak, channelPeak<std::uint8_t>(data, from, to, stride, 1.0 / 128, 128.0));
            break;
        case AV_SAMPLE_FMT_S16:
            peak = std::max(peak, channelPeak<std::int16_t>(data, from, to, stride, 1.0 / 32768, 0.0));
            break;
        case AV_SAMPLE_FMT_S32:
            peak = std::max(peak, channelPeak<std::int32_t>(data, from, to, stride, 1.0 / 2147483648.0, 0.0));
            break;
        case AV_SAMPLE_FMT_S64:
            peak = std::max(peak, channelPeak<std::int64_t>(data, from, to, stride, 1.0 / 9223372036854775808.0, 0.0));
            break;
        case AV_SAMPLE_FMT_FLT:
            peak = std::max(peak, channelPeak<float>(data, from, to, stride, 1.0, 0.0));
            break;
        case AV_SAMPLE_FMT_DBL:
            peak = std::max(peak, channelPeak<double>(data, from, to, stride, 1.0, 0.0));
            break;
        default:
            break;
        }
    }
    return peak;
}

// Adds a decoded frame's samples to the peaks, placed by the frame's time where it has
// one, else straight after the frame before.
void addFrame(const AVFrame* frame, double seconds, int perSecond, std::vector<std::uint8_t>& peaks)
{
    const int rate = std::max(1, frame->sample_rate);
    int sample = 0;
    while (sample < frame->nb_samples) {
        const double at = seconds + double(sample) / rate;
        const auto bucket = std::int64_t(std::floor(at * perSecond + 1e-9));
        // The samples of this frame up to where the next bucket starts.
        const double nextStart = double(bucket + 1) / perSecond;
        const int end = std::clamp(int(std::ceil((nextStart - seconds) * rate - 1e-9)), sample + 1, frame->nb_samples);
        if (bucket >= 0 && bucket < std::int64_t(std::numeric_limits<int>::max())) {
            if (size_t(bucket) >= peaks.size())
                peaks.resize(size_t(bucket) + 1, 0);
            const auto level = std::uint8_t(std::clamp(std::lround(framePeak(frame, sample, end) * 255.0f), 0L, 255L));
            peaks[size_t(bucket)] = std::max(peaks[size_t(bucket)], level);
        }
        sample = end;
    }
}

QString cacheName(const QString& path, int perSecond)
{
    const QFileInfo file(path);
    const QByteArray key = file.canonicalFilePath().toUtf8() + '\n' + QByteArray::number(file.size()) + '\n'
        + QByteArray::number(file.lastModified().toMSecsSinceEpoch()) + '\n' + QByteArray::number(perSecond);
    return QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex()) + QStringLiteral(".peaks");
}

} // namespace

Outcome<std::vector<std::uint8_t>> readSoundPeaks(const QString& path, int perSecond, const CancelToken& cancel,
                                                  const CutProgress& progress)
{
    using Result = Outcome<std::vector<std::uint8_t>>;
    Outcome<InputFormat> opened = openInput(path, &cancel);
    if (!opened)
        return Result::failure(opened.error());
    AVFormatContext* input = opened->get();
    int stream = -1;
    for (unsigned i = 0; i < input->nb_streams && stream < 0; ++i) {
        if (input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            stream = int(i);
    }
    if (stream < 0)
        return std::vector<std::uint8_t>();
    // Only the sound is read: the demuxer skips the rest.
    readOnlyStream(input, stream);
    const AVStream* track = input->streams[stream];
    int status = 0;
    CodecContext codec = openDecoder(track, 1, status);
    const QString failed = QStringLiteral("Could not read the sound of '%1': %2").arg(displayName(path));
    if (status == AVERROR_DECODER_NOT_FOUND)
        return Result::failure(failed.arg(QStringLiteral("its sound format is not supported")));
    if (!codec) {
        qCDebug(lcMedia) << "avcodec_open2 failed for the sound of" << path << ffmpegErrorText(status);
        return Result::failure(failed.arg(ffmpegErrorText(status)));
    }
    const double start = input->start_time != AV_NOPTS_VALUE ? double(input->start_time) / AV_TIME_BASE : 0.0;
    std::vector<std::uint8_t> peaks;
    Packet packet(av_packet_alloc());
    Frame frame(av_frame_alloc());
    double next = 0.0; // where a frame without a time goes
    const auto drain = [&] {
        while (avcodec_receive_frame(codec.get(), frame.get()) >= 0) {
            const int64_t pts = frame->best_effort_timestamp;
            const double seconds = pts != AV_NOPTS_VALUE ? double(pts) * av_q2d(track->time_base) - start : next;
            addFrame(frame.get(), seconds, perSecond, peaks);
            next = seconds + double(frame->nb_samples) / std::max(1, frame->sample_rate);
            av_frame_unref(frame.get());
        }
    };
    // How far the reading has come: by the sound's times, against the file's length.
    const double length = input->duration > 0 ? double(input->duration) / AV_TIME_BASE
        : track->duration > 0                  ? double(track->duration) * av_q2d(track->time_base)
                                               : 0.0;
    while ((status = av_read_frame(input, packet.get())) >= 0) {
        if (packet->stream_index == stream) {
            if (length > 0.0 && packet->pts != AV_NOPTS_VALUE)
                progress.set((double(packet->pts) * av_q2d(track->time_base) - start) / length);
            if (avcodec_send_packet(codec.get(), packet.get()) >= 0)
                drain();
        }
        av_packet_unref(packet.get());
    }
    if (cancel.isCancelled())
        return Result::failure(failed.arg(QStringLiteral("stopped")));
    // A damaged packet loses its own stretch of the waveform, not the rest.
    if (status != AVERROR_EOF)
        qCDebug(lcMedia) << "av_read_frame stopped the sound of" << path << "early:" << ffmpegErrorText(status);
    avcodec_send_packet(codec.get(), nullptr);
    drain();
    return peaks;
}

namespace {

// Removes the kept copies used longest ago until the folder holds at most limit bytes;
// the one just kept stays whatever its size.
void trimCache(const QString& folder, const QString& kept, qint64 limit)
{
    const QFileInfoList copies = QDir(folder).entryInfoList(QDir::Files, QDir::Time); // newest first
    qint64 total = 0;
    for (const QFileInfo& copy : copies) {
        total += copy.size();
        if (total > limit && copy.absoluteFilePath() != QFileInfo(kept).absoluteFilePath())
            QFile::remove(copy.absoluteFilePath());
    }
}

} // namespace

Outcome<std::vector<std::uint8_t>> cachedSoundPeaks(const QString& path, int perSecond, const QString& folder,
                                                    const CancelToken& cancel, qint64 limit, const CutProgress& progress)
{
    const QString kept = QDir(folder).filePath(cacheName(path, perSecond));
    QFile cached(kept);
    if (cached.open(QIODevice::ReadOnly)) {
        QDataStream in(&cached);
        QByteArray magic;
        qint32 rate = 0;
        QByteArray bytes;
        in >> magic >> rate >> bytes;
        if (in.status() == QDataStream::Ok && magic == CACHE_MAGIC && rate == perSecond && in.atEnd()) {
            // Used now: the last to go when the folder is trimmed.
            cached.setFileTime(QDateTime::currentDateTime(), QFileDevice::FileModificationTime);
            return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
        }
        qCDebug(lcMedia) << "a kept waveform is damaged, reading the sound again:" << kept;
    }
    Outcome<std::vector<std::uint8_t>> peaks = readSoundPeaks(path, perSecond, cancel, progress);
    if (!peaks)
        return peaks;
    QSaveFile out(kept);
    if (!QDir().mkpath(folder) || !out.open(QIODevice::WriteOnly)) {
        qCWarning(lcMedia) << "could not keep the waveform in" << folder << out.errorString();
        return peaks;
    }
    QDataStream stream(&out);
    stream << QByteArray(CACHE_MAGIC) << qint32(perSecond)
           << QByteArray(reinterpret_cast<const char*>(peaks->data()), qsizetype(peaks->size()));
    if (!out.commit())
        qCWarning(lcMedia) << "could not keep the waveform in" << kept << out.errorString();
    else
        trimCache(folder, kept, limit);
    return peaks;
}
