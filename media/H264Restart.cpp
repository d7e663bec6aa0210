#include "H264Restart.h"

#include <algorithm>
#include <cstdint>

#include "ParameterSets.h"

namespace {

constexpr int SEQUENCE_SET = 7;
constexpr int PICTURE_SET = 8;
constexpr int SLICE = 1;
constexpr int IDR_SLICE = 5;
constexpr int PREFIX = 14;
constexpr int EXTENSION_SLICE = 20;

// slice_type modulo 5
constexpr unsigned P_SLICE = 0;
constexpr unsigned B_SLICE = 1;
constexpr unsigned I_SLICE = 2;
constexpr unsigned SP_SLICE = 3;
constexpr unsigned SI_SLICE = 4;

// A NAL unit's payload without its emulation prevention bytes.
QByteArray unescape(const QByteArray& unit)
{
    QByteArray out;
    out.reserve(unit.size());
    int zeros = 0;
    for (const char c : unit) {
        if (zeros >= 2 && c == 3) {
            zeros = 0;
            continue;
        }
        zeros = c == 0 ? zeros + 1 : 0;
        out.append(c);
    }
    return out;
}

// The payload made a NAL unit again: no 00 00 followed by 00-03 inside it.
QByteArray escape(const QByteArray& payload)
{
    QByteArray out;
    out.reserve(payload.size() + payload.size() / 64 + 2);
    int zeros = 0;
    for (const char c : payload) {
        if (zeros >= 2 && uint8_t(c) <= 3) {
            out.append(char(3));
            zeros = 0;
        }
        zeros = c == 0 ? zeros + 1 : 0;
        out.append(c);
    }
    if (zeros >= 2)
        out.append(char(3));
    return out;
}

class Reader {
public:
    explicit Reader(const QByteArray& payload)
        : data(payload)
    {
    }

    unsigned bit()
    {
        if (position >= size_t(data.size()) * 8) {
            failed = true;
            return 0;
        }
        const unsigned value = (unsigned(uint8_t(data[qsizetype(position / 8)])) >> (7 - position % 8)) & 1u;
        ++position;
        return value;
    }
    unsigned bits(int count)
    {
        unsigned value = 0;
        for (int i = 0; i < count; ++i)
            value = value << 1 | bit();
        return value;
    }
    unsigned ue()
    {
        int zeros = 0;
        while (!failed && bit() == 0) {
            if (++zeros > 31)
                failed = true;
        }
        if (failed)
            return 0;
        return (1u << zeros) - 1 + bits(zeros);
    }
    int se()
    {
        const unsigned code = ue();
        return code & 1u ? int((code + 1) / 2) : -int(code / 2);
    }
    bool ok() const { return !failed; }
    size_t at() const { return position; }
    const QByteArray& payload() const { return data; }

private:
    const QByteArray& data;
    size_t position = 0;
    bool failed = false;
};

class Writer {
public:
    void bit(unsigned value)
    {
        if (used == 0)
            data.append(char(0));
        if (value)
            data[data.size() - 1] = char(uint8_t(data[data.size() - 1]) | (0x80u >> used));
        used = (used + 1) % 8;
    }
    void bits(unsigned value, int count)
    {
        for (int i = count - 1; i >= 0; --i)
            bit((value >> i) & 1u);
    }
    void ue(unsigned value)
    {
        const uint64_t code = uint64_t(value) + 1;
        int length = 0;
        while ((code >> length) > 1)
            ++length;
        bits(0, length);
        for (int i = length; i >= 0; --i)
            bit(unsigned(code >> i) & 1u);
    }
    void se(int value) { ue(value > 0 ? unsigned(2 * value - 1) : unsigned(-2 * value)); }
    bool aligned() const { return used == 0; }
    void bytes(const QByteArray& more) { data.append(more); }
    // Bits [from, end) of a payload, whatever the alignment of either: a byte at a
    // time, split across the last byte written and a new one.
    void copyBits(const QByteArray& source, size_t from, size_t end)
    {
        const auto bitOf = [&source](size_t at) { return (unsigned(uint8_t(source[qsizetype(at / 8)])) >> (7 - at % 8)) & 1u; };
        for (; from < end && from % 8 != 0; ++from)
            bit(bitOf(from));
        for (; from + 8 <= end; from += 8) {
            const auto byte = uint8_t(source[qsizetype(from / 8)]);
            if (used == 0) {
                data.append(char(byte));
            } else {
                data[data.size() - 1] = char(uint8_t(data[data.size() - 1]) | (byte >> used));
                data.append(char(uint8_t(byte << (8 - used))));
            }
        }
        for (; from < end; ++from)
            bit(bitOf(from));
    }
    const QByteArray& payload() const { return data; }

private:
    QByteArray data;
    int used = 0; // bits of the last byte written
};

void skipScalingList(Reader& in, int size)
{
    int last = 8;
    int next = 8;
    for (int j = 0; j < size; ++j) {
        if (next != 0)
            next = (last + in.se() + 256) % 256;
        last = next == 0 ? last : next;
    }
}

bool highProfile(unsigned profile)
{
    static constexpr unsigned HIGH[] = {100, 110, 122, 244, 44, 83, 86, 118, 128, 138, 139, 134, 135};
    return std::find(std::begin(HIGH), std::end(HIGH), profile) != std::end(HIGH);
}

} // namespace

