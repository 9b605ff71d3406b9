#pragma once

#include "Alert.h"
#include "UrlOpener.h"

#include <QStringList>

// Remembers what would have reached the browser; answers as told.
class RecordingUrlOpener : public UrlOpener {
public:
    QStringList opened;
    bool answer = true;

protected:
    bool launch(const QString& address) override {
        opened.append(address);
        return answer;
    }
};

struct ShownAlert {
    QString title;
    QString message;
    QString button;
};

class RecordingAlert : public Alert {
public:
    QList<ShownAlert> shown;

    void show(const QString& title, const QString& message, const QString& button) override {
        shown.append({title, message, button});
    }
};
