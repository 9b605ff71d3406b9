#include "Searcher.h"
#include "SkerrinService.h"
#include "TestSupport.h"

#include <QDBusPendingCall>

namespace {

// The alert as the person meets it: the event loop turns inside it until it is dismissed.
class ModalAlert : public Alert {
public:
    int shown = 0;
    std::function<bool()> dismissedWhen = [] { return true; };
    void show(const QString&, const QString&, const QString&) override {
        ++shown;
        EXPECT_TRUE(QTest::qWaitFor(dismissedWhen, 20000)) << "the alert was never dismissed";
    }
};

// Skerrin's services on a bus of the test's own, wired as the application wires them, and
// called by a stranger on another connection.
class ServiceLimits : public testing::Test {
protected:
    ServiceLimits() {
        QObject::connect(&service, &SkerrinService::serviceSearchRequested, &searcher,
                         &Searcher::searchForString);
        QObject::connect(&service, &SkerrinService::siteSearchRequested, &searcher,
                         &Searcher::searchOnSite);
        QObject::connect(&service, &SkerrinService::selectionSearchRequested, &searcher,
                         [this] { ++selectionSearches; });
        QObject::connect(&service, &SkerrinService::bringToFrontRequested, &searcher,
                         [this] { ++comingForward; });
        searcher.setSelectedTitle("Web");
        service.setHandOffs([this](const auto& title) { return searcher.handOffsFor(title); });
    }
    void SetUp() override { ASSERT_TRUE(service.publish(server)); }

    QDBusPendingCall call(const QString& method, const QVariantList& arguments) {
        QDBusMessage message =
            QDBusMessage::createMethodCall(SkerrinService::serviceName, SkerrinService::objectPath,
                                           SkerrinService::interfaceName, method);
        message.setArguments(arguments);
        return caller.asyncCall(message, 20000);
    }
    // The error name of each answer, empty for success, once all are in.
    static bool allAnswered(const QList<QDBusPendingCall>& calls) {
        return std::all_of(calls.cbegin(), calls.cend(),
                           [](const QDBusPendingCall& c) { return c.isFinished(); });
    }
    QStringList answers(const QList<QDBusPendingCall>& calls) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return allAnswered(calls); }, 20000));
        QStringList names;
        for (const QDBusPendingCall& c : calls)
            names.append(c.isError() ? c.error().name() : c.isFinished() ? "" : "unanswered");
        return names;
    }
    QString answer(const QString& method, const QVariantList& arguments) {
        return answers({call(method, arguments)}).value(0);
    }

    const bool appReady = (ensureApp(), true); // before the bus's connections
    QTemporaryDir dir;
    PrivateBus bus;
    QDBusConnection server = bus.connect("skerrin-side");
    QDBusConnection caller = bus.connect("stranger");
    UserDefaults defaults{dir.filePath("prefs.plist")};
    Prefs prefs{defaults};
    RecordingUrlOpener opener;
    ModalAlert alert;
    Searcher searcher{prefs, opener, alert};
    SkerrinService service;
    int selectionSearches = 0;
    int comingForward = 0;
};

} // namespace

// A text under the cap whose address is longer than a browser is handed goes no further either,
// and the log names the site, never the text.
TEST_F(ServiceLimits, TextOverTheCapIsRefusedAndNothingOpenedOrKept) {
    const QString mebibyte(1024 * 1024, 'a');
    const QString justUnder(Prefs::maxTextBytes - 1, 'b');
    const QString longest(UrlOpener::maxAddressLength - kSearchOnWeb.size(), 'c');
    EXPECT_EQ(answer("doServiceSearch", {mebibyte}), SkerrinService::tooLongError);
    EXPECT_EQ(answer("searchOnSite", {mebibyte, "Usenet"}), SkerrinService::tooLongError);
    const QString log = logOf([&] {
        EXPECT_EQ(answer("doServiceSearch", {justUnder}), "");
        EXPECT_EQ(answer("doServiceSearch", {longest}), "");
        ASSERT_TRUE(QTest::qWaitFor([&] { return opener.opened.size() == 1; }, 5000));
    });
    EXPECT_EQ(opener.opened, QStringList{kSearchOnWeb + longest});
    EXPECT_EQ(searcher.searchHistory(), QStringList{longest});
    EXPECT_TRUE(log.contains("] not searching on \"Web\": too long to hand to the browser\n"))
        << log.left(200).toStdString();
    EXPECT_FALSE(log.contains("bbbb") || log.contains("cccc"));
}

TEST_F(ServiceLimits, AFloodGetsTwentyHandOffsAndBusyAtOnceForTheRest) {
    // A request to search the selection carries no text, but may end in the browser all the same;
    // one to come forward raises the window over what the person is doing.
    QList<QDBusPendingCall> calls;
    for (int i = 0; i < 200; ++i)
        calls.append(i % 4 == 0   ? call("doServiceSearch", {QString("w%1").arg(i)})
                     : i % 4 == 1 ? call("searchOnSite", {QString("w%1").arg(i), "Usenet"})
                     : i % 4 == 2 ? call("searchSelection", {})
                                  : call("doBringToFront", {}));
    const QStringList names = answers(calls);
    EXPECT_EQ(names.count(""), SkerrinService::maxHandOffs);
    EXPECT_EQ(names.count(SkerrinService::busyError), 200 - SkerrinService::maxHandOffs);
    QTest::qWait(100); // a queued request would surface within the event loop's next turns
    EXPECT_EQ(opener.opened.size() + selectionSearches + comingForward,
              SkerrinService::maxHandOffs);
    EXPECT_GT(selectionSearches, 0);
    EXPECT_GT(comingForward, 0);
    EXPECT_EQ(answer("searchOnSite", {"x", "No Such Site"}), SkerrinService::unknownSiteError);
}

TEST_F(ServiceLimits, BlankCallsRaiseOneAlertAtATime) {
    QList<QDBusPendingCall> calls;
    for (int i = 0; i < 10; ++i)
        calls.append(call("doServiceSearch", {QString(i, ' ')}));
    // The person reads the first alert until every caller has had its answer.
    alert.dismissedWhen = [&] { return allAnswered(calls); };
    const QStringList names = answers(calls);
    EXPECT_EQ(names.count(""), 1);
    EXPECT_EQ(names.count(SkerrinService::busyError), 9);
    EXPECT_TRUE(QTest::qWaitFor([&] { return alert.shown == 1; }, 5000));
    alert.dismissedWhen = [] { return true; };
    EXPECT_EQ(answer("doServiceSearch", {"\t"}), "");
    EXPECT_TRUE(QTest::qWaitFor([&] { return alert.shown == 2; }, 5000));
    EXPECT_TRUE(opener.opened.isEmpty());
}
