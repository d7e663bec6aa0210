// Feeds arbitrary bytes to the readers of H.264 and HEVC decoder configuration records
// and NAL unit framings that the smart cut relies on, and to the renumbering of an
// H.264 copy's slice headers: no crash, no read outside the input, and an H.264
// record that reads back the same after writing it out again.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include <QByteArray>

#include "H264Restart.h"
#include "ParameterSets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const std::optional<AvcConfig> config = AvcConfig::parse(bytes)) {
        const std::optional<AvcConfig> again = AvcConfig::parse(config->serialize());
        if (!again || again->sequenceSets != config->sequenceSets || again->pictureSets != config->pictureSets)
            std::abort();
        for (const QByteArray& set : config->sequenceSets)
            h264ParameterSetId(set);
        for (const QByteArray& set : config->pictureSets)
            h264ParameterSetId(set);
    }
    HevcConfig::parse(bytes);
    // An MPEG-4 Part 2 frame's layer headers, told that frames may be reordered.
    QByteArray layer = bytes;
    mpeg4SetLowDelay(reinterpret_cast<uint8_t*>(layer.data()), int(layer.size()), false);
    // An H.264 stream in start codes: its parameter sets, then one picture a unit from
    // the first that is no IDR picture, renumbered as a copy from an open GOP's I
    // picture is; every second one after the first two left out.
    const std::vector<QByteArray> units = annexBNalUnits(data, int(size));
    std::vector<QByteArray> sets;
    for (const QByteArray& unit : units) {
        h264SliceType(unit);
        h264RecoveryFrames(unit);
        if (h264NalType(unit) == 7 || h264NalType(unit) == 8)
            sets.push_back(unit);
    }
    H264Restart restart(sets);
    const auto first = std::find_if(units.begin(), units.end(), [](const QByteArray& unit) { return h264NalType(unit) == 1; });
    for (auto unit = first; unit != units.end(); ++unit) {
        if ((unit - first) % 2 == 0 || unit - first < 2) {
            if (!restart.rewrite({*unit}))
                break;
        } else {
            restart.leaveOut({*unit});
        }
    }
    for (int lengthSize = 1; lengthSize <= 4; ++lengthSize) {
        if (const auto units = lengthPrefixedNalUnits(data, int(size), lengthSize)) {
            if (lengthPrefixed(*units, lengthSize) != bytes)
                std::abort();
        }
    }
    return 0;
}
