#include "FfmpegSupport.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <optional>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/bsf.h>
#include <libavutil/log.h>
}

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QThread>

#include "FileNames.h"
#include "MediaLog.h"
#include "SourceRuns.h"

// Quiet unless asked for (QT_LOGGING_RULES="trimora.ffmpeg.debug=true").
Q_LOGGING_CATEGORY(lcFfmpeg, "trimora.ffmpeg", QtCriticalMsg)

QString ffmpegErrorText(int error)
{
    std::array<char, AV_ERROR_MAX_STRING_SIZE> buffer{};
    if (av_strerror(error, buffer.data(), buffer.size()) < 0)
        return QCoreApplication::translate("FfmpegSupport", "error %1").arg(error);
    return QString::fromUtf8(buffer.data());
}

QString displayName(const QString& path)
{
    return QFileInfo(path).fileName();
}

namespace {

constexpr int WRITE_BUFFER_BYTES = 256 * 1024;

struct DescriptorSink {
    int descriptor = -1;
    int64_t position = 0;
    int64_t size = 0;
    const SourceRuns* runs = nullptr; // bytes the kernel moves in later: not written
};

#if LIBAVFORMAT_VERSION_MAJOR >= 61
int writeToDescriptor(void* opaque, const uint8_t* data, int length)
#else
int writeToDescriptor(void* opaque, uint8_t* data, int length)
#endif
{
    auto* sink = static_cast<DescriptorSink*>(opaque);
    int done = 0;
    int64_t skip = 0;
    int64_t writable = sink->runs ? 0 : length;
    while (done < length) {
        if (sink->runs && writable == done) {
            writable = done + sink->runs->outside(sink->position + done, length - done, &skip);
            if (skip > 0) {
                done += int(skip);
                writable = done;
                continue;
            }
        }
        const ssize_t written = ::pwrite(sink->descriptor, data + done, size_t(writable - done), sink->position + done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) // nothing written is no progress either: never spin on it
            return written < 0 ? AVERROR(errno) : AVERROR(EIO);
        done += int(written);
    }
    sink->position += done;
    sink->size = std::max(sink->size, sink->position);
    return done;
}

int64_t seekDescriptor(void* opaque, int64_t offset, int whence)
{
    auto* sink = static_cast<DescriptorSink*>(opaque);
    const int64_t to = seekTarget(offset, whence, sink->position, [sink] { return sink->size; });
    if (to >= 0 && (whence & ~AVSEEK_FORCE) != AVSEEK_SIZE)
        sink->position = to;
    return to;
}

// Decoders may round a picture's width up to their alignment before checking it.
int64_t decoderPixelLimit()
{
    return MAX_PICTURE_PIXELS + 64 * MAX_PICTURE_SIDE;
}

int interruptWhenCancelled(void* cancel)
{
    return static_cast<const CancelToken*>(cancel)->isCancelled() ? 1 : 0;
}

Outcome<InputFormat> unreadableVideo(const QString& path, const QString& why)
{
    return Outcome<InputFormat>::failure(
        QCoreApplication::translate("FfmpegSupport", "Could not read video '%1': %2").arg(displayName(path), why));
}

} // namespace

int64_t seekTarget(int64_t offset, int whence, int64_t position, const std::function<int64_t()>& size)
{
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return size();
    case SEEK_SET:
        break;
    case SEEK_CUR:
        offset += position;
        break;
    case SEEK_END:
        offset += size();
        break;
    default:
        return AVERROR(EINVAL);
    }
    return offset < 0 ? AVERROR(EINVAL) : offset;
}

AVIOContext* openDescriptorWriter(int descriptor, const SourceRuns* runs)
{
    if (::ftruncate(descriptor, 0) != 0)
        return nullptr;
    auto* buffer = static_cast<unsigned char*>(av_malloc(WRITE_BUFFER_BYTES));
    if (!buffer)
        return nullptr;
    auto* sink = new DescriptorSink{descriptor, 0, 0, runs};
    AVIOContext* writer = avio_alloc_context(buffer, WRITE_BUFFER_BYTES, 1, sink, nullptr, &writeToDescriptor,
                                             &seekDescriptor);
    if (!writer) {
        av_free(buffer);
        delete sink;
    } else if (runs) {
        // A packet's data is handed over as it is, not copied into the buffer: the
        // runs' stand-ins are never touched.
        writer->direct = 1;
    }
    return writer;
}

int closeDescriptorWriter(AVIOContext** writer)
{
    if (!*writer)
        return 0;
    avio_flush(*writer);
    const int status = (*writer)->error;
    delete static_cast<DescriptorSink*>((*writer)->opaque);
    av_freep(&(*writer)->buffer);
    avio_context_free(writer);
    return status < 0 ? status : 0;
}

