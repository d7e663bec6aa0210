// Feeds arbitrary bytes to the readers of H.264 and HEVC decoder configuration records
// and NAL unit framings that the smart cut relies on: no crash, no read outside the
// input, and an H.264 record that reads back the same after writing it out again.
#include <cstdint>
#include <cstdlib>

#include <QByteArray>

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
    annexBNalUnits(data, int(size));
    for (int lengthSize = 1; lengthSize <= 4; ++lengthSize) {
        if (const auto units = lengthPrefixedNalUnits(data, int(size), lengthSize)) {
            if (lengthPrefixed(*units, lengthSize) != bytes)
                std::abort();
        }
    }
    return 0;
}
