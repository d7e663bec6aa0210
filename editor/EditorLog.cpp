#include "EditorLog.h"

Q_LOGGING_CATEGORY(lcEditor, "trimora.editor", QtWarningMsg)
