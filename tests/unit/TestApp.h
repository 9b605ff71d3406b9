#pragma once

#include "SBApplication.h"

// Timer and widget tests share one binary with plain ones: whichever needs an application
// first makes it, and it lives until the process ends.
inline void ensureApp() {
    if (QCoreApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "skerrin_unit_tests";
    static char* argv[] = {name, nullptr};
    new SBApplication(argc, argv);
}
