#pragma once

#include <QApplication>

// The application object: every event passes the hot key center before normal dispatch,
// unless the hot key events are to be ignored (while a new combination is captured).
class SBApplication : public QApplication {
    Q_OBJECT
public:
    SBApplication(int& argc, char** argv);

    static void setIgnoreEvents(bool ignore);
    static bool ignoreEvents();

    // Kept for callers of the library's interface; nothing in Skerrin calls these.
    // The center's second delivery path (HotKeyCenter::sendEvent): Qt calls it for every event,
    // and no backend of Skerrin's posts an event it would act on.
    bool notify(QObject* receiver, QEvent* event) override;
};
