#include "SourceRuns.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileNames.h"

namespace {

constexpr int READ_BUFFER_BYTES = 64 * 1024;
constexpr int64_t COPY_CHUNK_BYTES = 1024 * 1024;
// What the kernel copies at once, so that a cancel is heard within a moment.
constexpr int64_t KERNEL_CHUNK_BYTES = 64 * 1024 * 1024;

// A refusal that says this way of moving bytes is not available here, not that the
// disk failed.
bool unsupported(int error)
{
    return error == EOPNOTSUPP || error == EXDEV || error == EINVAL || error == ENOSYS || error == ENOTTY
        || error == EPERM || error == ETXTBSY || error == EBADF;
}

int readWhole(int fd, uint8_t* data, int64_t length, int64_t offset)
{
    int64_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd, data + done, size_t(length - done), offset + done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return AVERROR(errno);
        if (got == 0)
            return AVERROR(EIO); // the source is shorter than its index says
        done += got;
    }
    return 0;
}

int writeWhole(int fd, const uint8_t* data, int64_t length, int64_t offset)
{
    int64_t done = 0;
    while (done < length) {
        const ssize_t put = ::pwrite(fd, data + done, size_t(length - done), offset + done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return put < 0 ? AVERROR(errno) : AVERROR(EIO);
        done += put;
    }
    return 0;
}

// Copies length bytes, in the kernel while it can (`kernel` turns false where it
// cannot), else through a buffer.
int copyRange(const SourceFile& file, int64_t from, int clip, int64_t to, int64_t length, bool& kernel,
              RunTally* tally)
{
    const int source = file.descriptor();
    while (length > 0 && kernel) {
        if (file.cancelled())
            return AVERROR_EXIT;
        loff_t in = from;
        loff_t out = to;
        const ssize_t moved
            = ::copy_file_range(source, &in, clip, &out, size_t(std::min(length, KERNEL_CHUNK_BYTES)), 0);
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved < 0 && unsupported(errno)) {
            kernel = false;
            break;
        }
        if (moved < 0)
            return AVERROR(errno);
        if (moved == 0)
            return AVERROR(EIO);
        from += moved;
        to += moved;
        length -= moved;
        tally->kernelCopied += moved;
    }
    if (length <= 0)
        return 0;
    std::vector<uint8_t> buffer(size_t(std::min(length, COPY_CHUNK_BYTES)));
    while (length > 0) {
        if (file.cancelled())
            return AVERROR_EXIT;
        const int64_t step = std::min<int64_t>(length, int64_t(buffer.size()));
        if (const int status = readWhole(source, buffer.data(), step, from); status < 0)
            return status;
        if (const int status = writeWhole(clip, buffer.data(), step, to); status < 0)
            return status;
        from += step;
        to += step;
        length -= step;
        tally->copied += step;
    }
    return 0;
}

struct SourceBytesMark {
    int64_t position;
    const uint8_t* data;
    int size;
};

} // namespace

void SourceRuns::add(int64_t clipOffset, int64_t sourceOffset, int64_t length)
{
    if (length <= 0)
        return;
    if (!list.empty()) {
        SourceRun& last = list.back();
        if (last.clipOffset + last.length == clipOffset && last.sourceOffset + last.length == sourceOffset) {
            last.length += length;
            return;
        }
    }
    list.push_back({clipOffset, sourceOffset, length});
}

int64_t SourceRuns::outside(int64_t clipOffset, int64_t length, int64_t* skip) const
{
    *skip = 0;
    auto after = std::upper_bound(list.begin(), list.end(), clipOffset,
                                  [](int64_t offset, const SourceRun& run) { return offset < run.clipOffset; });
    if (after != list.begin()) {
        const SourceRun& run = *std::prev(after);
        if (clipOffset < run.clipOffset + run.length) {
            *skip = std::min(length, run.clipOffset + run.length - clipOffset);
            return 0;
        }
    }
    if (after == list.end())
        return length;
    return std::min(length, after->clipOffset - clipOffset);
}

