#pragma once

#include "Alert.h"
#include "ClipboardSelectionReader.h"
#include "HotKeysTestSupport.h"
#include "KeystrokePoster.h"
#include "MainWindow.h"
#include "Prefs.h"
#include "SearchList.h"
#include "SkerrinController.h"
#include "UrlOpener.h"
#include "UserDefaults.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDBusConnection>
#include <QLabel>
#include <QMimeData>
#include <QTemporaryDir>

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

// Each pair of a window's labels and buttons, and of `more` texts (its pages' titles), that
// share a mnemonic, as "first and second".
inline QStringList mnemonicClashes(QWidget& window, QStringList more = {}) {
    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (const auto* button = qobject_cast<QAbstractButton*>(control))
            more.append(button->text());
        else if (const auto* label = qobject_cast<QLabel*>(control))
            more.append(label->text());
    }
    QMap<QChar, QString> mnemonics;
    QStringList clashes;
    for (const QString& text : more) {
        const qsizetype amp = text.indexOf('&');
        if (amp < 0 || amp + 1 >= text.size() || text.at(amp + 1) == '&')
            continue;
        const QChar key = text.at(amp + 1).toLower();
        if (mnemonics.contains(key))
            clashes.append(mnemonics.value(key) + " and " + text);
        mnemonics.insert(key, text);
    }
    return clashes;
}

inline QStringList popUpTitles(QWidget& mainWindow) {
    auto& menu = child<QComboBox>(mainWindow, "searchListMenu");
    QStringList titles;
    for (int i = 0; i < menu.count(); ++i)
        titles.append(menu.itemText(i));
    return titles;
}

// A session bus of the test's own, with connections to it by name; all end with it.
class PrivateBus {
public:
    PrivateBus() {
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        daemon.waitForReadyRead(5000);
        address = QString::fromUtf8(daemon.readLine()).trimmed();
    }
    ~PrivateBus() {
        for (const QString& name : names)
            QDBusConnection::disconnectFromBus(name);
        daemon.kill();
        daemon.waitForFinished();
    }
    QDBusConnection connect(const QString& name) {
        names.append(name);
        return QDBusConnection::connectToBus(address, name);
    }

    QString address;

private:
    QProcess daemon;
    QStringList names;
};

// Remembers what would have reached the browser.
class RecordingUrlOpener : public UrlOpener {
public:
    QStringList opened;
    QStringList openedPrivately; // those of `opened` asked for in a private window

protected:
    bool launch(const QString& address, Window window) override {
        opened.append(address);
        if (window == Window::Private)
            openedPrivately.append(address);
        return true;
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
    void inhibitLocalEvents(bool on) override { calls.append(on ? "inhibit" : "uninhibit"); }
    void enableEventStateCombining(bool on) override { calls.append(on ? "combine" : "separate"); }
    int postKeyboardEvent(int charCode, int keyCode, bool keyDown) override {
        calls.append(QString("post %1 %2 %3").arg(charCode).arg(keyCode).arg(keyDown));
        if (keyCode == 8 && !keyDown && onCopy)
            onCopy();
        return answer;
    }
};

// The controller and its main window on a throwaway store, with every desktop service recorded.
class ControllerFixture : public testing::Test {
protected:
    // Returns the start-up's log.
    QString start() {
        return logOf([this] { controller.awakeFromNib(window, center, poster, reader); });
    }

    const bool appReady = (ensureApp(), true); // before any widget
    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath("prefs.plist")};
    Prefs prefs{defaults};
    RecordingUrlOpener opener;
    RecordingAlert alert;
    RecordingKeystrokePoster poster;
    ClipboardSelectionReader reader;
    RecordingHotKeyService service;
    HotKeyCenter center{service};
    SkerrinController controller{prefs, opener, alert};
    MainWindow window{controller.searchHistoryModel()};
};
