#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcMedia)

// Sends FFmpeg's own messages to the trimora.ffmpeg logging category instead of the
// terminal: a damaged frame in a user's video is not the user's business on stderr.
void routeFfmpegLogging();
