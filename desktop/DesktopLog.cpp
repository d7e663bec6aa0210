#include "DesktopLog.h"

// Warnings by default; the rest with QT_LOGGING_RULES="trimora.desktop.debug=true".
Q_LOGGING_CATEGORY(lcDesktop, "trimora.desktop", QtWarningMsg)
