#include "EngineReaders.h"
#include "PrefsWindowController.h"
#include "SearchUrlWindowController.h"
#include "SelectionCapture.h"
#include "SiteImporter.h"
#include "SuggestionFetcher.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QCompleter>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

// A site's suggestions on 127.0.0.1: each request's path is kept and answered with the body
// `answer` gives for it, or left hanging when that is null; a size declared larger than the
// body leaves the answer hanging too.
class SuggestServer : public QObject {
public:
    QStringList paths;
    int closedByClient = 0;
    std::function<QByteArray(const QString& path)> answer;
    qint64 declaredSize = -1;

    SuggestServer() {
        server.listen(QHostAddress::LocalHost);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(*socket); });
                connect(socket, &QTcpSocket::disconnected, this, [this] { ++closedByClient; });
            }
        });
    }
    QString urlTemplate() const {
        return QStringLiteral("http://127.0.0.1:%1/s?q=%@").arg(server.serverPort());
    }

private:
    void serve(QTcpSocket& socket) {
        QByteArray& buffer = pending[&socket];
        buffer += socket.readAll();
        for (qsizetype end; (end = buffer.indexOf("\r\n\r\n")) >= 0; buffer.remove(0, end + 4)) {
            const QString path = QString::fromLatin1(buffer.left(end).split(' ').value(1));
            paths.append(path);
            const QByteArray body = answer ? answer(path) : QByteArray();
            if (!body.isNull())
                socket.write("HTTP/1.1 200 OK\r\nContent-Type: application/x-suggestions+json\r\n"
                             "Content-Length: " +
                             QByteArray::number(declaredSize < 0 ? body.size() : declaredSize) +
                             "\r\n\r\n" + body);
        }
    }
    QTcpServer server;
    QHash<QTcpSocket*, QByteArray> pending;
};

void waitFor(const std::function<bool()>& condition) {
    EXPECT_TRUE(QTest::qWaitFor(condition, 3000));
}

// Long enough for a request the rest would have let go.
void waitOutTheRest() {
    QTest::qWait(SuggestionFetcher::restMs * 3);
}

class Suggestions : public ControllerFixture {
protected:
    void SetUp() override {
        start();
        controller.getSearchList().searchUrls()[0].setSuggestUrl(server.urlTemplate());
        controller.getSearchList().searchUrls()[1].setKeyword("ng");
        prefs.setBool(PrefKeys::suggestSearches, true);
        controller.searchHistoryModel().setStringList({"alpha old", "beta", "alpine"});
    }
    QLineEdit& field() { return *child<QComboBox>(window, "searchText").lineEdit(); }
    QStringList listed() {
        return static_cast<QStringListModel*>(field().completer()->model())->stringList();
    }
    SuggestServer server;
};

} // namespace

// Keys typed close together ask once; the site's suggestions come first, then the history
// that begins with the text, newest first; Return still searches what was typed.
TEST_F(Suggestions, ListedAboveTheMatchingHistoryAfterOneRequest) {
    server.answer = [](const QString&) { return R"(["al", ["alps", "alpha old", "alpaca"]])"; };
    QTest::keyClicks(&field(), "al");
    waitFor([&] { return listed().size() == 4; });
    EXPECT_EQ(listed(), QStringList({"alps", "alpha old", "alpaca", "alpine"}));
    waitOutTheRest();
    EXPECT_EQ(server.paths, QStringList{"/s?q=al"});
    QTest::keyClick(&field(), Qt::Key_Return);
    EXPECT_EQ(opener.opened.value(0), "http://www.google.com/search?q=al");
}

TEST_F(Suggestions, AKeyTypedWhileAskingAbortsTheRequestInFlight) {
    server.answer = [](const QString& path) {
        return path.endsWith("ab") ? QByteArray(R"(["ab", ["abc"]])") : QByteArray();
    };
    QTest::keyClicks(&field(), "a");
    waitFor([&] { return server.paths.size() == 1; });
    QTest::keyClicks(&field(), "b");
    waitFor([&] { return server.closedByClient == 1 && listed() == QStringList{"abc"}; });
    EXPECT_EQ(server.paths, QStringList({"/s?q=a", "/s?q=ab"}));
}

// Only what the person types, for a site with suggestions not opened privately, with the
// preference on; a keyword alone names a site and is no search yet.
TEST_F(Suggestions, NothingIsAskedUnlessThePersonTypesAText) {
    server.answer = [](const QString&) { return R"(["x", ["x"]])"; };
    const std::function<void()> cases[] = {
        [&] { window.bringToFrontWithText("put there"); },
        [&] { QTest::keyClicks(&field(), "ng"); },
        [&] {
            controller.getSearchList().searchUrls()[0].setPrivateWindow(true);
            QTest::keyClicks(&field(), "private");
            controller.getSearchList().searchUrls()[0].setPrivateWindow(false);
        },
        [&] {
            prefs.setBool(PrefKeys::suggestSearches, false);
            QTest::keyClicks(&field(), "typed");
        },
    };
    for (const auto& act : cases) {
        field().clear();
        act();
        waitOutTheRest();
        EXPECT_TRUE(server.paths.isEmpty()) << server.paths.join(' ').toStdString();
    }
}

