#pragma once

#include <deque>
#include <functional>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <QString>

#include "CancelToken.h"
#include "Outcome.h"

// Owners for the FFmpeg objects we use, each freed by its own function.

struct InputFormatCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using InputFormat = std::unique_ptr<AVFormatContext, InputFormatCloser>;

// A writer over a file descriptor the caller owns, for muxers: the file is written,
// truncated and sought through the descriptor, and never opened again by its name (a
// name a stop may have removed meanwhile). Null when out of memory. The file is emptied
// first.
// Where an AVIOContext seek callback goes from position (whence as libavformat gives
// it; size() asked for only where needed): the offset, the size for AVSEEK_SIZE, or
// AVERROR(EINVAL).
int64_t seekTarget(int64_t offset, int whence, int64_t position, const std::function<int64_t()>& size);

// With runs: their bytes are left out, for the kernel to move in later.
class SourceRuns;
AVIOContext* openDescriptorWriter(int descriptor, const SourceRuns* runs = nullptr);
// Writes out what is buffered and frees the writer (null after): 0, or the first write
// error.
int closeDescriptorWriter(AVIOContext** writer);

struct OutputFormatCloser {
    void operator()(AVFormatContext* context) const
    {
        if (context && context->pb && (context->flags & AVFMT_FLAG_CUSTOM_IO))
            closeDescriptorWriter(&context->pb);
        else if (context && context->pb && !(context->oformat->flags & AVFMT_NOFILE))
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
};
using OutputFormat = std::unique_ptr<AVFormatContext, OutputFormatCloser>;

struct DictionaryFreer {
    void operator()(AVDictionary* dictionary) const { av_dict_free(&dictionary); }
};
using Dictionary = std::unique_ptr<AVDictionary, DictionaryFreer>;

struct CodecContextFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
using CodecContext = std::unique_ptr<AVCodecContext, CodecContextFreer>;

struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using Frame = std::unique_ptr<AVFrame, FrameFreer>;

struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using Packet = std::unique_ptr<AVPacket, PacketFreer>;

// av_strerror in words; the av_err2str macro does not compile as C++.
QString ffmpegErrorText(int error);

// The name of a file as a user would recognise it in a message.
QString displayName(const QString& path);

// Whether path names a regular file (following links), without opening it: a pipe,
// a device or a socket is refused with a message that says what it is.
Outcome<void> checkRegularFile(const QString& path);

// Opens a regular media file for reading and reads its stream information, or says why not.
// The error is complete ("Could not read video 'x.mp4': ...").
// Once cancel, when given, is cancelled, every read through the input fails at once;
// it must outlive the input.
// With `through`, the file is read through it (the caller's, which outlives the input).
// `flags` are added to the input's (AVFMT_FLAG_*).
Outcome<InputFormat> openInput(
    const QString& path, const CancelToken* cancel = nullptr, AVIOContext* through = nullptr, int flags = 0);
// Whether libavformat reads the file as an MP4 (MP4, MOV, M4V, 3GP): its header names
// every stream, and its index every sample.
bool readsAsMp4(const AVFormatContext* input);
// Whether libavformat reads the file as Matroska or WebM.
bool readsAsMatroska(const AVFormatContext* input);

// A file this program has just written, opened to be checked: where its container's
// header states every stream fully (MP4, Matroska), the stream information is taken
// from there rather than read (which decodes pictures); elsewhere as openInput.
Outcome<InputFormat> openWrittenInput(const QString& path);
// The same file as `like`, opened again: its stream information is taken from there
// rather than read again (which decodes pictures). For a container whose packets carry
// their times (MP4), read as stored.
Outcome<InputFormat> openInputLike(const QString& path, const AVFormatContext* like, const CancelToken* cancel,
                                   AVIOContext* through, int flags);

// The stream a player would show: the default video stream, else the first, never a
// cover picture. -1 when there is none.
int bestVideoStream(const AVFormatContext* input);

// Has the demuxer read one stream only (none for -1), skipping the others' packets.
void readOnlyStream(AVFormatContext* input, int stream);

// A decoder for a stream, open, with at most `threads` threads; null when it cannot be
// had, with status AVERROR_DECODER_NOT_FOUND, AVERROR(ENOMEM) or avcodec_open2's error.
CodecContext openDecoder(const AVStream* stream, int threads, int& status);

// Seeks so that reading from there meets a keyframe of stream `video` decoded no later
// than keyDts before any other of its frames, starting from `target` (both in that
// stream's time base). Seeks in a file without an index (MPEG-TS) may land after the
// keyframe before the target; they are tried again further back. False when no seek
// lands early enough: the caller reads from the top.
bool seekToKeyBefore(AVFormatContext* input, int video, int64_t target, int64_t keyDts);

// Reads a file's packets in decode order (av_read_frame), with shown times where the
// container gives only decode times (AVI) but the frames' order can be known: a stream
// that never reorders its pictures shows each as it is decoded; MPEG-4 Part 2 with
// B-frames (Xvid, DivX) has its packed B-frames unpacked, one frame a packet, and each
// I- or P-frame is shown as the next one is decoded, as every decoder shows it. Make
// one after each seek: it holds the frames since the last I- or P-frame.
class SourceReader final {
public:
    explicit SourceReader(AVFormatContext* input);
    ~SourceReader();
    Q_DISABLE_COPY_MOVE(SourceReader)

    // av_read_frame's result: 0, AVERROR_EOF once everything is read, or an error.
    int read(AVPacket* packet);

    // Whether the video stream's packed frames are unpacked here; its clips then carry
    // the stream header that says so (unpackedHeader).
    static bool unpacks(const AVFormatContext* input, int stream);
    // Puts the stream header of in's unpacked frames into out. False if out of memory.
    static bool unpackedHeader(const AVCodecParameters* in, AVCodecParameters* out);

private:
    int fill();
    void release(int64_t nextAnchorDts);

    AVFormatContext* input;
    int video = -1;
    struct AVBSFContext* unpacker = nullptr;
    std::deque<Packet> ready;   // in decode order, with shown times
    std::deque<Packet> pending; // the last I- or P-frame and the B-frames after it
    bool ended = false;
    int status = 0;
};

// The largest pictures Trimora reads: 8K, 7680×4320 pixels in all, with no side longer
// than 8192. A decoder's memory and time grow with the picture, and a file of a few
// kilobytes can declare one of gigabytes.
constexpr int MAX_PICTURE_SIDE = 8192;
constexpr int64_t MAX_PICTURE_PIXELS = int64_t(7680) * 4320;

// Why a video stream's pictures are too large for Trimora, in a user's words ("its
// pictures are 16384×8192; Trimora handles pictures up to 7680×4320 (8K)"); empty when
// they are not.
QString oversizedPictureProblem(const AVCodecParameters* codec);

// Holds a decoder or an encoder, before it is opened, to pictures of the size Trimora
// reads (a stream that grows its pictures part way fails to decode instead) and to at
// most `threads` threads, never more than a few.
void limitCodec(AVCodecContext* codec, int threads);