Outcome<void> checkRegularFile(const QString& path)
{
    // Named by its whole path: a pipe's name ("63" for /dev/fd/63) says nothing.
    auto refuse = [&path](const QString& why) {
        return Outcome<void>::failure(QCoreApplication::translate("FfmpegSupport", "Could not open '%1': %2")
                                          .arg(QDir::toNativeSeparators(path), why));
    };
    struct stat info {};
    if (::stat(fileNameBytes(path).constData(), &info) != 0) {
        return Outcome<void>::failure(QCoreApplication::translate("FfmpegSupport", "Could not read video '%1': %2")
                                          .arg(displayName(path), QString::fromLocal8Bit(std::strerror(errno))));
    }
    if (S_ISREG(info.st_mode))
        return {};
    if (S_ISDIR(info.st_mode))
        return refuse(QCoreApplication::translate("FfmpegSupport", "it is a folder, not a video."));
    if (S_ISFIFO(info.st_mode)) {
        return refuse(QCoreApplication::translate("FfmpegSupport",
            "it is a pipe, and a pipe cannot be read twice. Trimora opens only regular "
            "files: save the video to a file first."));
    }
    return refuse(QCoreApplication::translate(
        "FfmpegSupport", "it is a device or a socket, not a file. Trimora opens only regular files."));
}

namespace {

// The container opened, its stream information not yet read.
Outcome<InputFormat> openContainer(const QString& path, const CancelToken* cancel, AVIOContext* through, int flags)
{
    // Opening a pipe or a device could wait forever, and cutting reads a file more than
    // once: only regular files are let through, checked before anything opens them.
    if (const Outcome<void> regular = checkRegularFile(path); !regular)
        return Outcome<InputFormat>::failure(regular.error());
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw)
        return unreadableVideo(path, QCoreApplication::translate("FfmpegSupport", "out of memory."));
    if (cancel)
        raw->interrupt_callback = {&interruptWhenCancelled, const_cast<CancelToken*>(cancel)};
    raw->flags |= flags;
    if (through) {
        raw->pb = through;
        raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    const QByteArray encoded = fileNameBytes(path);
    const int status = avformat_open_input(&raw, encoded.constData(), nullptr, nullptr);
    if (status < 0) {
        qCDebug(lcMedia) << "avformat_open_input failed for" << path << ffmpegErrorText(status);
        // FFmpeg finds no container it knows in what the file starts with.
        if (status == AVERROR_INVALIDDATA || status == AVERROR_EOF)
            return unreadableVideo(path, QCoreApplication::translate("FfmpegSupport", "it is not a video Trimora can "
                                                                                      "read, or it is damaged or incomplete"));
        return unreadableVideo(path, ffmpegErrorText(status));
    }
    return InputFormat(raw);
}

} // namespace

bool readsAsMp4(const AVFormatContext* input)
{
    return std::strcmp(input->iformat->name, "mov,mp4,m4a,3gp,3g2,mj2") == 0;
}

bool readsAsMatroska(const AVFormatContext* input)
{
    return std::strcmp(input->iformat->name, "matroska,webm") == 0;
}

namespace {

// Whether the header said all a check needs: every stream's kind and format, the
// picture's size, the sound's rate and channels, and a length.
bool headerStatesEverything(const AVFormatContext* input)
{
    if ((input->ctx_flags & AVFMTCTX_NOHEADER) || input->nb_streams == 0)
        return false;
    bool length = input->duration > 0;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVCodecParameters* codec = input->streams[i]->codecpar;
        // A cover picture is no track: the header names its format only.
        if (input->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC)
            continue;
        if (codec->codec_id == AV_CODEC_ID_NONE)
            return false;
        if (codec->codec_type == AVMEDIA_TYPE_VIDEO && (codec->width <= 0 || codec->height <= 0))
            return false;
        if (codec->codec_type == AVMEDIA_TYPE_AUDIO && (codec->sample_rate <= 0 || codec->ch_layout.nb_channels <= 0))
            return false;
        length = length || (input->streams[i]->duration != AV_NOPTS_VALUE && input->streams[i]->duration > 0);
    }
    return length;
}

} // namespace

Outcome<InputFormat> openWrittenInput(const QString& path)
{
    Outcome<InputFormat> opened = openContainer(path, nullptr, nullptr, 0);
    if (!opened)
        return opened;
    // Only MP4's and Matroska's headers are trusted so: other containers' times (an
    // MPEG program stream's, an AVI's with packed B-frames) are made right by reading.
    const AVFormatContext* input = opened.value().get();
    const bool stated = readsAsMp4(input) || readsAsMatroska(input);
    if (stated && headerStatesEverything(input))
        return opened;
    return openInput(path);
}

