#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include <QByteArray>
#include <QString>

#include "CutProblem.h"
#include "FfmpegSupport.h"
#include "Outcome.h"
#include "SourceRuns.h"

// What a clip's file is written as: the source's own container where we can write
// it (MP4, M4V, MOV, Matroska, WebM), MP4 for any other.
struct Container {
    QString muxer;
    QString extension;

    bool isMp4Family() const;
};
Container chooseContainer(const AVFormatContext* input, const QString& path);

// What a copied stream is to the clip: its main picture, another angle, sound or text.
enum class Role { Picture, OtherPicture, Sound, Text };

struct StreamChoice {
    int input = -1;
    Role role = Role::Sound;
};

// The source's streams whose packets go into the clip, the main picture among them. The
// container takes only what it can carry; data and subtitle tracks it cannot hold stay
// behind, and a picture or sound it cannot hold is named in the error. Cover pictures
// and attachments are keepsakes, below.
Outcome<std::vector<StreamChoice>> chooseStreams(const AVFormatContext* input, const Container& container,
                                                 const CutProblem& problem);

// What the source carries along beside its tracks, which its clips carry too: a
// Matroska file's attachments (the fonts its subtitles are drawn with) into Matroska
// clips, an MP4's cover picture into MP4-family clips. The source's streams.
std::vector<int> keepsakes(const AVFormatContext* input, const Container& container);
bool isCoverPicture(const AVStream* stream);

// Room for an MP4's movie box at the front of a clip `seconds` long, so that the
// muxer never has to rewrite the file to move it there.
int64_t movieReserve(const AVFormatContext* input, const std::vector<StreamChoice>& streams, double seconds);

// The clip's file as libavformat writes it, through the descriptor it was given.
class ClipMuxer final {
public:
    // Empties the file behind descriptor and sets up the container's writer. Given the
    // source's descriptor, an MP4's packets marked as the source's bytes are laid out in
    // the source's order and moved in by the kernel (see SourceRuns).
    static Outcome<std::unique_ptr<ClipMuxer>> open(int descriptor, const Container& container,
                                                    const CutProblem& problem, const SourceFile* runsFrom = nullptr);
    ~ClipMuxer();
    Q_DISABLE_COPY_MOVE(ClipMuxer)

    // The source's metadata, with what describes the old file dropped and the times
    // moved to the clip's start, `clipStart` seconds into the source.
    void copyFileMetadata(const AVDictionary* from, double clipStart, AVRational frameRate);
    // The source's chapters that the clip's stretch of it touches, on the clip's
    // timeline (`origin`, the clip's time 0, and `end` in `base`; the end may be
    // INT64_MAX), cut to the clip; only into Matroska, whose readers list them.
    Outcome<void> copyChapters(const AVFormatContext* from, int64_t origin, int64_t end, AVRational base);
    // A stream of the clip, described as `from` is.
    Outcome<AVStream*> addStream(const AVStream* from, double clipStart, AVRational frameRate);
    // The sample description of an H.264 stream, extended with the parameter sets of
    // the frames we encode (start-code framed).
    Outcome<void> addH264Headers(AVStream* stream, const QByteArray& encoderHeaders);

    // The file's header; for MP4, with `moovReserve` bytes kept for the movie box.
    // `sourceMetadata`: Apple's keys in it are written as such.
    Outcome<void> writeHeader(const AVDictionary* sourceMetadata, AVRational videoBase, int64_t moovReserve);
    // One packet, already on the clip's timeline and in its stream's time base. The
    // muxer takes the packet's data; the packet itself stays the caller's.
    Outcome<void> write(AVPacket* packet);
    // A cover picture, into the stream added for it, before any other packet.
    Outcome<void> writeCover(const AVPacket* picture, const AVStream* stream);

    enum class Ending { Finished, NeedsMoreRoom, WithoutRuns };
    // The trailer (the movie box), and everything written out; NeedsMoreRoom when the
    // movie box did not fit the room kept for it, WithoutRuns when the writer did not
    // store a packet's bytes as they were given (the clip is then written again the
    // ordinary way).
    Outcome<Ending> finish();
    bool runsFailed() const { return runsBroken; }
    const RunTally& moved() const { return tally; }

private:
    ClipMuxer(const CutProblem& problem);

    // A packet of the source's bytes, waiting for its place in source order.
    struct Waiting {
        int64_t position;
        uint64_t order;
        Packet packet; // its times and notes; no data
        bool operator<(const Waiting& other) const
        {
            return position != other.position ? position < other.position : order < other.order;
        }
    };
    Outcome<void> queue(AVPacket* packet, int64_t position);
    Outcome<void> writeWaiting();
    Outcome<void> drain(int stream);
    Outcome<void> pad(int64_t bytes);
    Outcome<void> finishRuns();
    int setMediaDataSize() const;
    Outcome<void> layoutFailed();

    int descriptor = -1;
    const SourceFile* source = nullptr; // with runs: the source they are moved from
    SourceRuns runs;
    RunTally tally;
    bool runsBroken = false;
    std::set<Waiting> waiting; // in source order
    std::vector<int> waitingOf;          // per stream
    std::vector<int64_t> lastWaitingAt;  // per stream: the position of its last queued packet
    uint64_t arrivals = 0;
    int64_t clipEnd = -1;   // where the last run ends, in the clip
    int64_t sourceEnd = -1; // and in the source
    int64_t mediaStart = 0; // the first byte of the media data
    int64_t padded = 0;     // bytes written before runs, which the writer does not count
    AVBufferRef* standIn = nullptr; // zeros, written in place of a run's packet

    OutputFormat output;
    CutProblem problem;
    bool mp4 = false;
    int64_t reserve = 0;
    int64_t reserveStart = -1; // where the movie box goes
};
