#include "EngineReaders.h"
#include "SearchUrlWindowController.h"
#include "SiteImporter.h"
#include "TestSupport.h"

#include <QLabel>
#include <QLineEdit>

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
