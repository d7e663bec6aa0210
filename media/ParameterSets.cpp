#include "ParameterSets.h"

namespace {

// Exp-Golomb reading over a NAL unit's payload, emulation prevention bytes skipped.
class BitReader {
public:
    BitReader(const QByteArray& unit, int from)
    {
        for (int i = from; i < unit.size(); ++i) {
            if (i >= 2 && unit[i] == 3 && unit[i - 1] == 0 && unit[i - 2] == 0 && i >= from + 2)
                continue;
            bytes.push_back(uint8_t(unit[i]));
        }
    }

    std::optional<unsigned> bit()
    {
        if (position >= bytes.size() * 8)
            return std::nullopt;
        const unsigned value = (unsigned(bytes[position / 8]) >> (7 - position % 8)) & 1u;
        ++position;
        return value;
    }

    std::optional<unsigned> unsignedGolomb()
    {
        int zeros = 0;
        for (;;) {
            const std::optional<unsigned> b = bit();
            if (!b || zeros > 31)
                return std::nullopt;
            if (*b)
                break;
            ++zeros;
        }
        unsigned value = 0;
        for (int i = 0; i < zeros; ++i) {
            const std::optional<unsigned> b = bit();
            if (!b)
                return std::nullopt;
            value = value << 1 | *b;
        }
        return (1u << zeros) - 1 + value;
    }

private:
    std::vector<uint8_t> bytes;
    size_t position = 0;
};

unsigned readBig(const uint8_t* data, int width)
{
    unsigned value = 0;
    for (int i = 0; i < width; ++i)
        value = value << 8 | data[i];
    return value;
}

void appendBig(QByteArray& out, unsigned value, int width)
{
    for (int i = width - 1; i >= 0; --i)
        out.append(char((value >> (8 * i)) & 0xff));
}

} // namespace

std::vector<QByteArray> annexBNalUnits(const uint8_t* data, int size)
{
    std::vector<QByteArray> units;
    int start = -1;
    int i = 0;
    while (i + 2 < size) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            if (start >= 0) {
                int end = i;
                while (end > start && data[end - 1] == 0)
                    --end; // the leading zero of a four-byte start code, or trailing zeros
                units.emplace_back(reinterpret_cast<const char*>(data + start), end - start);
            }
            i += 3;
            start = i;
        } else {
            ++i;
        }
    }
    if (start >= 0 && start < size)
        units.emplace_back(reinterpret_cast<const char*>(data + start), size - start);
    return units;
}

QByteArray lengthPrefixed(const std::vector<QByteArray>& units, int lengthSize)
{
    QByteArray out;
    for (const QByteArray& unit : units) {
        if (lengthSize == 0)
            out.append("\0\0\0\1", 4);
        else
            appendBig(out, unsigned(unit.size()), lengthSize);
        out.append(unit);
    }
    return out;
}

std::optional<std::vector<QByteArray>> lengthPrefixedNalUnits(const uint8_t* data, int size, int lengthSize)
{
    std::vector<QByteArray> units;
    int at = 0;
    while (at < size) {
        if (size - at < lengthSize)
            return std::nullopt;
        const unsigned length = readBig(data + at, lengthSize);
        at += lengthSize;
        if (length > unsigned(size - at))
            return std::nullopt;
        units.emplace_back(reinterpret_cast<const char*>(data + at), qsizetype(length));
        at += int(length);
    }
    return units;
}

int h264NalType(const QByteArray& unit)
{
    return unit.isEmpty() ? -1 : uint8_t(unit[0]) & 0x1f;
}

int hevcNalType(const QByteArray& unit)
{
    return unit.isEmpty() ? -1 : (uint8_t(unit[0]) >> 1) & 0x3f;
}

std::optional<int> h264ParameterSetId(const QByteArray& unit)
{
    const int type = h264NalType(unit);
    // An SPS starts with profile, constraint flags and level; a PPS with its id.
    if (type == 7 && unit.size() > 4) {
        BitReader reader(unit, 4);
        if (const std::optional<unsigned> id = reader.unsignedGolomb())
            return int(*id);
    } else if (type == 8 && unit.size() > 1) {
        BitReader reader(unit, 1);
        if (const std::optional<unsigned> id = reader.unsignedGolomb())
            return int(*id);
    }
    return std::nullopt;
}

std::optional<int> h264SliceType(const QByteArray& unit)
{
    const int type = h264NalType(unit);
    if ((type != 1 && type != 5) || unit.size() < 2)
        return std::nullopt;
    BitReader reader(unit, 1);
    const std::optional<unsigned> firstMacroblock = reader.unsignedGolomb();
    const std::optional<unsigned> sliceType = firstMacroblock ? reader.unsignedGolomb() : std::nullopt;
    if (!sliceType || *sliceType > 9)
        return std::nullopt;
    return int(*sliceType);
}

bool h264Lossless(const QByteArray& sequenceSet)
{
    // Only the High profiles that allow it say so, after the id, the chroma format
    // and the bit depths.
    if (h264NalType(sequenceSet) != 7 || sequenceSet.size() < 5 || uint8_t(sequenceSet[1]) != 244)
        return false;
    BitReader reader(sequenceSet, 4);
    const std::optional<unsigned> id = reader.unsignedGolomb();
    const std::optional<unsigned> chroma = id ? reader.unsignedGolomb() : std::nullopt;
    if (!chroma || (*chroma == 3 && !reader.bit()))
        return false;
    if (!reader.unsignedGolomb() || !reader.unsignedGolomb())
        return false;
    return reader.bit() == 1u;
}

