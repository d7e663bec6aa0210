#include "ExportLog.h"

// Warnings by default; the rest with QT_LOGGING_RULES="trimora.export.debug=true".
Q_LOGGING_CATEGORY(lcExport, "trimora.export", QtWarningMsg)
