#pragma once

#include "Alert.h"
#include "KeystrokePoster.h"
#include "UrlOpener.h"

#include <QStringList>

#include <functional>

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

struct PostedKey {
    int charCode;
    int keyCode;
    bool down;
    bool operator==(const PostedKey&) const = default;
};

// Remembers the posted keys; holds `ready` back while a key is said to be down.
class RecordingKeystrokePoster : public KeystrokePoster {
public:
    QList<PostedKey> posted;
    QStringList calls;
    int answer = 0;
    bool keyHeld = false;
    QList<std::function<void()>> waiting;
    // Stands for the application in front when it copies on the C key.
    std::function<void()> onCopy;

    void whenKeysReleased(std::function<void()> ready) override {
        if (keyHeld)
            waiting.append(std::move(ready));
        else
            ready();
    }
    void release() {
        keyHeld = false;
        for (auto& ready : std::exchange(waiting, {}))
            ready();
    }
    void inhibitLocalEvents(bool inhibit) override {
        calls.append(inhibit ? "inhibit" : "uninhibit");
    }
    void enableEventStateCombining(bool combine) override {
        calls.append(combine ? "combine" : "separate");
    }
    int postKeyboardEvent(int charCode, int keyCode, bool keyDown) override {
        posted.append({charCode, keyCode, keyDown});
        calls.append("post");
        if (keyCode == 8 && !keyDown && onCopy)
            onCopy();
        return answer;
    }
};
