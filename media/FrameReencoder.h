#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>

#include "CutProblem.h"
#include "FfmpegSupport.h"
#include "Outcome.h"

// The bytes and seconds of the source's frames that encoded ones replace; where the
// bytes are not known (0), the encoder aims at a fixed quality instead.
struct EncodingBudget {
    int64_t bytes = 0;
    double seconds = 0.0;
};

// Decodes a run of a video stream's packets and encodes again the frames whose shown
// times fall in a range, with the stream's own codec and picture description (size,
// sample aspect, pixel format, colours, field order, frame times), so that the new
// frames and the source's copied ones play as one track. The encoded packets come out
// framed as the source's are (NAL length prefixes for H.264 and HEVC, without
// parameter sets; those are in headers()). Encoding starts with a keyframe and uses
// no reordering, so each packet's decode time may equal its shown time.
class FrameReencoder final {
public:
    // Whether we can encode frames to match this copied stream: its codec, and for
    // H.264 and HEVC a framing our frames can join: 4-byte length prefixes with a
    // configuration record (as MP4 and Matroska store them) or start codes (MPEG-TS,
    // as camcorders record it).
    static bool supports(const AVCodecParameters* stream);
    // The stream's own parameter sets (H.264 SPS and PPS, HEVC VPS, SPS and PPS).
    static std::vector<QByteArray> parameterSets(const AVCodecParameters* codec);
    // How an H.264 or HEVC stream's packets frame their NAL units: the length prefix's
    // size (1 to 4 bytes), 0 for start codes, nothing for a record that cannot be read.
    static std::optional<int> unitFraming(const AVCodecParameters* stream);

    // Whether a keyframe of the stream decodes to a picture on its own: a clip that
    // starts by copying it would otherwise start with nothing to show.
    static bool decodesAlone(const AVStream* stream, const AVPacket* keyframe);

    // parameterSetId: for H.264, the SPS/PPS id the new frames use, so that their
    // parameter sets can sit beside the source's in one sample description.
    // budget: what H.264 and HEVC encoders aim at.
    static Outcome<std::unique_ptr<FrameReencoder>> open(const AVStream* source, int parameterSetId,
                                                         const QString& sourceName, EncodingBudget budget = {});
    ~FrameReencoder();
    Q_DISABLE_COPY_MOVE(FrameReencoder)

    // The encoder's parameter sets, start-code framed (empty for VP8 and VP9).
    QByteArray headers() const;

    // Frames shown in [from, until) (the source stream's time base) are encoded.
    void setRange(int64_t from, int64_t until);
    // Feeds one source packet in decode order.
    Outcome<void> decode(const AVPacket* packet);
    // Drains the decoder and the encoder: after it, output() holds every packet.
    Outcome<void> finish();

    // Encoded packets, in decode order, with shown times in the source's time base.
    std::deque<Packet>& output() { return encoded; }
    int framesEncoded() const { return encodedCount; }

private:
    FrameReencoder() = default;
    static bool sameStreamHeader(const AVCodecParameters* stream);
    static std::optional<int> sourceQuantiser(const AVFrame* picture);
    Outcome<void> encode(AVFrame* frame);
    Outcome<void> drainEncoder();
    Packet reframe(Packet packet) const;
    static QString unencodable();

    CodecContext decoder;
    CodecContext encoder;
    Frame frame{av_frame_alloc()};
    AVCodecID codec = AV_CODEC_ID_NONE;
    // The source's time base, in which frames come in and packets go out; the encoder's
    // own may differ (MPEG-2 counts in frames).
    AVRational sourceBase{1, 1};
    int lengthSize = 4; // 0: start codes
    // MPEG-4 Part 2: whether the source's frames are never reordered. Our frames say the
    // same, though they never are, so a decoder keeps one output delay across the join.
    bool lowDelay = true;
    int64_t from = 0;
    int64_t until = 0;
    int encodedCount = 0;
    bool started = false;
    CutProblem problem{QString()};
    std::deque<Packet> encoded;
    std::deque<int64_t> shownTimes; // of the frames sent to the encoder and not yet out of it
};
