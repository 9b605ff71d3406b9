#pragma once

#include <QDBusConnection>
#include <QObject>

// The two services other programs reach over the session bus. A call is answered at once; the
// request goes out from the event loop, so an alert it leads to never holds the caller.
class SkerrinService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.skerrin.Skerrin.Services")
public:
    static inline const QString serviceName = QStringLiteral(SKERRIN_APP_ID);
    static inline const QString objectPath = QStringLiteral("/org/skerrin/Skerrin");
    static inline const QString interfaceName = QStringLiteral("org.skerrin.Skerrin.Services");

    // Exports the object and takes the name; false when another instance holds the name.
    bool publish(QDBusConnection bus);

public slots:
    // The text stands for the plain text of the caller's selection.
    Q_SCRIPTABLE void doServiceSearch(const QString& text);
    Q_SCRIPTABLE void doBringToFront();
    // Searches what is selected in the application in front, as the open-URL hot key does.
    Q_SCRIPTABLE void searchSelection();

signals:
    void serviceSearchRequested(const QString& text);
    void bringToFrontRequested();
    void selectionSearchRequested();
};