std::optional<unsigned> h264RecoveryFrames(const QByteArray& unit)
{
    if (h264NalType(unit) != 6)
        return std::nullopt;
    BitReader reader(unit, 1);
    // Each message: its type and size, each a run of 255s and a last byte; then its
    // payload. Only the recovery point (type 6) is read.
    auto number = [&reader]() -> std::optional<unsigned> {
        unsigned value = 0;
        for (;;) {
            unsigned byte = 0;
            for (int i = 0; i < 8; ++i) {
                const std::optional<unsigned> b = reader.bit();
                if (!b)
                    return std::nullopt;
                byte = byte << 1 | *b;
            }
            value += byte;
            if (byte != 0xff)
                return value;
        }
    };
    for (int message = 0; message < 64; ++message) {
        const std::optional<unsigned> type = number();
        const std::optional<unsigned> size = type ? number() : std::nullopt;
        if (!size)
            return std::nullopt;
        if (*type == 6)
            return reader.unsignedGolomb();
        for (unsigned i = 0; i < *size * 8; ++i) {
            if (!reader.bit())
                return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<AvcConfig> AvcConfig::parse(const QByteArray& record)
{
    const auto* data = reinterpret_cast<const uint8_t*>(record.constData());
    const int size = int(record.size());
    if (size < 7 || data[0] != 1)
        return std::nullopt;
    AvcConfig config;
    config.profile = data[1];
    config.compatibility = data[2];
    config.level = data[3];
    config.lengthSize = (data[4] & 3) + 1;
    int at = 5;
    auto readSets = [&](int count, std::vector<QByteArray>& sets) {
        for (int i = 0; i < count; ++i) {
            if (size - at < 2)
                return false;
            const auto length = int(readBig(data + at, 2));
            at += 2;
            if (length > size - at)
                return false;
            sets.emplace_back(reinterpret_cast<const char*>(data + at), length);
            at += length;
        }
        return true;
    };
    if (!readSets(data[at++] & 0x1f, config.sequenceSets) || at >= size)
        return std::nullopt;
    const int pictureCount = data[at++];
    if (!readSets(pictureCount, config.pictureSets))
        return std::nullopt;
    config.extension = record.mid(at);
    return config;
}

QByteArray AvcConfig::serialize() const
{
    QByteArray out;
    out.append(char(1));
    out.append(char(profile));
    out.append(char(compatibility));
    out.append(char(level));
    out.append(char(0xfc | (lengthSize - 1)));
    out.append(char(0xe0 | int(sequenceSets.size())));
    for (const QByteArray& set : sequenceSets) {
        appendBig(out, unsigned(set.size()), 2);
        out.append(set);
    }
    out.append(char(pictureSets.size()));
    for (const QByteArray& set : pictureSets) {
        appendBig(out, unsigned(set.size()), 2);
        out.append(set);
    }
    out.append(extension);
    return out;
}

std::optional<HevcConfig> HevcConfig::parse(const QByteArray& record)
{
    const auto* data = reinterpret_cast<const uint8_t*>(record.constData());
    const int size = int(record.size());
    if (size < 23 || data[0] != 1)
        return std::nullopt;
    HevcConfig config;
    config.lengthSize = (data[21] & 3) + 1;
    const int arrays = data[22];
    int at = 23;
    for (int a = 0; a < arrays; ++a) {
        if (size - at < 3)
            return std::nullopt;
        const auto count = int(readBig(data + at + 1, 2));
        at += 3;
        for (int n = 0; n < count; ++n) {
            if (size - at < 2)
                return std::nullopt;
            const auto length = int(readBig(data + at, 2));
            at += 2;
            if (length > size - at)
                return std::nullopt;
            config.parameterSets.emplace_back(reinterpret_cast<const char*>(data + at), length);
            at += length;
        }
    }
    return config;
}

int mpeg4LayerHeader(const uint8_t* data, int size)
{
    for (int i = 0; i + 3 < size; ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && (data[i + 3] & 0xf0) == 0x20)
            return i;
    }
    return -1;
}

bool mpeg4SetLowDelay(uint8_t* data, int size, bool lowDelay)
{
    for (int at = mpeg4LayerHeader(data, size); at >= 0;) {
        // From the header's first bit: random_accessible_vol (1), the object type (8),
        // is_object_layer_identifier (1) with a version and priority (4 + 3), the
        // aspect ratio (4) with a width and height (8 + 8) when extended, then
        // vol_control_parameters (1): chroma_format (2), low_delay (1).
        const int start = (at + 4) * 8;
        const auto bitAt = [&](int position) {
            return position / 8 < size ? (data[position / 8] >> (7 - position % 8)) & 1 : -1;
        };
        const auto bitsAt = [&](int position, int count) {
            int value = 0;
            for (int k = 0; k < count; ++k) {
                const int b = bitAt(position + k);
                if (b < 0)
                    return -1;
                value = value << 1 | b;
            }
            return value;
        };
        int position = start + 9;
        const int identified = bitAt(position);
        position += 1 + (identified == 1 ? 7 : 0);
        const int aspect = bitsAt(position, 4);
        position += 4 + (aspect == 15 ? 16 : 0);
        if (identified < 0 || aspect < 0 || bitAt(position) != 1 || bitAt(position + 3) < 0)
            return false;
        position += 3;
        const uint8_t mask = uint8_t(0x80 >> (position % 8));
        data[position / 8] = lowDelay ? (data[position / 8] | mask) : (data[position / 8] & ~mask);
        const int next = mpeg4LayerHeader(data + at + 4, size - at - 4);
        at = next < 0 ? -1 : at + 4 + next;
    }
    return true;
}
