#include "Mp4Boxes.h"

#include <algorithm>
#include <optional>
#include <vector>

#include <QFile>

namespace {

constexpr std::uint32_t fourcc(const char (&name)[5])
{
    return std::uint32_t(std::uint8_t(name[0])) << 24 | std::uint32_t(std::uint8_t(name[1])) << 16
        | std::uint32_t(std::uint8_t(name[2])) << 8 | std::uint32_t(std::uint8_t(name[3]));
}

struct Box {
    std::uint32_t type = 0;
    qsizetype start = 0;   // of the header
    qsizetype payload = 0; // after the header
    qsizetype end = 0;
};

// Big-endian access to a buffer, every read and write checked against its bounds.
class Bytes {
public:
    explicit Bytes(QByteArray& data)
        : buffer(data)
    {
    }

    std::optional<std::uint64_t> read(qsizetype offset, int width) const
    {
        if (offset < 0 || width <= 0 || offset > buffer.size() - width)
            return std::nullopt;
        std::uint64_t value = 0;
        for (int i = 0; i < width; ++i)
            value = value << 8 | std::uint8_t(buffer[offset + i]);
        return value;
    }

    bool write(qsizetype offset, int width, std::uint64_t value)
    {
        if (offset < 0 || width <= 0 || offset > buffer.size() - width)
            return false;
        for (int i = width - 1; i >= 0; --i) {
            buffer[offset + i] = char(value & 0xff);
            value >>= 8;
        }
        return true;
    }

    // The same, but only inside a box's payload: a field that would run past the end
    // of its box is refused, never read from (or written into) the box after it.
    std::optional<std::uint64_t> readIn(const Box& box, qsizetype offset, int width) const
    {
        if (offset < box.payload || offset > box.end - width)
            return std::nullopt;
        return read(offset, width);
    }

    bool writeIn(const Box& box, qsizetype offset, int width, std::uint64_t value)
    {
        if (offset < box.payload || offset > box.end - width)
            return false;
        return write(offset, width, value);
    }

    // The boxes laid end to end in [from, to); stops at the first malformed one.
    std::vector<Box> children(qsizetype from, qsizetype to) const
    {
        std::vector<Box> boxes;
        qsizetype at = from;
        while (to - at >= 8) {
            std::uint64_t size = *read(at, 4);
            const auto type = std::uint32_t(*read(at + 4, 4));
            qsizetype header = 8;
            if (size == 1) {
                const std::optional<std::uint64_t> large = read(at + 8, 8);
                if (!large)
                    break;
                size = *large;
                header = 16;
            } else if (size == 0) {
                size = std::uint64_t(to - at);
            }
            if (size < std::uint64_t(header) || size > std::uint64_t(to - at))
                break;
            boxes.push_back({type, at, at + header, at + qsizetype(size)});
            at += qsizetype(size);
        }
        return boxes;
    }

    std::optional<Box> child(const Box& parent, std::uint32_t type) const
    {
        for (const Box& box : children(parent.payload, parent.end)) {
            if (box.type == type)
                return box;
        }
        return std::nullopt;
    }

private:
    QByteArray& buffer;
};

// A duration field inside a box, and the box it must stay within.
struct BoundField {
    Box box;
    qsizetype offset = 0;
    int width = 4;
};

// Offsets inside the full boxes we touch (version 1 has 64-bit times and durations).
std::optional<BoundField> movieDurationField(const Bytes& bytes, const Box& mvhd, std::uint32_t* timescale)
{
    const std::optional<std::uint64_t> version = bytes.readIn(mvhd, mvhd.payload, 1);
    if (!version || *version > 1)
        return std::nullopt;
    const qsizetype scale = mvhd.payload + (*version == 1 ? 20 : 12);
    const std::optional<std::uint64_t> value = bytes.readIn(mvhd, scale, 4);
    if (!value || *value == 0)
        return std::nullopt;
    const BoundField field{mvhd, scale + 4, *version == 1 ? 8 : 4};
    if (!bytes.readIn(mvhd, field.offset, field.width))
        return std::nullopt;
    *timescale = std::uint32_t(*value);
    return field;
}

std::optional<BoundField> trackDurationField(const Bytes& bytes, const Box& tkhd)
{
    const std::optional<std::uint64_t> version = bytes.readIn(tkhd, tkhd.payload, 1);
    if (!version || *version > 1)
        return std::nullopt;
    const BoundField field{tkhd, tkhd.payload + (*version == 1 ? 28 : 20), *version == 1 ? 8 : 4};
    if (!bytes.readIn(tkhd, field.offset, field.width))
        return std::nullopt;
    return field;
}

// Products of a 64-bit length and a 32-bit time scale need more than 64 bits.
__extension__ typedef __int128 Wide;

std::uint64_t clipTicks(ClipLength length, std::uint32_t timescale)
{
    // Rounded down: a frame that starts exactly at the end must stay hidden.
    const Wide ticks = Wide(length.numerator) * timescale / length.denominator;
    return ticks < 0 ? 0 : std::uint64_t(std::min<Wide>(ticks, Wide(INT64_MAX)));
}

} // namespace