H264Restart::H264Restart(const std::vector<QByteArray>& parameterSets)
{
    for (const QByteArray& unit : parameterSets)
        learn(unit);
}

void H264Restart::learn(const QByteArray& unit)
{
    const QByteArray payload = unescape(unit);
    Reader in(payload);
    in.bits(8);
    if (h264NalType(unit) == SEQUENCE_SET) {
        Sequence sequence;
        const unsigned profile = in.bits(8);
        in.bits(16); // constraint flags, level
        const unsigned id = in.ue();
        int chromaFormat = 1;
        if (highProfile(profile)) {
            chromaFormat = int(in.ue());
            if (chromaFormat == 3)
                sequence.separateColourPlane = in.bit() != 0;
            in.ue(); // bit depths
            in.ue();
            in.bit();
            if (in.bit()) {
                for (int i = 0; i < (chromaFormat != 3 ? 8 : 12); ++i) {
                    if (in.bit())
                        skipScalingList(in, i < 6 ? 16 : 64);
                }
            }
        }
        sequence.chromaArrayType = sequence.separateColourPlane ? 0 : chromaFormat;
        sequence.frameNumBits = int(in.ue()) + 4;
        sequence.pocType = int(in.ue());
        if (sequence.pocType == 0) {
            sequence.pocLsbBits = int(in.ue()) + 4;
        } else if (sequence.pocType == 1) {
            sequence.deltaPocAlwaysZero = in.bit() != 0;
            in.se();
            in.se();
            const unsigned cycle = in.ue();
            for (unsigned i = 0; i < cycle && in.ok(); ++i)
                in.se();
        }
        sequence.maxRefFrames = int(in.ue());
        in.bit(); // gaps in frame numbers
        in.ue();  // size
        in.ue();
        sequence.frameMbsOnly = in.bit() != 0;
        if (in.ok() && id < 32 && sequence.frameNumBits <= 16 && sequence.pocLsbBits <= 16)
            sequences[int(id)] = sequence;
    } else if (h264NalType(unit) == PICTURE_SET) {
        PictureSet set;
        const unsigned id = in.ue();
        set.sequence = int(in.ue());
        set.cabac = in.bit() != 0;
        set.bottomFieldPoc = in.bit() != 0;
        set.sliceGroups = in.ue() != 0;
        if (!set.sliceGroups) {
            set.refIdxDefault[0] = int(in.ue());
            set.refIdxDefault[1] = int(in.ue());
            set.weightedPred = in.bit() != 0;
            set.weightedBipred = int(in.bits(2));
            in.se(); // initial quantisers, chroma offset
            in.se();
            in.se();
            set.deblockingControl = in.bit() != 0;
            in.bit(); // constrained intra prediction
            set.redundantPicCount = in.bit() != 0;
        }
        if (in.ok() && id < 256)
            pictureSets[int(id)] = set;
    }
}

void H264Restart::leaveOut(const std::vector<QByteArray>& units)
{
    if (!started || finished)
        return;
    // A reference picture left out takes its frame number along: the ones after it
    // come one sooner.
    const auto slice = std::find_if(units.begin(), units.end(), [](const QByteArray& unit) {
        return h264NalType(unit) == SLICE;
    });
    if (slice != units.end() && (uint8_t((*slice)[0]) >> 5) != 0)
        ++offset;
}

std::optional<std::vector<QByteArray>> H264Restart::rewrite(const std::vector<QByteArray>& units)
{
    if (finished)
        return units;
    for (const QByteArray& unit : units) {
        if (h264NalType(unit) == IDR_SLICE) { // the source starts afresh itself
            finished = true;
            return units;
        }
    }
    std::vector<QByteArray> out;
    std::optional<Marking> marking;
    bool reference = false;
    unsigned number = 0;
    for (const QByteArray& unit : units) {
        const int type = h264NalType(unit);
        if (type == SEQUENCE_SET || type == PICTURE_SET)
            learn(unit);
        if (type == PREFIX || type == EXTENSION_SLICE)
            return std::nullopt;
        if (type != SLICE) {
            out.push_back(unit);
            continue;
        }
        Marking own;
        std::optional<QByteArray> rewritten = slice(unit, own, reference, number);
        if (!rewritten)
            return std::nullopt;
        out.push_back(std::move(*rewritten));
        if (!marking)
            marking = std::move(own);
    }
    if (!marking)
        return out;
    if (!started) {
        started = true;
        references.assign(1, {offset, 0});
    } else if (reference) {
        mark(*marking, number);
    }
    return out;
}

