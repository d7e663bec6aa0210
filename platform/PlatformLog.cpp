#include "PlatformLog.h"

// Warnings by default; the rest with QT_LOGGING_RULES="trimora.platform.debug=true".
Q_LOGGING_CATEGORY(lcPlatform, "trimora.platform", QtWarningMsg)