int SourceRuns::transfer(const SourceFile& file, int clip, RunTally* tally) const
{
    const int source = file.descriptor();
    struct stat info {};
    const int64_t block
        = ::fstat(clip, &info) == 0 ? std::max<int64_t>(RUN_ALIGNMENT, info.st_blksize) : RUN_ALIGNMENT;
    bool clones = true;
    bool kernel = true;
    for (const SourceRun& run : list) {
        if (file.cancelled())
            return AVERROR_EXIT;
        const int64_t lead = (block - run.clipOffset % block) % block;
        const int64_t middle = run.length > lead ? (run.length - lead) / block * block : 0;
        if (clones && middle > 0 && (run.clipOffset - run.sourceOffset) % block == 0) {
            file_clone_range range{};
            range.src_fd = source;
            range.src_offset = uint64_t(run.sourceOffset + lead);
            range.src_length = uint64_t(middle);
            range.dest_offset = uint64_t(run.clipOffset + lead);
            if (::ioctl(clip, FICLONERANGE, &range) == 0) {
                tally->shared += middle;
                if (const int status = copyRange(file, run.sourceOffset, clip, run.clipOffset, lead, kernel, tally);
                    status < 0)
                    return status;
                const int64_t done = lead + middle;
                if (const int status = copyRange(file, run.sourceOffset + done, clip, run.clipOffset + done,
                                                 run.length - done, kernel, tally);
                    status < 0)
                    return status;
                continue;
            }
            if (!unsupported(errno))
                return AVERROR(errno);
            clones = false;
        }
        if (const int status
            = copyRange(file, run.sourceOffset, clip, run.clipOffset, run.length, kernel, tally);
            status < 0)
            return status;
    }
    return 0;
}

bool markSourceBytes(AVPacket* packet, int64_t position)
{
    AVBufferRef* mark = av_buffer_allocz(sizeof(SourceBytesMark));
    if (!mark)
        return false;
    const SourceBytesMark stated{position, packet->data, packet->size};
    std::memcpy(mark->data, &stated, sizeof stated);
    av_buffer_unref(&packet->opaque_ref);
    packet->opaque_ref = mark;
    return true;
}

std::optional<int64_t> sourceBytesOf(const AVPacket* packet)
{
    if (!packet->opaque_ref || packet->opaque_ref->size != int(sizeof(SourceBytesMark)))
        return std::nullopt;
    SourceBytesMark stated{};
    std::memcpy(&stated, packet->opaque_ref->data, sizeof stated);
    if (stated.data != packet->data || stated.size != packet->size)
        return std::nullopt;
    return stated.position;
}

int readSourceFile(void* opaque, uint8_t* data, int length)
{
    auto* cursor = static_cast<SourceFile::Cursor*>(opaque);
    SourceFile& file = *cursor->file;
    if (file.cancel && file.cancel->isCancelled())
        return AVERROR_EXIT;
    if (file.skimming() && cursor->position < file.fileSize) {
        const int64_t span = std::min<int64_t>(length, file.fileSize - cursor->position);
        if (file.insideSamples(cursor->position, span)) {
            cursor->position += span;
            file.skippedBytes += span;
            return int(span);
        }
    }
    for (;;) {
        const ssize_t got = ::pread(file.fd, data, size_t(length), cursor->position);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return AVERROR(errno);
        if (got == 0)
            return AVERROR_EOF;
        cursor->position += got;
        return int(got);
    }
}

namespace {

int64_t seekSourceFile(void* opaque, int64_t offset, int whence)
{
    auto* cursor = static_cast<SourceFile::Cursor*>(opaque);
    const int64_t to = seekTarget(offset, whence, cursor->position, [cursor] {
        struct stat info {};
        return ::fstat(cursor->file->descriptor(), &info) == 0 ? int64_t(info.st_size) : int64_t(-1);
    });
    if (to >= 0 && (whence & ~AVSEEK_FORCE) != AVSEEK_SIZE)
        cursor->position = to;
    return to;
}

} // namespace

SourceFile::~SourceFile()
{
    for (AVIOContext*& context : readers) {
        av_freep(&context->buffer);
        avio_context_free(&context);
    }
    if (fd >= 0)
        ::close(fd);
}

