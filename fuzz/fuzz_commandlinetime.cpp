// Feeds arbitrary text to the command line's time reader: it must never crash, and a
// time it accepts must be one the rest of the program can use.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include <QString>

#include "CommandLineTime.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const Outcome<CommandLineTime> time = parseCommandLineTime(text);
    if (time) {
        if (!std::isfinite(time->value) || time->value < 0.0 || (time->percent && time->value > 100.0))
            std::abort();
        if (!std::isfinite(time->seconds(3600.0)))
            std::abort();
    } else if (time.error().isEmpty()) {
        std::abort(); // a refusal always says why
    }
    escapeControlCharacters(text);
    return 0;
}
