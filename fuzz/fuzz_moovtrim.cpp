// Feeds arbitrary bytes, as a movie box, to the code that trims a clip's end after
// the muxer is done: no crash, no read or write outside the box, and either a
// trimmed box of the same size or the box left exactly as it was.
#include <cstdint>
#include <cstdlib>

#include <QByteArray>

#include "Mp4Boxes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    // The first bytes choose the clip length; the rest is the box.
    const ClipLength length{int64_t(data[0]) << 16 | int64_t(data[1]) << 8 | data[2], int64_t(data[3]) + 1};
    const QByteArray original(reinterpret_cast<const char*>(data + 4), qsizetype(size - 4));
    QByteArray box = original;
    QString error;
    if (trimMovieBox(box, length, &error)) {
        if (box.size() != original.size())
            std::abort();
    } else if (box != original || error.isEmpty()) {
        std::abort();
    }
    return 0;
}
