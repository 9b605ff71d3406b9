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

    bool notify(QObject* receiver, QEvent* event) override;
};
