#include "SearchUrlWindowController.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

SearchUrl privateGroup() {
    SearchUrl site("https://a.example/?q=%@", "Both", "8", InputEncoding::Utf8, SpaceStyle::Plus,
                   "ab");
    site.setUrls({site.url(), "https://b.example/?q=%@", "https://c.example/%@"});
    site.setPrivateWindow(true);
    return site;
}

} // namespace

// OK on a group that opens privately, nothing touched, gives back the very same site.
TEST(SiteEditing, GroupOpeningPrivatelyComesBackUnchangedFromOk) {
    ensureApp();
    SearchUrlWindowController editor;
    editor.setSearchUrl(privateGroup());
    EXPECT_EQ(child<QPlainTextEdit>(editor, "moreUrls").toPlainText(),
              "https://b.example/?q=%@\nhttps://c.example/%@");
    EXPECT_TRUE(child<QCheckBox>(editor, "privateWindow").isChecked());
    click(editor, "okButton");
    EXPECT_EQ(editor.searchUrl(), privateGroup());
}

// The further addresses, one a line, follow the first one's rules; their problems show beside
// them, and ten addresses are the most.
TEST(SiteEditing, FurtherAddressesAreCheckedBesideTheirFieldUpToTen) {
    ensureApp();
    SearchUrlWindowController editor;
    editor.setSearchUrl(SearchUrl("https://a.example/?q=%s", "A", "8"));
    auto& more = child<QPlainTextEdit>(editor, "moreUrls");
    const auto& beside = child<QLabel>(editor, "moreUrlsProblem");
    QStringList eleven;
    for (int i = 0; i < 10; ++i)
        eleven.append(QStringLiteral("https://%1.example/?q=%s").arg(i));
    // Typed, what shows beside it, the addresses kept on OK (none while OK waits).
    const std::tuple<QString, QString, QStringList> cases[] = {
        {" https://b.example/?q=%s\n\nhttps://c.example/?q={searchTerms}\n",
         "",
         {"https://a.example/?q=%@", "https://b.example/?q=%@", "https://c.example/?q=%@"}},
        {"https://b.example/", "address 2 has no %@ for the search text", {}},
        {"b.example/?q=%s", "address 2 is not a web address", {}},
        {eleven.join('\n'), "a site opens 10 addresses at most", {}},
    };
    for (const auto& [typed, problem, kept] : cases) {
        more.setPlainText(typed);
        EXPECT_EQ(beside.text(), problem) << typed.toStdString();
        EXPECT_EQ(beside.isVisibleTo(&editor), !problem.isEmpty());
        EXPECT_EQ(more.accessibleDescription(), problem);
        EXPECT_EQ(child<QLabel>(editor, "urlProblem").text(), "");
        EXPECT_EQ(child<QPushButton>(editor, "okButton").isEnabled(), problem.isEmpty());
        click(editor, "okButton");
        if (!kept.isEmpty()) {
            EXPECT_EQ(editor.searchUrl().urls(), kept);
        }
    }
}

// Beside "Open in a private window" a line tells when the browser will not; each of the
// editor's mnemonics is one control's.
TEST(SiteEditing, PrivateWindowSaysWhenTheBrowserCannotAndMnemonicsAreUnique) {
    ensureApp();
    SearchUrlWindowController editor;
    using Support = PrivateWindowCommand::Support;
    const std::pair<Support, QString> notes[] = {
        {Support::Action, ""},
        {Support::Flag, ""},
        {Support::None,
         "Your default browser cannot open private windows: the address opens normally."},
        {Support::BrowserVariable,
         "$BROWSER is set: it opens the address, not in a private window."},
    };
    const auto& note = child<QLabel>(editor, "privateNote");
    for (const auto& [support, text] : notes) {
        editor.setPrivateWindowSupport(support);
        EXPECT_EQ(note.text(), text);
        EXPECT_EQ(note.isVisibleTo(&editor), !text.isEmpty());
    }
    EXPECT_EQ(mnemonicClashes(editor), QStringList());
}
