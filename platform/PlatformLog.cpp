#include "PlatformLog.h"

Q_LOGGING_CATEGORY(lcPlatform, "trimora.platform")
