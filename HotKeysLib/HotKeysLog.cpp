#include "HotKeysLog.h"

Q_LOGGING_CATEGORY(hotKeysLog, "skerrin.hotkeys")