Outcome<InputFormat> openInputLike(const QString& path, const AVFormatContext* like, const CancelToken* cancel,
                                   AVIOContext* through, int flags)
{
    Outcome<InputFormat> opened = openContainer(path, cancel, through, flags);
    if (!opened)
        return opened;
    AVFormatContext* input = opened.value().get();
    if (input->nb_streams != like->nb_streams || std::strcmp(input->iformat->name, like->iformat->name) != 0)
        return unreadableVideo(path, QCoreApplication::translate("FfmpegSupport", "it was changed while reading."));
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        AVStream* to = input->streams[i];
        const AVStream* from = like->streams[i];
        if (avcodec_parameters_copy(to->codecpar, from->codecpar) < 0)
            return unreadableVideo(path, QCoreApplication::translate("FfmpegSupport", "out of memory."));
        to->start_time = from->start_time;
        to->duration = from->duration;
        to->avg_frame_rate = from->avg_frame_rate;
        to->r_frame_rate = from->r_frame_rate;
    }
    input->start_time = like->start_time;
    input->duration = like->duration;
    input->bit_rate = like->bit_rate;
    return opened;
}

Outcome<InputFormat> openInput(const QString& path, const CancelToken* cancel, AVIOContext* through, int flags)
{
    auto unreadable = [&path](const QString& why) { return unreadableVideo(path, why); };
    Outcome<InputFormat> opened = openContainer(path, cancel, through, flags);
    if (!opened)
        return opened;
    InputFormat input = std::move(opened).value();
    int status = 0;
    // Reading the stream information decodes a few pictures: of bounded size only.
    std::vector<AVDictionary*> decoderOptions(input->nb_streams, nullptr);
    // One thread: each of a decoder's frame threads holds pictures of its own, and a
    // few pictures decode as fast without.
    for (AVDictionary*& options : decoderOptions) {
        av_dict_set_int(&options, "max_pixels", decoderPixelLimit(), 0);
        av_dict_set(&options, "threads", "1", 0);
    }
    status = avformat_find_stream_info(input.get(), decoderOptions.empty() ? nullptr : decoderOptions.data());
    for (AVDictionary*& options : decoderOptions)
        av_dict_free(&options);
    if (status < 0) {
        qCDebug(lcMedia) << "avformat_find_stream_info failed for" << path << ffmpegErrorText(status);
        return unreadable(ffmpegErrorText(status));
    }
    // An MPEG program stream (a DVD's or camcorder's .mpg) states the shown time of
    // some frames only; libavformat derives the others from the picture types, as
    // every player does.
    if (std::strcmp(input->iformat->name, "mpeg") == 0)
        input->flags |= AVFMT_FLAG_GENPTS;
    // The picture of an AVI with packed B-frames starts when its first frame is shown,
    // which libavformat takes for its first decode time.
    if (const int video = bestVideoStream(input.get()); video >= 0 && SourceReader::unpacks(input.get(), video)) {
        Packet packet(av_packet_alloc());
        SourceReader reader(input.get());
        while (packet && reader.read(packet.get()) >= 0 && packet->stream_index != video)
            av_packet_unref(packet.get());
        AVStream* stream = input->streams[video];
        if (packet && packet->stream_index == video && packet->pts != AV_NOPTS_VALUE) {
            const int64_t stated = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
            if (stream->duration != AV_NOPTS_VALUE && stream->duration > packet->pts - stated)
                stream->duration -= packet->pts - stated; // it ends where it said
            stream->start_time = packet->pts;
        }
        if (av_seek_frame(input.get(), video, 0, AVSEEK_FLAG_BACKWARD) < 0)
            return unreadable(QCoreApplication::translate("FfmpegSupport", "it cannot be read from its start again."));
    }
    return input;
}

namespace {

// The picture type of an MPEG-4 Part 2 frame (0 I, 1 P, 2 B, 3 S), -1 if it has none.
int mpeg4FrameType(const AVPacket* packet)
{
    for (int i = 0; i + 4 < packet->size; ++i) {
        const uint8_t* at = packet->data + i;
        if (at[0] == 0 && at[1] == 0 && at[2] == 1 && at[3] == 0xb6)
            return at[4] >> 6;
    }
    return -1;
}

} // namespace