std::optional<QByteArray> H264Restart::slice(const QByteArray& unit, Marking& marking, bool& reference, unsigned& number)
{
    const QByteArray payload = unescape(unit);
    Reader in(payload);
    Writer out;
    const bool converting = !started;
    const unsigned header = in.bits(8);
    const unsigned refIdc = (header >> 5) & 3u;
    reference = refIdc != 0;
    out.bits((header & 0xe0u) | unsigned(converting ? IDR_SLICE : SLICE), 8);
    out.ue(in.ue()); // first macroblock
    const unsigned sliceType = in.ue();
    out.ue(sliceType);
    const unsigned kind = sliceType % 5;
    const unsigned setId = in.ue();
    out.ue(setId);
    const auto set = pictureSets.find(int(setId));
    if (set == pictureSets.end() || set->second.sliceGroups)
        return std::nullopt;
    const PictureSet& pps = set->second;
    const auto found = sequences.find(pps.sequence);
    if (found == sequences.end())
        return std::nullopt;
    const Sequence& sps = found->second;
    if (converting && (!reference || kind != I_SLICE))
        return std::nullopt;
    if (sps.separateColourPlane)
        out.bits(in.bits(2), 2);
    maxFrameNum = 1u << sps.frameNumBits;
    maxRefFrames = std::max(1, sps.maxRefFrames);
    const unsigned mask = maxFrameNum - 1;
    const unsigned sourceNumber = in.bits(sps.frameNumBits);
    if (converting)
        offset = sourceNumber;
    number = (sourceNumber - offset) & mask;
    out.bits(number, sps.frameNumBits);
    if (!sps.frameMbsOnly) {
        const unsigned field = in.bit();
        out.bit(field);
        if (field)
            return std::nullopt;
    }
    if (converting)
        out.ue(1); // idr_pic_id: differs from the head's, whose only IDR picture is its first
    if (sps.pocType == 0) {
        out.bits(in.bits(sps.pocLsbBits), sps.pocLsbBits);
        if (pps.bottomFieldPoc)
            out.se(in.se());
    } else if (sps.pocType == 1 && !sps.deltaPocAlwaysZero) {
        out.se(in.se());
        if (pps.bottomFieldPoc)
            out.se(in.se());
    }
    if (pps.redundantPicCount)
        out.ue(in.ue());
    if (kind == B_SLICE)
        out.bit(in.bit());
    int active[2] = {pps.refIdxDefault[0], pps.refIdxDefault[1]};
    if (kind == P_SLICE || kind == SP_SLICE || kind == B_SLICE) {
        const unsigned override = in.bit();
        out.bit(override);
        if (override) {
            active[0] = int(in.ue());
            out.ue(unsigned(active[0]));
            if (kind == B_SLICE) {
                active[1] = int(in.ue());
                out.ue(unsigned(active[1]));
            }
        }
    }
    // Reordering commands name pictures by their distance from the one before.
    auto ourNumberOf = [this](unsigned source) -> std::optional<unsigned> {
        for (const Reference& r : references) {
            if (r.sourceNumber == source)
                return r.number;
        }
        return std::nullopt;
    };
    const int lists = kind == B_SLICE ? 2 : (kind == I_SLICE || kind == SI_SLICE ? 0 : 1);
    for (int list = 0; list < lists; ++list) {
        const unsigned modified = in.bit();
        out.bit(modified);
        if (!modified)
            continue;
        unsigned sourcePredicted = sourceNumber;
        unsigned predicted = number;
        for (;;) {
            const unsigned command = in.ue();
            if (command == 3 || !in.ok()) {
                out.ue(3);
                break;
            }
            if (command > 1)
                return std::nullopt; // long-term pictures
            const unsigned distance = in.ue() + 1;
            sourcePredicted = (command == 0 ? sourcePredicted + maxFrameNum - distance % maxFrameNum
                                            : sourcePredicted + distance) & mask;
            const std::optional<unsigned> target = ourNumberOf(sourcePredicted);
            if (!target)
                return std::nullopt;
            const unsigned back = (predicted - *target) & mask;
            if (back == 0) {
                out.ue(1);
                out.ue(maxFrameNum - 1);
            } else {
                out.ue(0);
                out.ue(back - 1);
            }
            predicted = *target;
        }
    }
    if ((pps.weightedPred && (kind == P_SLICE || kind == SP_SLICE)) || (pps.weightedBipred == 1 && kind == B_SLICE)) {
        out.ue(in.ue());
        if (sps.chromaArrayType != 0)
            out.ue(in.ue());
        for (int list = 0; list < (kind == B_SLICE ? 2 : 1); ++list) {
            for (int i = 0; i <= active[list] && in.ok(); ++i) {
                const unsigned luma = in.bit();
                out.bit(luma);
                for (unsigned k = 0; k < luma * 2; ++k)
                    out.se(in.se());
                if (sps.chromaArrayType == 0)
                    continue;
                const unsigned chroma = in.bit();
                out.bit(chroma);
                for (unsigned k = 0; k < chroma * 4; ++k)
                    out.se(in.se());
            }
        }
    }
    if (reference) {
        const unsigned adaptive = in.bit();
        if (converting) {
            // An IDR picture forgets every earlier one: its commands go.
            for (unsigned command = adaptive ? in.ue() : 0; command != 0 && in.ok(); command = in.ue()) {
                if (command == 1 || command == 2 || command == 3 || command == 4 || command == 6)
                    in.ue();
                if (command == 3)
                    in.ue();
            }
            out.bit(0); // no_output_of_prior_pics_flag: the head's pictures are shown
            out.bit(0); // long_term_reference_flag
        } else {
            out.bit(adaptive);
            marking.adaptive = adaptive != 0;
            for (unsigned command = adaptive ? in.ue() : 0; command != 0 && in.ok(); command = in.ue()) {
                if (command != 1)
                    return std::nullopt; // long-term pictures, or all forgotten
                const unsigned distance = in.ue() + 1;
                const std::optional<unsigned> target = ourNumberOf((sourceNumber + maxFrameNum - distance % maxFrameNum) & mask);
                if (!target)
                    continue; // a picture the copy does not hold
                out.ue(1);
                out.ue(((number - *target) & mask) - 1);
                marking.unmark.push_back(*target);
            }
            if (adaptive)
                out.ue(0);
        }
    }
    if (pps.cabac) {
        // The rest of the header, then slice data that starts on a byte.
        if (kind != I_SLICE && kind != SI_SLICE)
            out.ue(in.ue()); // cabac_init_idc
        out.se(in.se());     // slice_qp_delta
        if (kind == SP_SLICE || kind == SI_SLICE) {
            if (kind == SP_SLICE)
                out.bit(in.bit());
            out.se(in.se());
        }
        if (pps.deblockingControl) {
            const unsigned deblocking = in.ue();
            out.ue(deblocking);
            if (deblocking != 1) {
                out.se(in.se());
                out.se(in.se());
            }
        }
        while (in.at() % 8 != 0)
            in.bit();
        while (!out.aligned())
            out.bit(1);
        if (!in.ok())
            return std::nullopt;
        out.bytes(payload.mid(qsizetype(in.at() / 8)));
    } else {
        // The rest bit for bit, up to the stop bit, then zeros to the byte.
        qsizetype last = payload.size() - 1;
        while (last >= 0 && payload[last] == 0)
            --last;
        if (last < 0 || !in.ok())
            return std::nullopt;
        const auto lastByte = uint8_t(payload[last]);
        int trailing = 0;
        while (!((lastByte >> trailing) & 1u))
            ++trailing;
        const size_t stop = size_t(last) * 8 + size_t(7 - trailing);
        if (in.at() > stop)
            return std::nullopt;
        out.copyBits(payload, in.at(), stop + 1);
        while (!out.aligned())
            out.bit(0);
    }
    return escape(out.payload());
}

void H264Restart::mark(const Marking& marking, unsigned number)
{
    const unsigned mask = maxFrameNum - 1;
    if (marking.adaptive) {
        for (const unsigned gone : marking.unmark) {
            references.erase(std::remove_if(references.begin(), references.end(),
                                            [gone](const Reference& r) { return r.number == gone; }),
                             references.end());
        }
    } else {
        // The sliding window forgets the earliest.
        auto age = [number, this](const Reference& r) {
            return r.number > number ? int64_t(r.number) - int64_t(maxFrameNum) : int64_t(r.number);
        };
        while (references.size() >= size_t(maxRefFrames)) {
            references.erase(std::min_element(references.begin(), references.end(),
                                              [&](const Reference& a, const Reference& b) { return age(a) < age(b); }));
        }
    }
    references.push_back({(number + offset) & mask, number});
}
