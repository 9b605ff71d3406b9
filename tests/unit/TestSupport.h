#pragma once

#include "Alert.h"
#include "HotKeyCenter.h"
#include "KeystrokePoster.h"
#include "MainWindow.h"
#include "Prefs.h"
#include "SBApplication.h"
#include "SearchList.h"
#include "SkerrinController.h"
#include "UrlOpener.h"
#include "UserDefaults.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

// Timer and widget tests share one binary with plain ones: whichever needs an application
// first makes it, and it lives until the process ends.
inline void ensureApp() {
    if (QCoreApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "skerrin_unit_tests";
    static char* argv[] = {name, nullptr};
    new SBApplication(argc, argv);
}

template <typename Widget> Widget& child(QWidget& parent, const char* name) {
    auto* widget = parent.findChild<Widget*>(QLatin1String(name));
    if (!widget)
        throw std::runtime_error(std::string("no widget named ") + name);
    return *widget;
}

inline void click(QWidget& parent, const char* name) {
    child<QAbstractButton>(parent, name).click();
}

inline QString text(QWidget& parent, const char* name) {
    return child<QLineEdit>(parent, name).text();
}

// A site as title, key and address, from the list or from an editor's fields.
inline QStringList fieldsOf(const SearchUrl& site) {
    return {site.title(), site.commandKey(), site.url()};
}
inline QStringList fieldsOf(QWidget& editor) {
    return {text(editor, "title"), text(editor, "commandKey"), text(editor, "url")};
}

inline QStringList titlesOf(const SearchList& list) {
    QStringList titles;
    for (const SearchUrl& site : list.searchUrls())
        titles.append(site.title());
    return titles;
}

inline QStringList popUpTitles(QWidget& mainWindow) {
    auto& menu = child<QComboBox>(mainWindow, "searchListMenu");
    QStringList titles;
    for (int i = 0; i < menu.count(); ++i)
        titles.append(menu.itemText(i));
    return titles;
}

// The log lines `call` writes.
inline QString logOf(const std::function<void()>& call) {
    testing::internal::CaptureStderr();
    call();
    return QString::fromStdString(testing::internal::GetCapturedStderr());
}

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

class RecordingAlert : public Alert {
public:
    QList<QStringList> shown; // title, message, button

    void show(const QString& title, const QString& message, const QString& button) override {
        shown.append({title, message, button});
    }
};

// Remembers its calls ("post <char> <key> <down>"); holds `ready` back while a key is held.
class RecordingKeystrokePoster : public KeystrokePoster {
public:
    QStringList calls;
    int answer = 0;
    bool keyHeld = false;
    QList<std::function<void()>> waiting;

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
        calls.append(QString("post %1 %2 %3").arg(charCode).arg(keyCode).arg(keyDown));
        return answer;
    }
};

// Remembers registrations and releases; refuses when told to, and, like a desktop, refuses a
// combination that is registered already.
class RecordingHotKeyService : public HotKeyService {
public:
    struct Registration {
        qint32 keyCode = 0;
        qint32 modifiers = 0;
        HotKeyId id;
    };

    explicit RecordingHotKeyService(bool identity = true)
        : identity(identity) {}

    bool identity;
    bool accepts = true;
    // "register <key code> 0x<modifiers>" and "unregister <key code> 0x<modifiers>" in order.
    QStringList calls;
    QMap<quintptr, Registration> live;
    HotKeyId lastId;

    bool deliversIdentity() const override { return identity; }

    quintptr registerHotKey(qint32 keyCode, qint32 modifiers, HotKeyId id) override {
        calls.append(describe("register", {keyCode, modifiers, id}));
        lastId = id;
        if (!accepts || isLive(keyCode, modifiers))
            return 0;
        live.insert(++lastRef, {keyCode, modifiers, id});
        return lastRef;
    }

    void unregisterHotKey(quintptr ref) override {
        calls.append(describe("unregister", live.take(ref)));
    }

    quintptr refOf(qint32 keyCode, qint32 modifiers) const {
        for (auto it = live.cbegin(); it != live.cend(); ++it) {
            if (it->keyCode == keyCode && it->modifiers == modifiers)
                return it.key();
        }
        return 0;
    }
    bool isLive(qint32 keyCode, qint32 modifiers) const { return refOf(keyCode, modifiers) != 0; }

private:
    static QString describe(const char* call, const Registration& registration) {
        return QStringLiteral("%1 %2 0x%3")
            .arg(QLatin1String(call))
            .arg(registration.keyCode)
            .arg(quint32(registration.modifiers), 0, 16);
    }

    quintptr lastRef = 0;
};

// The controller and its main window on a throwaway store, with every desktop service recorded.
class ControllerFixture : public testing::Test {
protected:
    // Returns the start-up's log.
    QString start() {
        return logOf([this] { controller.awakeFromNib(window, center, &poster); });
    }

    const bool appReady = (ensureApp(), true); // before any widget
    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath("prefs.plist")};
    Prefs prefs{defaults};
    RecordingUrlOpener opener;
    RecordingAlert alert;
    RecordingKeystrokePoster poster;
    RecordingHotKeyService service;
    HotKeyCenter center{service};
    SkerrinController controller{prefs, opener, alert};
    MainWindow window{controller};
};