int SourceFile::open(const QString& path, const CancelToken* cancelled)
{
    cancel = cancelled;
    fd = ::open(fileNameBytes(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return AVERROR(errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return AVERROR(errno);
    fileSize = info.st_size;
    return 0;
}

AVIOContext* SourceFile::reader()
{
    auto* buffer = static_cast<unsigned char*>(av_malloc(READ_BUFFER_BYTES));
    if (!buffer)
        return nullptr;
    cursors.push_back(std::make_unique<Cursor>(Cursor{this, 0}));
    AVIOContext* context
        = avio_alloc_context(buffer, READ_BUFFER_BYTES, 0, cursors.back().get(), &readSourceFile, nullptr, &seekSourceFile);
    if (!context) {
        av_free(buffer);
        return nullptr;
    }
    readers.push_back(context);
    return context;
}

bool SourceFile::skimmable(const AVFormatContext* input, const std::vector<int>& streams)
{
    if (!readsAsMp4(input))
        return false;
    // Formats whose packets the demuxer hands out as the file holds them, with no parser
    // between that could join or split them.
    static constexpr AVCodecID WHOLE[] = {
        AV_CODEC_ID_H264, AV_CODEC_ID_HEVC, AV_CODEC_ID_AV1, AV_CODEC_ID_VP9, AV_CODEC_ID_MPEG4, AV_CODEC_ID_PRORES,
        AV_CODEC_ID_AAC, AV_CODEC_ID_ALAC, AV_CODEC_ID_OPUS, AV_CODEC_ID_FLAC, AV_CODEC_ID_PCM_S16LE,
        AV_CODEC_ID_PCM_S16BE, AV_CODEC_ID_PCM_S24LE, AV_CODEC_ID_PCM_S24BE,
    };
    // Not subtitles: the MP4 writer ends a subtitle track's last line when another
    // track's packet comes later than it, so they go in in time order, not the file's.
    return std::all_of(streams.begin(), streams.end(), [input](int index) {
        const AVStream* stream = input->streams[index];
        return std::find(std::begin(WHOLE), std::end(WHOLE), stream->codecpar->codec_id) != std::end(WHOLE)
            && avformat_index_get_entries_count(stream) > 0;
    });
}

void SourceFile::skimSamples(const AVFormatContext* input, const std::vector<int>& streams)
{
    samples.clear();
    sampleOf.assign(input->nb_streams, {});
    for (int index : streams) {
        AVStream* stream = input->streams[index];
        const int count = avformat_index_get_entries_count(stream);
        for (int i = 0; i < count; ++i) {
            const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
            if (entry->size <= 0 || entry->pos < 0)
                continue;
            samples.emplace_back(entry->pos, entry->pos + entry->size);
            sampleOf[size_t(index)].emplace_back(entry->pos, entry->size);
        }
        std::sort(sampleOf[size_t(index)].begin(), sampleOf[size_t(index)].end());
    }
    std::sort(samples.begin(), samples.end());
    std::vector<std::pair<int64_t, int64_t>> merged;
    for (const auto& range : samples) {
        if (!merged.empty() && range.first <= merged.back().second)
            merged.back().second = std::max(merged.back().second, range.second);
        else
            merged.push_back(range);
    }
    samples = std::move(merged);
}

bool SourceFile::insideSamples(int64_t offset, int64_t length) const
{
    auto after = std::upper_bound(samples.begin(), samples.end(), offset,
                                  [](int64_t at, const auto& range) { return at < range.first; });
    if (after == samples.begin())
        return false;
    const auto& range = *std::prev(after);
    return offset >= range.first && offset + length <= range.second;
}

bool SourceFile::isSample(const AVPacket* packet) const
{
    const auto index = size_t(packet->stream_index);
    if (packet->pos < 0 || index >= sampleOf.size())
        return false;
    const auto& list = sampleOf[index];
    return std::binary_search(list.begin(), list.end(), std::pair<int64_t, int>(packet->pos, packet->size));
}

bool SourceFile::fill(AVPacket* packet) const
{
    if (!skimming())
        return true;
    if (av_packet_make_writable(packet) < 0)
        return false;
    return readWhole(fd, packet->data, packet->size, packet->pos) == 0;
}
