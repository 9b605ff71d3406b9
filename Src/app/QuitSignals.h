#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a normal quit of the event loop, so that the settings
// are written out as at any other quit.
class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

private:
    QSocketNotifier* notifier = nullptr;
};
