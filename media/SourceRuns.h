#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <QString>

#include "FfmpegSupport.h"

// An MP4 clip's copied packets lie in its media data as they lie in the source: each
// stretch of packets that follows on in the source is one stretch of the clip (a run),
// which starts at the same offset within a 4 KiB block as in the source. The clip's
// file is written with these runs left out, and the kernel then moves them from the
// source: on btrfs and XFS the clip shares the source's disk blocks (a clone), elsewhere
// the bytes are copied inside the kernel, or, where it cannot, read and written. The
// clip's bytes are the same whichever way they came.

// The offset within a block that a run keeps: whatever the filesystem, a clip is laid
// out alike, and a filesystem with blocks of 4 KiB or less shares whole blocks.
constexpr int64_t RUN_ALIGNMENT = 4096;

struct SourceRun {
    int64_t clipOffset = 0;
    int64_t sourceOffset = 0;
    int64_t length = 0;
};

// How a clip's runs were moved, in bytes.
struct RunTally {
    int64_t shared = 0;        // cloned: the clip points at the source's blocks
    int64_t kernelCopied = 0;  // copied by the kernel (copy_file_range)
    int64_t copied = 0;        // read and written
};

class SourceRuns final {
public:
    // Packets are added in the order of their place in the clip; one that follows on
    // from the last in both files extends its run.
    void add(int64_t clipOffset, int64_t sourceOffset, int64_t length);
    const std::vector<SourceRun>& runs() const { return list; }
    void clear() { list.clear(); }
    // How many of the bytes from clipOffset on, up to length, lie outside any run
    // (0 when the first byte lies in one: then `skip` says how many to leave out).
    int64_t outside(int64_t clipOffset, int64_t length, int64_t* skip) const;

    // Moves every run from source into clip. 0, or an AVERROR (AVERROR_EXIT once the
    // source's reading is cancelled).
    int transfer(const class SourceFile& source, int clip, RunTally* tally) const;

private:
    std::vector<SourceRun> list;
};

// A packet whose data is the source file's own bytes at its position, untouched: the
// mark follows the packet through timing changes, and lapses when its data is replaced.
bool markSourceBytes(AVPacket* packet, int64_t position);
// The source position of a marked packet whose data is still its own.
std::optional<int64_t> sourceBytesOf(const AVPacket* packet);

// The source, read for a clip through a descriptor of its own, which the clip's runs
// are later moved from. Once `skimSamples` is called, reading the packets of the given
// streams does not read their data (what a packet holds is then undefined until `fill`):
// a clone needs only where they lie.
class SourceFile final {
public:
    SourceFile() = default;
    ~SourceFile();
    Q_DISABLE_COPY_MOVE(SourceFile)

    // The source, opened for reading; an AVERROR on failure. Once cancel is cancelled,
    // every read fails; it must outlive this object.
    int open(const QString& path, const CancelToken* cancel);
    int descriptor() const { return fd; }
    bool cancelled() const { return cancel && cancel->isCancelled(); }
    // A new reader for libavformat (one per opened input); null when out of memory.
    // It stays valid while this object lives.
    AVIOContext* reader();

    // Whether the clip's streams can be read without their data: every packet of an
    // MP4's picture or sound in these formats is its samples' bytes as the file holds
    // them, which the index states.
    static bool skimmable(const AVFormatContext* input, const std::vector<int>& streams);
    // From now on, the data of these streams' samples is not read. The samples' places
    // are taken from input's index.
    void skimSamples(const AVFormatContext* input, const std::vector<int>& streams);
    void readEverything() { samples.clear(); }
    bool skimming() const { return !samples.empty(); }
    // Whether the packet is a whole sample of the index, as it lies in the file.
    bool isSample(const AVPacket* packet) const;
    // Reads the packet's data, left out when it was read. False on a read error.
    bool fill(AVPacket* packet) const;
    // Bytes left unread so far.
    int64_t skimmed() const { return skippedBytes; }

    // The AVIOContext callbacks' state.
    struct Cursor {
        SourceFile* file = nullptr;
        int64_t position = 0;
    };

private:
    friend int readSourceFile(void* opaque, uint8_t* data, int length);
    bool insideSamples(int64_t offset, int64_t length) const;

    int fd = -1;
    int64_t fileSize = 0;
    const CancelToken* cancel = nullptr;
    std::vector<AVIOContext*> readers;
    std::vector<std::unique_ptr<Cursor>> cursors;
    // The samples' merged byte ranges, by start, and each sample by stream.
    std::vector<std::pair<int64_t, int64_t>> samples;
    std::vector<std::vector<std::pair<int64_t, int>>> sampleOf;
    int64_t skippedBytes = 0;
};
