#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <QByteArray>

// The pieces of H.264 and HEVC streams a smart cut has to join: NAL units in the two
// framings (start codes from the encoders, length prefixes in MP4 and Matroska), and
// the decoder configuration records that carry the parameter sets.

// NAL units separated by start codes (00 00 01 or 00 00 00 01), without them.
std::vector<QByteArray> annexBNalUnits(const uint8_t* data, int size);

// NAL units each preceded by its length in lengthSize bytes, big-endian; with a
// lengthSize of 0, each preceded by a start code instead (00 00 00 01).
QByteArray lengthPrefixed(const std::vector<QByteArray>& units, int lengthSize);
std::optional<std::vector<QByteArray>> lengthPrefixedNalUnits(const uint8_t* data, int size, int lengthSize);

int h264NalType(const QByteArray& unit);
int hevcNalType(const QByteArray& unit);

// The id an H.264 SPS or PPS declares (seq_parameter_set_id, pic_parameter_set_id).
std::optional<int> h264ParameterSetId(const QByteArray& unit);

// An H.264 slice's slice_type (0-9).
std::optional<int> h264SliceType(const QByteArray& unit);

// Whether an H.264 SPS lets macroblocks be coded losslessly
// (qpprime_y_zero_transform_bypass_flag).
bool h264Lossless(const QByteArray& sequenceSet);

// The recovery_frame_cnt of an H.264 SEI unit's recovery point message, if it has one.
std::optional<unsigned> h264RecoveryFrames(const QByteArray& unit);

// An H.264 decoder configuration record (avcC), as MP4 and Matroska store it.
struct AvcConfig {
    uint8_t profile = 0;
    uint8_t compatibility = 0;
    uint8_t level = 0;
    int lengthSize = 4;
    std::vector<QByteArray> sequenceSets;
    std::vector<QByteArray> pictureSets;
    QByteArray extension; // chroma format and bit depths of the High profiles

    static std::optional<AvcConfig> parse(const QByteArray& record);
    QByteArray serialize() const;
};

// The parameter sets (VPS, SPS, PPS) of an HEVC decoder configuration record (hvcC),
// and its NAL length size.
struct HevcConfig {
    int lengthSize = 4;
    std::vector<QByteArray> parameterSets;

    static std::optional<HevcConfig> parse(const QByteArray& record);
};

// MPEG-4 Part 2: where a video object layer header (start code 00 00 01 2x) is in a
// frame's bytes, -1 if none.
int mpeg4LayerHeader(const uint8_t* data, int size);
// Sets the low_delay flag of each video object layer header in the bytes (whether
// frames are never reordered). False if a header does not state it.
bool mpeg4SetLowDelay(uint8_t* data, int size, bool lowDelay);