SourceReader::SourceReader(AVFormatContext* format)
    : input(format)
{
    video = bestVideoStream(input);
    if (video < 0 || !unpacks(input, video))
        return;
    const AVBitStreamFilter* filter = av_bsf_get_by_name("mpeg4_unpack_bframes");
    if (!filter || av_bsf_alloc(filter, &unpacker) < 0)
        return;
    unpacker->time_base_in = input->streams[video]->time_base;
    if (avcodec_parameters_copy(unpacker->par_in, input->streams[video]->codecpar) < 0 || av_bsf_init(unpacker) < 0)
        av_bsf_free(&unpacker);
}

SourceReader::~SourceReader()
{
    av_bsf_free(&unpacker);
}

bool SourceReader::unpacks(const AVFormatContext* input, int stream)
{
    const AVCodecParameters* codec = input->streams[stream]->codecpar;
    return codec->codec_id == AV_CODEC_ID_MPEG4 && codec->video_delay > 0
        && (input->iformat->flags & AVFMT_NOTIMESTAMPS) == 0 && std::strcmp(input->iformat->name, "avi") == 0;
}

bool SourceReader::unpackedHeader(const AVCodecParameters* in, AVCodecParameters* out)
{
    const AVBitStreamFilter* filter = av_bsf_get_by_name("mpeg4_unpack_bframes");
    AVBSFContext* unpacker = nullptr;
    if (!filter || av_bsf_alloc(filter, &unpacker) < 0)
        return false;
    bool made = avcodec_parameters_copy(unpacker->par_in, in) >= 0 && av_bsf_init(unpacker) >= 0;
    const AVCodecParameters* unpacked = unpacker->par_out;
    if (made && unpacked->extradata_size > 0) {
        av_freep(&out->extradata);
        out->extradata_size = 0;
        out->extradata = static_cast<uint8_t*>(av_mallocz(size_t(unpacked->extradata_size) + AV_INPUT_BUFFER_PADDING_SIZE));
        made = out->extradata != nullptr;
        if (made) {
            std::memcpy(out->extradata, unpacked->extradata, size_t(unpacked->extradata_size));
            out->extradata_size = unpacked->extradata_size;
        }
    }
    av_bsf_free(&unpacker);
    return made;
}

int SourceReader::read(AVPacket* packet)
{
    while (ready.empty()) {
        if (const int filled = fill(); filled < 0)
            return filled;
    }
    av_packet_move_ref(packet, ready.front().get());
    ready.pop_front();
    return 0;
}

// Reads on until a packet is ready, or the end: packets of the unpacked stream wait
// for the next I- or P-frame, whose decode time is the shown time of the one before.
int SourceReader::fill()
{
    if (ended) {
        release(AV_NOPTS_VALUE);
        return ready.empty() ? status : 0;
    }
    Packet packet(av_packet_alloc());
    if (!packet)
        return AVERROR(ENOMEM);
    const int got = av_read_frame(input, packet.get());
    if (got < 0) {
        ended = true;
        status = got;
        if (!unpacker)
            return 0;
        av_bsf_send_packet(unpacker, nullptr);
    } else if (packet->stream_index != video || !unpacker) {
        const AVCodecParameters* codec = input->streams[packet->stream_index]->codecpar;
        if (packet->pts == AV_NOPTS_VALUE && packet->dts != AV_NOPTS_VALUE && codec->codec_type == AVMEDIA_TYPE_VIDEO
            && codec->video_delay == 0)
            packet->pts = packet->dts;
        ready.push_back(std::move(packet));
        return 0;
    } else if (const int sent = av_bsf_send_packet(unpacker, packet.get()); sent < 0) {
        return sent;
    }
    for (;;) {
        Packet unpacked(av_packet_alloc());
        if (!unpacked)
            return AVERROR(ENOMEM);
        const int received = av_bsf_receive_packet(unpacker, unpacked.get());
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            break;
        if (received < 0)
            return received;
        const int type = mpeg4FrameType(unpacked.get());
        if (type == 2) {
            unpacked->pts = unpacked->dts;
        } else if (type >= 0) {
            release(unpacked->dts);
        }
        pending.push_back(std::move(unpacked));
    }
    if (ended)
        release(AV_NOPTS_VALUE);
    return 0;
}

