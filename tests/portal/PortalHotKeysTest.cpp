// The hot key library against the real desktop portal (xdg-desktop-portal), on the session bus
// this process runs on, with a small backend of the tests' own standing in for the desktop.
#include "HotKeyCenter.h"
#include "KeyCombo.h"
#include "PortalHotKeyService.h"
#include "TestHome.h"

#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cstdio>

const QString kBackendName = QStringLiteral("org.freedesktop.impl.portal.desktop.skerrintest");
const QString kDesktop = QStringLiteral("skerrintest");
const QString kPortalName = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kOpenUrl = QStringLiteral("OpenUrlHotKey");
const QString kBringToFront = QStringLiteral("BringToFrontHotKey");

// Portal and backend serve the same path, called on the shared connection.
QDBusMessage callOn(const QString& name, const QString& interface, const QString& method,
                    const QVariantList& arguments = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        name, QStringLiteral("/org/freedesktop/portal/desktop"), interface, method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call);
}

QDBusMessage callBackend(const QString& method, const QVariantList& arguments = {}) {
    return callOn(kBackendName, "org.skerrin.test.ShortcutsBackend", method, arguments);
}

// Every shortcut granted to a session still open, as "<id> <trigger>".
QStringList granted() {
    return callBackend("Granted").arguments().value(0).toStringList();
}

bool press(const QString& id, bool down) {
    return callBackend("Press", {id, down}).arguments().value(0).toBool();
}

// A center that sees every report on its way, releases included, and the actions it fires, by
// name.
class Recorder : public HotKeyCenter {
    Q_OBJECT
public:
    using HotKeyCenter::HotKeyCenter;
    qint32 handleHotKeyEvent(const HotKeyEvent& event) override {
        kinds.append(event.kind);
        return HotKeyCenter::handleHotKeyEvent(event);
    }

    QList<quint32> kinds;
    QStringList fired;
public slots:
    void openUrlHotKey(QObject*) { fired.append(kOpenUrl); }
    void hotKeyDown(QObject*) { fired.append(kBringToFront); }
};

class PortalHotKeys : public testing::Test {
protected:
    void SetUp() override {
        callBackend("SetUntriggered", {QStringList()});
        // Qt calls the portal early on its shared connection, which ties that connection to no
        // app id: a registration there would be refused. So does a call the portal answers
        // without the desktop.
        callOn(
            kPortalName, "org.freedesktop.portal.GlobalShortcuts", "ListShortcuts",
            {QVariant::fromValue(QDBusObjectPath("/org/freedesktop/portal/desktop/session/none")),
             QVariantMap()});
        // Portals before the registry (1.19) know a program only by its cgroup, which the test
        // has none of.
        registry = callOn(kPortalName, "org.freedesktop.DBus.Introspectable", "Introspect")
                       .arguments()
                       .value(0)
                       .toString()
                       .contains("org.freedesktop.host.portal.Registry");
        service = PortalHotKeyService::create("org.skerrin.Test");
        ASSERT_TRUE(service);
        center = std::make_unique<Recorder>(*service);
    }
    void TearDown() override {
        center.reset();
        service.reset();
        // The sessions closed with the service: nothing stays granted for the next test.
        EXPECT_TRUE(waitUntil([] { return granted().isEmpty(); }));
    }

    // Adds the two keys as Skerrin's start-up does, bring-to-front again last, and waits for the
    // desktop's answers, by name. Both go to the desktop in one session and one binding, which
    // the portal names the program in.
    QMap<QString, bool> addBothAndSettle() {
        QSignalSpy settled(center.get(), &HotKeyCenter::hotKeyBindingSettled);
        for (const QString& name : {kBringToFront, kOpenUrl, kBringToFront}) {
            const bool openUrl = name == kOpenUrl;
            EXPECT_TRUE(
                center->addHotKey(name, KeyCombo::keyComboWithKeyCode(103, openUrl ? 0x900 : 0x100),
                                  center.get(), openUrl ? "openUrlHotKey" : "hotKeyDown"));
        }
        waitUntil([&] { return settled.size() >= 2; });
        const QList<QVariant> asked = callBackend("Asked").arguments();
        EXPECT_EQ(asked.value(0).toStringList(), QStringList{registry ? "org.skerrin.Test" : ""});
        EXPECT_EQ(qdbus_cast<QList<uint>>(asked.value(1)), QList<uint>{2});
        QMap<QString, bool> answers;
        for (const QList<QVariant>& answer : settled)
            answers.insert(answer.at(0).toString(), answer.at(1).toBool());
        return answers;
    }

    bool registry = false;
    std::unique_ptr<PortalHotKeyService> service;
    std::unique_ptr<Recorder> center;
};

