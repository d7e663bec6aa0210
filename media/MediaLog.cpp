#include "MediaLog.h"

// Warnings by default; the rest with QT_LOGGING_RULES="trimora.media.debug=true".
Q_LOGGING_CATEGORY(lcMedia, "trimora.media", QtWarningMsg)
