#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <vector>

// Named notifications delivered synchronously to every observer of that name, in the order the
// observers were added.
class NotificationCenter {
public:
    struct Notification {
        QString name;
        QObject* object = nullptr;
        QVariantMap userInfo;
    };
    using Handler = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    // The observer only identifies the registration for removeObserver(); it is not owned.
    void addObserver(const void* observer, const QString& name, Handler handler);
    void removeObserver(const void* observer);
    void postNotificationName(const QString& name, QObject* object, const QVariantMap& userInfo);

private:
    struct Registration {
        quint64 id;
        const void* observer;
        QString name;
        Handler handler;
    };

    std::vector<Registration> mRegistrations;
    quint64 mNextId = 1;
};