// The desktop gives the bring-to-front key its trigger and the open-URL key none: that one is
// told in plain words until the person sets it in the desktop's settings; both then work.
TEST_F(PortalHotKeys, BothKeysAreBoundAndOneGivenNoTriggerIsToldUntilTheDesktopSetsIt) {
    callBackend("SetUntriggered", {QStringList{kOpenUrl}});
    const QMap<QString, bool> answers = addBothAndSettle();
    EXPECT_EQ(answers, (QMap<QString, bool>{{kOpenUrl, true}, {kBringToFront, true}}));
    EXPECT_EQ(granted(), QStringList({kBringToFront + " LOGO+F11", kOpenUrl + " "}));
    const QString notSet = "Super+Alt+F11: not approved by the desktop";
    EXPECT_EQ(center->keyStateText(kOpenUrl), notSet);
    EXPECT_EQ(center->keyStateText(kBringToFront), "LOGO+F11: working");
    // A desktop that cannot be asked to show its settings: the person is told where they are.
    EXPECT_EQ(center->keyStatesText({kOpenUrl}),
              service->canConfigureKeys()
                  ? notSet
                  : notSet + "\nKeys are set in your desktop's keyboard settings: look for "
                             "Skerrin among the shortcuts of applications.");
    // Where the portal can be asked, Change in the Desktop… shows the desktop's settings.
    if (service->canConfigureKeys()) {
        EXPECT_TRUE(center->configureDesktopKeys());
        EXPECT_TRUE(
            waitUntil([] { return callBackend("Asked").arguments().value(2).toUInt() == 1; }));
    }

    // The person sets it in the desktop's settings: it works with nothing more to tell.
    QSignalSpy settled(center.get(), &HotKeyCenter::hotKeyBindingSettled);
    callBackend("Reassign", {kOpenUrl, "LOGO+ALT+F11"});
    ASSERT_TRUE(settled.wait());
    EXPECT_EQ(settled.value(0), (QVariantList{kOpenUrl, true}));
    EXPECT_EQ(center->desktopTrigger(kOpenUrl), "LOGO+ALT+F11");
    EXPECT_EQ(center->keyStatesText({kOpenUrl}), "LOGO+ALT+F11: working");

    QSignalSpy tokens(center.get(), &HotKeyCenter::activationTokenGiven);
    ASSERT_TRUE(press(kOpenUrl, true));
    ASSERT_TRUE(waitUntil([&] { return !center->fired.isEmpty(); }));
    ASSERT_TRUE(press(kOpenUrl, false));
    ASSERT_TRUE(press(kBringToFront, true));
    ASSERT_TRUE(waitUntil([&] { return center->fired.size() >= 2; }));
    EXPECT_EQ(center->fired, QStringList({kOpenUrl, kBringToFront}));
    EXPECT_EQ(center->kinds,
              (QList<quint32>{HotKeyEvent::pressed, HotKeyEvent::released, HotKeyEvent::pressed}));
    EXPECT_EQ(tokens.value(0).value(0).toString(), "token-" + kOpenUrl);

    // A removed key lets go of its shortcut; the other stays.
    center->removeHotKey(kOpenUrl);
    EXPECT_TRUE(waitUntil([] { return granted() == QStringList{kBringToFront + " LOGO+F11"}; }));
}

// Starts the backend and the portal in a home of their own, on the session bus this runs on.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const TestHome home;
    QProcessEnvironment env = home.environment();
    env.insert("XDG_CURRENT_DESKTOP", kDesktop);
    env.insert("XDG_DESKTOP_PORTAL_DIR", home.path("portals"));
    for (const QString& name : env.keys())
        qputenv(name.toUtf8(), env.value(name).toUtf8());
    // Whatever the bus starts for the portal runs in this home too.
    if (runProgram(QProcessEnvironment::systemEnvironment(), "dbus-update-activation-environment",
                   env.keys())
            .exitCode != 0) {
        std::fprintf(stderr, "the session bus did not take the test's environment\n");
        return 1;
    }
    writeFile(home.path("portals/skerrintest.portal"),
              QStringLiteral("[portal]\nDBusName=%1\nInterfaces=org.freedesktop.impl.portal."
                             "GlobalShortcuts;\nUseIn=%2\n")
                  .arg(kBackendName, kDesktop)
                  .toUtf8());
    // The registry takes only an app id the desktop has an entry for.
    writeFile(home.path(".local/share/applications/org.skerrin.Test.desktop"),
              "[Desktop Entry]\nType=Application\nName=Test\nExec=true\n");
    writeFile(home.path(".config/xdg-desktop-portal/portals.conf"),
              ("[preferred]\ndefault=" + kDesktop + "\n").toUtf8());

    QProcess backend;
    QProcess portal;
    // The system's own interpreter: python3-dbus and python3-gi are installed for it.
    const std::tuple<QProcess*, QString, QStringList, QString> programs[] = {
        {&backend, "/usr/bin/python3", {PORTAL_BACKEND_SCRIPT, kBackendName}, kBackendName},
        {&portal, XDG_DESKTOP_PORTAL_BIN, {"--replace"}, kPortalName},
    };
    for (const auto& [process, program, arguments, name] : programs) {
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(program, arguments);
        if (!waitUntil([&] {
                return QDBusConnection::sessionBus().interface()->isServiceRegistered(name);
            })) {
            std::fprintf(stderr, "%s did not take its name\n", qPrintable(program));
            return 1;
        }
    }
    const int failed = RUN_ALL_TESTS();
    stopProcess(portal);
    stopProcess(backend);
    return failed;
}

#include "PortalHotKeysTest.moc"
