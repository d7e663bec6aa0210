#pragma once

#include <cstdint>
#include <vector>

#include <QString>

#include "CancelToken.h"
#include "CutProgress.h"
#include "Outcome.h"

// The loudness of a file's first sound track, for the editor's waveform: for each
// 1/perSecond s from the file's start, the largest magnitude of any sample of any
// channel, 0 (silence) to 255 (full scale). No peaks at all for a file without sound.
// Fails with the reason for a file that cannot be read, and when cancelled. Moves
// progress on as the file is read.
Outcome<std::vector<std::uint8_t>> readSoundPeaks(const QString& path, int perSecond, const CancelToken& cancel,
                                                  const CutProgress& progress = CutProgress());

// The same, kept in `folder` (made when missing) under a name drawn from the file's
// path, size and change time, so a file is read once and an edited one again. A kept
// copy that is damaged or of another rate is read again from the file; a copy that
// cannot be written is only logged. The folder holds at most `limit` bytes: the copies
// used longest ago go first (a two-hour video's takes about 3 MB).
constexpr qint64 WAVEFORM_CACHE_LIMIT = qint64(64) << 20;
Outcome<std::vector<std::uint8_t>> cachedSoundPeaks(const QString& path, int perSecond, const QString& folder,
                                                    const CancelToken& cancel, qint64 limit = WAVEFORM_CACHE_LIMIT,
                                                    const CutProgress& progress = CutProgress());