bool trimMovieBox(QByteArray& moovBuffer, ClipLength length, QString* error)
{
    auto fail = [error](const char* why) {
        if (error)
            *error = QString::fromLatin1(why);
        return false;
    };
    if (length.denominator <= 0 || length.numerator < 0)
        return fail("the clip length is not valid");

    // Work on a copy so that a box we give up on half way leaves the file as it was.
    QByteArray patched = moovBuffer;
    Bytes bytes(patched);
    const std::vector<Box> top = bytes.children(0, patched.size());
    if (top.size() != 1 || top.front().type != fourcc("moov") || top.front().end != patched.size())
        return fail("no movie box");
    const Box& moov = top.front();

    const std::optional<Box> mvhd = bytes.child(moov, fourcc("mvhd"));
    if (!mvhd)
        return fail("no movie header");
    std::uint32_t movieTimescale = 0;
    const std::optional<BoundField> movieDuration = movieDurationField(bytes, *mvhd, &movieTimescale);
    if (!movieDuration)
        return fail("unknown or truncated movie header");
    const std::uint64_t want = clipTicks(length, movieTimescale);

    std::uint64_t longest = 0;
    for (const Box& trak : bytes.children(moov.payload, moov.end)) {
        if (trak.type != fourcc("trak"))
            continue;
        const std::optional<Box> tkhd = bytes.child(trak, fourcc("tkhd"));
        if (!tkhd)
            return fail("a track has no header");
        const std::optional<BoundField> trackDuration = trackDurationField(bytes, *tkhd);
        if (!trackDuration)
            return fail("unknown or truncated track header");
        const std::uint64_t oldDuration = *bytes.readIn(trackDuration->box, trackDuration->offset, trackDuration->width);
        std::uint64_t newDuration = std::min(oldDuration, want);

        bool isVideo = false;
        if (const std::optional<Box> mdia = bytes.child(trak, fourcc("mdia"))) {
            if (const std::optional<Box> hdlr = bytes.child(*mdia, fourcc("hdlr")))
                isVideo = bytes.readIn(*hdlr, hdlr->payload + 8, 4) == fourcc("vide");
        }

        const std::optional<Box> edts = bytes.child(trak, fourcc("edts"));
        const std::optional<Box> elst = edts ? bytes.child(*edts, fourcc("elst")) : std::nullopt;
        if (elst) {
            const std::optional<std::uint64_t> version = bytes.readIn(*elst, elst->payload, 1);
            const std::optional<std::uint64_t> count = bytes.readIn(*elst, elst->payload + 4, 4);
            if (!version || *version > 1 || !count)
                return fail("unknown or truncated edit list");
            const int width = *version == 1 ? 8 : 4;
            const qsizetype entrySize = *version == 1 ? 20 : 12;
            if (qsizetype(*count) > (elst->end - elst->payload - 8) / entrySize)
                return fail("edit list longer than its box");
            std::uint64_t total = 0;
            for (qsizetype i = 0; i < qsizetype(*count); ++i) {
                const qsizetype entry = elst->payload + 8 + i * entrySize;
                const std::optional<std::uint64_t> segment = bytes.readIn(*elst, entry, width);
                const std::optional<std::uint64_t> media = bytes.readIn(*elst, entry + width, width);
                if (!segment || !media)
                    return fail("edit list longer than its box");
                std::int64_t mediaTime = std::int64_t(*media);
                if (width == 4)
                    mediaTime = std::int32_t(mediaTime);
                const bool emptyEdit = mediaTime == -1;
                const std::uint64_t room = want > total ? want - total : 0;
                // The video's last edit gets exactly the time that is left: the muxer's
                // own length is too long when frames after the end were copied as
                // references. Other tracks are only ever shortened.
                const bool last = i + 1 == qsizetype(*count);
                std::uint64_t editLength = (isVideo && !emptyEdit && last) ? room : std::min(*segment, room);
                if (width == 4)
                    editLength = std::min<std::uint64_t>(editLength, UINT32_MAX);
                bytes.writeIn(*elst, entry, width, editLength);
                total += editLength;
            }
            newDuration = total;
        }
        if (trackDuration->width == 4)
            newDuration = std::min<std::uint64_t>(newDuration, UINT32_MAX);
        bytes.writeIn(trackDuration->box, trackDuration->offset, trackDuration->width, newDuration);
        longest = std::max(longest, newDuration);
    }
    if (movieDuration->width == 4)
        longest = std::min<std::uint64_t>(longest, UINT32_MAX);
    bytes.writeIn(movieDuration->box, movieDuration->offset, movieDuration->width, longest);
    moovBuffer = patched;
    return true;
}

bool trimMovieFile(const QString& path, ClipLength length, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    // Walk the top-level boxes by their headers only; mdat may be gigabytes.
    qint64 at = 0;
    const qint64 size = file.size();
    while (size - at >= 8) {
        file.seek(at);
        QByteArray header = file.read(16);
        if (header.size() < 8)
            break;
        Bytes bytes(header);
        std::uint64_t boxSize = *bytes.read(0, 4);
        const auto type = std::uint32_t(*bytes.read(4, 4));
        if (boxSize == 1) {
            const std::optional<std::uint64_t> large = bytes.read(8, 8);
            if (!large)
                break;
            boxSize = *large;
        } else if (boxSize == 0) {
            boxSize = std::uint64_t(size - at);
        }
        if (boxSize < 8 || boxSize > std::uint64_t(size - at))
            break;
        if (type == fourcc("moov")) {
            // A movie box is a few megabytes at most; refuse anything absurd.
            if (boxSize > (256u << 20)) {
                if (error)
                    *error = QStringLiteral("movie box too large");
                return false;
            }
            file.seek(at);
            QByteArray moov = file.read(qint64(boxSize));
            if (moov.size() != qsizetype(boxSize) || !trimMovieBox(moov, length, error))
                return false;
            file.seek(at);
            if (file.write(moov) != moov.size() || !file.flush()) {
                if (error)
                    *error = file.errorString();
                return false;
            }
            return true;
        }
        at += qint64(boxSize);
    }
    if (error)
        *error = QStringLiteral("no movie box");
    return false;
}