// The last of the General page's options, off by default, says what it sends where.
TEST_F(Suggestions, ThePreferenceIsTheLastOptionAndSaysWhatItSends) {
    EXPECT_FALSE(PrefKeys::suggestSearches.defaultValue);
    PrefsWindowController prefsWindow({controller, *controller.selectionCapture()}, prefs, center);
    QLayout& options = *child<QGroupBox>(prefsWindow, "optionsBox").layout();
    auto* box = qobject_cast<QCheckBox*>(options.itemAt(options.count() - 1)->widget());
    ASSERT_EQ(box, &child<QCheckBox>(prefsWindow, "suggestSearchesButton"));
    EXPECT_TRUE(box->isChecked());
    EXPECT_FALSE(box->toolTip().isEmpty());
    EXPECT_EQ(box->accessibleDescription(), box->toolTip());
    box->click();
    EXPECT_FALSE(prefs.getBool(PrefKeys::suggestSearches));
}

// A server that takes too long or announces too much is dropped in time, while the loop runs.
TEST(SuggestionFetcher, SlowOrOversizedAnswersShowNothing) {
    ensureApp();
    for (const auto& [declared, least, most] :
         {std::tuple{qint64(-1), 1000, 1800}, std::tuple{qint64(70 * 1024), 0, 800}}) {
        SuggestServer server;
        server.declaredSize = declared;
        server.answer = [&](const QString&) {
            return declared < 0 ? QByteArray() : QByteArray(R"(["a", ["a)") + QByteArray(1024, 'a');
        };
        SuggestionFetcher fetcher;
        QSignalSpy suggested(&fetcher, &SuggestionFetcher::suggested);
        QElapsedTimer asked;
        asked.start();
        fetcher.ask("a", QUrl(QString(server.urlTemplate()).replace("%@", "a")));
        waitFor([&] { return server.closedByClient == 1; });
        EXPECT_GE(asked.elapsed(), least);
        EXPECT_LE(asked.elapsed(), most + SuggestionFetcher::restMs);
        EXPECT_TRUE(suggested.isEmpty());
    }
}

TEST(SuggestionFetcher, ReadsOnlyOpenSearchSuggestions) {
    const std::pair<QByteArray, QStringList> cases[] = {
        {R"(["a", ["ab", " ab ", "", 3, "a  c"], ["descriptions"]])", {"ab", "a c"}},
        {R"(["a", ["1","2","3","4","5","6","7","8","9"]])",
         {"1", "2", "3", "4", "5", "6", "7", "8"}},
        {"not json", {}},
        {R"({"a": ["ab"]})", {}},
        {R"(["a", "ab"])", {}},
        {R"([["a"], ["ab"]])", {}},
    };
    for (const auto& [json, expected] : cases)
        EXPECT_EQ(SuggestionFetcher::parse(json), expected) << json.toStdString();
}

// Beside the classic list, only when a site has one; from each kind of engine file, back out
// in OpenSearch, and checked in the editor like an address.
TEST(SuggestionAddress, StoredImportedExportedAndEdited) {
    ensureApp();
    SearchList list;
    EXPECT_FALSE(list.storedBeside().value("searchListSuggestions").isValid());
    list.searchUrls()[2].setSuggestUrl("https://s.example/?q=%@&t=a\tb");
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("prefs.plist"));
    Prefs(defaults).saveSearchList(list, "searchList");
    EXPECT_EQ(Searcher::loadSearchList(defaults)->searchUrls(), list.searchUrls());

    const QString samples = QStringLiteral(SKERRIN_SOURCE_DIR "/tests/data/import/");
    const QString firefox = R"({"engines": [{"_name": "Fox", "_urls": [
        {"template": "https://fox.example/s?q={searchTerms}"},
        {"type": "application/x-suggestions+json", "template": "https://fox.example/ac",
         "params": [{"name": "q", "value": "{searchTerms}"}]}]}]})";
    const std::pair<FoundEngine, QString> cases[] = {
        {readChromiumWebData(samples + "chromium-Web Data").engines.value(0),
         "https://duckduckgo.com/ac/?q=%@&type=list"},
        {readOpenSearch(readFile(samples + "opensearch-wiki.xml")).engines.value(0),
         "https://wiki.example.org/suggest?q=%@"},
        {readFirefoxSearchJson(firefox.toUtf8()).engines.value(0), "https://fox.example/ac?q=%@"},
    };
    for (const auto& [engine, expected] : cases) {
        const auto site = SiteImporter::siteFromEngine(engine);
        ASSERT_EQ(site.index(), 0) << engine.title.toStdString();
        EXPECT_EQ(std::get<0>(site).suggestUrl(), expected);
        const QByteArray exported = SiteImporter::openSearchDescription(std::get<0>(site));
        EXPECT_EQ(readOpenSearch(exported).engines.value(0).suggestTemplate,
                  QString(expected).replace("%@", "{searchTerms}"));
    }

    SearchUrlWindowController editor;
    editor.setSearchUrl(SearchUrl("http://a.example/?q=%@", "A", "7"));
    const std::array<const char*, 3> typed[] = {
        {"", "", ""},
        {"s.example/?q=%s", "the suggestion address is not a web address", ""},
        {"http://s.example/", "the suggestion address has no %@ for the search text", ""},
        {"http://s.example/?q=%s", "", "http://s.example/?q=%@"},
    };
    for (const auto& [input, problem, kept] : typed) {
        child<QLineEdit>(editor, "suggestUrl").setText(input);
        EXPECT_EQ(child<QLabel>(editor, "suggestUrlProblem").text(), problem) << input;
        click(editor, "okButton");
        EXPECT_EQ(editor.searchUrl().suggestUrl(), *kept ? kept : "") << input;
    }
}
