#include "SBApplication.h"

#include "HotKeyCenter.h"

SBApplication::SBApplication(int& argc, char** argv)
    : QApplication(argc, argv) {}

void SBApplication::setIgnoreEvents(bool ignore) {
    HotKeyCenter::setIgnoreEvents(ignore);
}

bool SBApplication::ignoreEvents() {
    return HotKeyCenter::ignoreEvents();
}

bool SBApplication::notify(QObject* receiver, QEvent* event) {
    // Events before anyone asked for the center have no hot key to reach; asking here would make
    // the center before its backend is chosen.
    if (!ignoreEvents()) {
        if (HotKeyCenter* center = HotKeyCenter::existingSharedCenter())
            center->sendEvent(event);
    }
    return QApplication::notify(receiver, event);
}