// The held I- or P-frame is shown at the given decode time (at the end of the stream:
// a frame after the last one decoded), and it and the B-frames after it are ready.
void SourceReader::release(int64_t nextAnchorDts)
{
    if (pending.empty())
        return;
    AVPacket* anchor = pending.front().get();
    if (mpeg4FrameType(anchor) == 2)
        nextAnchorDts = anchor->pts; // read from after a seek that landed on a B-frame
    else if (nextAnchorDts == AV_NOPTS_VALUE) {
        const AVPacket* last = pending.back().get();
        nextAnchorDts = last->dts + std::max<int64_t>(1, last->duration);
    }
    anchor->pts = nextAnchorDts;
    // The empty chunks an encoder's delay leaves in an AVI are gaps in decode times: the
    // frame before one is decoded just before the next, so frames decode at an even pace
    // (GStreamer drops pictures after a first frame that lasts longer).
    const int64_t step = std::max<int64_t>(1, anchor->duration);
    const int64_t next = pending.size() > 1 ? pending[1]->dts : nextAnchorDts;
    if (anchor->dts != AV_NOPTS_VALUE && next - anchor->dts > step)
        anchor->dts = std::min(anchor->pts, next - step);
    for (Packet& held : pending)
        ready.push_back(std::move(held));
    pending.clear();
}

void readOnlyStream(AVFormatContext* input, int stream)
{
    for (unsigned i = 0; i < input->nb_streams; ++i)
        input->streams[i]->discard = int(i) == stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
}

CodecContext openDecoder(const AVStream* stream, int threads, int& status)
{
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) {
        status = AVERROR_DECODER_NOT_FOUND;
        return nullptr;
    }
    CodecContext context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), stream->codecpar) < 0) {
        status = AVERROR(ENOMEM);
        return nullptr;
    }
    limitCodec(context.get(), threads);
    status = avcodec_open2(context.get(), codec, nullptr);
    return status < 0 ? nullptr : std::move(context);
}

bool seekToKeyBefore(AVFormatContext* input, int video, int64_t target, int64_t keyDts)
{
    const AVRational base = input->streams[video]->time_base;
    const int64_t second = std::max<int64_t>(1, av_rescale_q(AV_TIME_BASE, AV_TIME_BASE_Q, base));
    Packet packet(av_packet_alloc());
    for (int64_t back = 0; back <= 64 * second; back = back > 0 ? back * 2 : second) {
        if (av_seek_frame(input, video, target - back, AVSEEK_FLAG_BACKWARD) < 0)
            return false;
        std::optional<int64_t> landed;
        while (!landed && av_read_frame(input, packet.get()) >= 0) {
            if (packet->stream_index == video && (packet->flags & AV_PKT_FLAG_KEY))
                landed = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
            av_packet_unref(packet.get());
        }
        // The same seek lands in the same place again.
        if (landed && *landed <= keyDts)
            return av_seek_frame(input, video, target - back, AVSEEK_FLAG_BACKWARD) >= 0;
    }
    return false;
}

int bestVideoStream(const AVFormatContext* input)
{
    int best = -1;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || (stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            continue;
        if (stream->disposition & AV_DISPOSITION_DEFAULT)
            return int(i);
        if (best < 0)
            best = int(i);
    }
    return best;
}

void routeFfmpegLogging()
{
    av_log_set_callback([](void* object, int level, const char* format, va_list arguments) {
        if (level > av_log_get_level())
            return;
        // av_log_format_line keeps the prefix ("[h264 @ 0x...]") state between calls.
        static thread_local int printPrefix = 1;
        std::array<char, 1024> line{};
        av_log_format_line(object, level, format, arguments, line.data(), int(line.size()), &printPrefix);
        const QString text = QString::fromUtf8(line.data()).trimmed();
        if (text.isEmpty())
            return;
        if (level <= AV_LOG_ERROR)
            qCWarning(lcFfmpeg).noquote() << text;
        else
            qCDebug(lcFfmpeg).noquote() << text;
    });
}

QString oversizedPictureProblem(const AVCodecParameters* codec)
{
    const int64_t width = codec->width;
    const int64_t height = codec->height;
    if (width <= MAX_PICTURE_SIDE && height <= MAX_PICTURE_SIDE && width * height <= MAX_PICTURE_PIXELS)
        return {};
    return QCoreApplication::translate("FfmpegSupport", "its pictures are %1×%2; Trimora handles pictures up to "
                                                        "7680×4320 (8K)")
        .arg(width)
        .arg(height);
}

void limitCodec(AVCodecContext* codec, int threads)
{
    // Each frame thread holds pictures of its own, and more than a few gain little;
    // beyond 4K, one thread keeps an 8K picture's decoder within a few hundred megabytes.
    constexpr int MOST_THREADS = 4;
    constexpr int64_t UHD_PIXELS = int64_t(3840) * 2160;
    codec->max_pixels = decoderPixelLimit();
    codec->thread_count = int64_t(codec->width) * codec->height > UHD_PIXELS
        ? 1
        : std::clamp(std::min(threads, QThread::idealThreadCount()), 1, MOST_THREADS);
}
