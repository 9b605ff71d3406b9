#include "SBApplication.h"

#include "HotKeyCenter.h"

namespace {

bool ignoringEvents = false;

} // namespace

SBApplication::SBApplication(int& argc, char** argv)
    : QApplication(argc, argv) {}

void SBApplication::setIgnoreEvents(bool ignore) {
    ignoringEvents = ignore;
}

bool SBApplication::ignoreEvents() {
    return ignoringEvents;
}

bool SBApplication::notify(QObject* receiver, QEvent* event) {
    // Events before anyone asked for the center have no hot key to reach; asking here would make
    // the center before its backend is chosen.
    if (!ignoringEvents) {
        if (HotKeyCenter* center = HotKeyCenter::existingSharedCenter())
            center->sendEvent(event);
    }
    return QApplication::notify(receiver, event);
}
