#include "NotificationCenter.h"

#include <algorithm>

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

void NotificationCenter::addObserver(const void* observer, const QString& name, Handler handler) {
    mRegistrations.push_back({mNextId++, observer, name, std::move(handler)});
}

void NotificationCenter::removeObserver(const void* observer) {
    std::erase_if(mRegistrations,
                  [observer](const Registration& entry) { return entry.observer == observer; });
}

void NotificationCenter::postNotificationName(const QString& name, QObject* object,
                                              const QVariantMap& userInfo) {
    std::vector<quint64> ids;
    for (const Registration& entry : mRegistrations) {
        if (entry.name == name)
            ids.push_back(entry.id);
    }
    const Notification notification{name, object, userInfo};
    // A handler may add or remove observers; those removed meanwhile are not called.
    for (quint64 id : ids) {
        const auto found = std::find_if(mRegistrations.begin(), mRegistrations.end(),
                                        [id](const Registration& entry) { return entry.id == id; });
        if (found == mRegistrations.end())
            continue;
        const Handler handler = found->handler;
        handler(notification);
    }
}
