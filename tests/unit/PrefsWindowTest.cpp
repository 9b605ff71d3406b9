#include "KeyComboPanel.h"
#include "PrefsWindowController.h"
#include "SearchListModel.h"
#include "SearchUrlWindowController.h"
#include "SelectionCapture.h"
#include "TestSupport.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>

namespace {

struct PanelRun {
    QString title, shown;
    bool noPostCopy;
    bool ignoringHotKeys;
};

class PrefsWindow : public ControllerFixture {
protected:
    void SetUp() override { start(); }

    void TearDown() override {
        KeyComboPanel::setModalRunnerForTesting({});
        SearchUrlWindowController::setModalRunnerForTesting({});
        for (const QPointer<PrefsWindowController>& prefsWindow : opened)
            delete prefsWindow.data();
    }

    // A window at one of its pages: 0 General, 1 Hot keys, 2 Search sites.
    PrefsWindowController& open(int page = 0) {
        auto* prefsWindow =
            new PrefsWindowController({controller, *controller.selectionCapture()}, prefs, center);
        child<QTabWidget>(*prefsWindow, "pages").setCurrentIndex(page);
        QObject::connect(prefsWindow, &PrefsWindowController::searchListChanged, &controller,
                         &SkerrinController::updateList);
        opened.append(prefsWindow);
        return *prefsWindow;
    }
    // A window shown on the screen at its sites, its site table with the keyboard focus.
    QTableView& openShown() {
        PrefsWindowController& prefsWindow = open(2);
        prefsWindow.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&prefsWindow));
        auto& table = child<QTableView>(prefsWindow, "urlList");
        table.setFocus();
        return table;
    }

    // Every panel run from now on: remember what it showed, then the person does `act` to the
    // panel and presses `button`.
    void personInPanel(std::function<void(KeyComboPanel&)> act, const char* button) {
        KeyComboPanel::setModalRunnerForTesting([this, act, button](KeyComboPanel& panel) {
            panelRuns.append({panel.windowTitle(), panel.textField()->text(),
                              prefs.getTempObject("noPostCopy").isValid(),
                              SBApplication::ignoreEvents()});
            act(panel);
            click(panel, button);
            return panel.result();
        });
    }

    // Every site editor run from now on: remember the site it showed, then the person types the
    // title, an address where there is none, and presses `button`.
    void personInEditor(const QString& title, const char* button) {
        SearchUrlWindowController::setModalRunnerForTesting(
            [this, title, button](SearchUrlWindowController& editor) {
                editorRuns.append(fieldsOf(editor));
                child<QLineEdit>(editor, "title").setText(title);
                if (text(editor, "url").isEmpty())
                    child<QLineEdit>(editor, "url").setText("https://pics.example/?q=%s");
                click(editor, button);
                return editor.result();
            });
    }

    QStringList liveTitles() { return titlesOf(controller.getSearchList()); }

    static bool closesAndGoes(QWidget& prefsWindow) {
        QPointer<QWidget> guard(&prefsWindow);
        return QTest::qWaitFor([&] { return guard.isNull(); }, 5000);
    }

    QList<QPointer<PrefsWindowController>> opened;
    QList<PanelRun> panelRuns;
    QList<QStringList> editorRuns;
    const QStringList defaultTitles = titlesOf(SearchList());
};

// Each hot key's controls, store keys, scratch name and modifiers at start; the open-URL key's
// capture must stop the post-copy, and its press starts a capture.
const struct HotKeyCase {
    const char *button, *field, *codeKey, *modifiersKey, *scratchKey;
    bool openUrl;
    qint32 startModifiers;
} kHotKeys[] = {
    {"editHotKeyButton", "hotKeyTextField", "keyCode", "keyCodeMod", "mCombo", false, 0x100},
    {"editAutoSearchButton", "autoSearchTextField", "openUrlKey", "openUrlKeyMod", "urlCombo", true,
     0x900},
};

class PrefsHotKey : public PrefsWindow, public testing::WithParamInterface<int> {
protected:
    QString startShown() const {
        return KeyCombo::keyComboWithKeyCode(103, c.startModifiers)->linuxDisplayText();
    }

    const HotKeyCase& c = kHotKeys[GetParam()];
    const KeyComboRef newCombo = KeyCombo::keyComboWithKeyCode(96, 0x1200);
};

} // namespace

// Each option shows the stored choice ("pasteText" is set on at every start), and a change is
// stored at once, which Cancel does not undo; the entry "Start at login" writes is the
// start-at-login tests'.
TEST_F(PrefsWindow, OptionsShowTheStoredChoiceAndAChangeIsStoredAtOnceAndOutlivesCancel) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    prefs.setInt("readSelection", 1);
    // The check box, its key ("" for the start-at-login entry) and whether it starts on.
    const std::tuple<const char*, const char*, bool> boxes[] = {
        {"pasteTextButton", "pasteText", true},
        {"copySelectedTextButton", "copyText", true},
        {"tryAsUrlButton", "tryAsUrl", true},
        {"rememberSearchesButton", "rememberSearches", true},
        {"panelIconButton", "showPanelIcon", true},
        {"restoreClipboardButton", "restoreClipboard", false},
        {"startAtLoginButton", "", false},
    };
    // What a click stored: the key's value, or whether the start-at-login entry is there.
    const auto stored = [&](const char* key) {
        return *key ? defaults.objectForKey(key).toBool()
                    : QFile::exists(dir.filePath("autostart/" SKERRIN_APP_ID ".desktop"));
    };
    PrefsWindowController& prefsWindow = open();
    QSignalSpy panelIconSwitched(&prefsWindow, &PrefsWindowController::panelIconChanged);
    for (const auto& [box, key, on] : boxes) {
        EXPECT_EQ(child<QCheckBox>(prefsWindow, box).isChecked(), on) << box;
        click(prefsWindow, box);
        EXPECT_EQ(stored(key), !on) << box;
    }
    EXPECT_EQ(panelIconSwitched.size(), 1);
    auto& popUp = child<QComboBox>(prefsWindow, "readSelectionPopUp");
    EXPECT_EQ(popUp.currentText(), "Primary only");
    popUp.setCurrentIndex(2);
    emit popUp.activated(2);
    EXPECT_EQ(defaults.objectForKey("readSelection"), QVariant(2.0));
    click(prefsWindow, "cancelButton");
    EXPECT_TRUE(closesAndGoes(prefsWindow));
    PrefsWindowController& next = open();
    for (const auto& [box, key, on] : boxes)
        EXPECT_NE(child<QCheckBox>(next, box).isChecked(), on) << box;
    EXPECT_EQ(child<QComboBox>(next, "readSelectionPopUp").currentText(), "Copy only");
    qputenv("XDG_CONFIG_HOME", saved);
}

TEST_P(PrefsHotKey, ConfirmedKeyIsLiveStoredAndShownOutlivesCancelAndCanBeCleared) {
    PrefsWindowController& openBefore = open();
    PrefsWindowController& prefsWindow = open();
    personInPanel([this](KeyComboPanel& panel) { panel.setKeyCombo(newCombo); }, "okButton");
    click(prefsWindow, c.button);

    ASSERT_EQ(panelRuns.size(), 1);
    EXPECT_EQ(panelRuns[0].title, c.openUrl ? "Set the key that searches the selection"
                                            : "Set the key that brings Skerrin forward");
    EXPECT_EQ(panelRuns[0].shown, startShown());
    EXPECT_TRUE(panelRuns[0].ignoringHotKeys);
    EXPECT_EQ(panelRuns[0].noPostCopy, c.openUrl);
    EXPECT_FALSE(SBApplication::ignoreEvents());
    EXPECT_FALSE(prefs.getTempObject("noPostCopy").isValid());
    // A press of the new combination reaches this key's action.
    const HotKeyId pressed = service.live.value(service.refOf(96, 0x1200)).id;
    const QString log = logOf([&] { center.handleHotKeyEvent({.id = pressed}); });
    EXPECT_EQ(controller.selectionCapture()->underWay(), c.openUrl);
    EXPECT_EQ(log.contains("eh!"), !c.openUrl) << log.toStdString();
    EXPECT_EQ(text(prefsWindow, c.field), newCombo->linuxDisplayText());

    click(prefsWindow, "cancelButton");
    ASSERT_TRUE(closesAndGoes(prefsWindow));
    EXPECT_EQ(defaults.objectForKey(c.codeKey), QVariant(96.0));
    EXPECT_EQ(defaults.objectForKey(c.modifiersKey), QVariant(4608.0));
    PrefsWindowController& next = open();
    EXPECT_EQ(text(next, c.field), newCombo->linuxDisplayText());
    EXPECT_EQ(text(openBefore, c.field), startShown());

    personInPanel([](KeyComboPanel& panel) { click(panel, "clearButton"); }, "okButton");
    click(next, c.button);
    EXPECT_EQ(defaults.objectForKey(c.codeKey), QVariant(-1.0)) << "a cleared key";
    EXPECT_EQ(defaults.objectForKey(c.modifiersKey), QVariant(-1.0));
    EXPECT_EQ(text(next, c.field), KeyCombo::clearKeyCombo()->linuxDisplayText());
    EXPECT_EQ(service.live.size(), 1) << "only the other hot key is grabbed";
}

TEST_P(PrefsHotKey, PanelCancelledOrHoldingNoKeyChangesNothing) {
    const QStringList callsBefore = service.calls;
    PrefsWindowController& cancelled = open();
    personInPanel([this](KeyComboPanel& panel) { panel.setKeyCombo(newCombo); }, "cancelButton");
    click(cancelled, c.button);
    EXPECT_EQ(text(cancelled, c.field), startShown());

    prefs.removeTempObject(c.scratchKey);
    logOf([&] {
        PrefsWindowController& withoutAKey = open();
        personInPanel([](KeyComboPanel&) {}, "okButton");
        click(withoutAKey, c.button);
        EXPECT_EQ(text(withoutAKey, c.field), "");
    });
    EXPECT_EQ(panelRuns.size(), 2);
    EXPECT_EQ(service.calls, callsBefore);
    EXPECT_FALSE(defaults.objectForKey(c.codeKey).isValid());
    EXPECT_FALSE(prefs.getTempObject(c.scratchKey).isValid());
}

// 0: the bring-to-front key, 1: the open-URL key.
INSTANTIATE_TEST_SUITE_P(BothKeys, PrefsHotKey, testing::Values(0, 1));

// Add opens the editor on a new site: its title selected, to be typed over, its address empty
// with an example in its place and OK waiting for one. Cancel there takes the site away again;
// OK keeps it for the run, whichever way the window closes, and only the window's OK stores it.
TEST_F(PrefsWindow, AddedSiteIsTypedInFromBlankCancelledAwayAndOnlyOkStoresTheList) {
    // The editor's button and the title typed, then how the window is closed.
    const std::tuple<const char*, const char*, void (*)(PrefsWindowController&)> runs[] = {
        {"cancelButton", "Gone", [](PrefsWindowController& w) { click(w, "cancelButton"); }},
        {"okButton", "Wiki", [](PrefsWindowController& w) { w.close(); }},
        {"okButton", "Pics", [](PrefsWindowController& w) { click(w, "okButton"); }},
    };
    QStringList started;
    for (const auto& [editorButton, title, closeIt] : runs) {
        EXPECT_FALSE(defaults.objectForKey("searchList").isValid());
        PrefsWindowController& prefsWindow = open();
        SearchUrlWindowController::setModalRunnerForTesting([&](SearchUrlWindowController& ed) {
            auto& url = child<QLineEdit>(ed, "url");
            started = {child<QLineEdit>(ed, "title").selectedText(), url.text(),
                       url.placeholderText(), text(ed, "commandKey")};
            EXPECT_FALSE(child<QPushButton>(ed, "okButton").isEnabled());
            QTest::keyClicks(&child<QLineEdit>(ed, "title"), title);
            url.setText("https://pics.example/?q=%s");
            click(ed, editorButton);
            return ed.result();
        });
        const QString key = QString::number(liveTitles().size() + 1);
        click(prefsWindow, "addNewUrlButton");
        EXPECT_EQ(started, (QStringList{"New Search", "", "https://example.org/search?q=%s", key}));
        EXPECT_EQ(popUpTitles(window), liveTitles());
        closeIt(prefsWindow);
        EXPECT_TRUE(closesAndGoes(prefsWindow));
    }
    const QStringList expected = defaultTitles + QStringList{"Wiki", "Pics"};
    EXPECT_EQ(liveTitles(), expected);
    EXPECT_EQ(titlesOf(*SkerrinController::loadSearchList(defaults)), expected);
    EXPECT_EQ(controller.getSearchList().searchUrls().last().url(), "https://pics.example/?q=%@");
}

// A site another process adds, and a delete or an add in one window, show in every window's
// table and the pop-up; OK with nothing changed here keeps the other process's site.
TEST_F(PrefsWindow, EveryTableFollowsTheListChangedInAnotherWindowOrProcess) {
    PrefsWindowController& first = open();
    PrefsWindowController& second = open();
    click(first, "deleteUrlButton");
    EXPECT_EQ(liveTitles(), defaultTitles) << "nothing selected, nothing deleted";
    auto& secondTable = child<QTableView>(second, "urlList");
    secondTable.selectRow(5);
    child<QTableView>(first, "urlList").selectRow(0);
    click(first, "deleteUrlButton");
    click(second, "deleteUrlButton");
    EXPECT_EQ(liveTitles(), QStringList({"Usenet", "Images", "Directory", "Streaming Media"}))
        << "the second window deletes the site it had selected";
    personInEditor("Pics", "okButton");
    click(first, "addNewUrlButton");
    EXPECT_EQ(secondTable.model()->index(4, 0).data(), "Pics");
    EXPECT_FALSE(defaults.objectForKey("searchList").isValid());
    {
        UserDefaults other(defaults.path());
        auto list = SkerrinController::loadSearchList(other);
        list->searchUrls().append(SearchUrl("http://other.example/?q=%@", "Other", "7"));
        Prefs(other).saveSearchList(*list, "searchList");
        ASSERT_TRUE(other.synchronize());
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return secondTable.model()->rowCount() == 6; }));
    EXPECT_EQ(popUpTitles(window), liveTitles());
    click(second, "okButton");
    ASSERT_TRUE(defaults.synchronize());
    UserDefaults reader(defaults.path());
    EXPECT_EQ(titlesOf(*SkerrinController::loadSearchList(reader)).last(), "Other");
}

TEST_F(PrefsWindow, SiteTableKeysADoubleClickAndADragEditMoveDeleteAndRestore) {
    QTableView& table = openShown();
    personInEditor("Unchanged", "cancelButton");
    const auto key = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(&table, key, modifiers);
    };
    table.setCurrentIndex(table.model()->index(1, 0));
    key(Qt::Key_Down, Qt::ControlModifier);
    key(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(liveTitles().mid(0, 4), QStringList({"Web", "Images", "Directory", "Usenet"}));
    EXPECT_EQ(table.currentIndex().row(), 3);
    key(Qt::Key_Up, Qt::ControlModifier);
    key(Qt::Key_F2);
    key(Qt::Key_Return);
    // Through the window, so that the platform turns two clicks into a double click.
    QWidget& prefsWindow = *table.window();
    const QPoint cell = table.visualRect(table.model()->index(2, 2)).center();
    QTest::mouseDClick(prefsWindow.windowHandle(), Qt::LeftButton, {},
                       table.viewport()->mapTo(&prefsWindow, cell));
    EXPECT_EQ(editorRuns, QList<QStringList>(3, fieldsOf(SearchList().searchUrls()[1])));
    EXPECT_TRUE(table.findChildren<QLineEdit*>().isEmpty()) << "no cell editor opened";
    key(Qt::Key_Delete);
    EXPECT_FALSE(liveTitles().contains("Usenet"));
    // A dragged site moves to where it is dropped.
    QAbstractItemModel& model = *table.model();
    std::unique_ptr<QMimeData> dragged(model.mimeData({model.index(0, 0)}));
    EXPECT_FALSE(model.dropMimeData(dragged.get(), Qt::MoveAction, 3, 0, QModelIndex()));
    EXPECT_EQ(liveTitles().mid(0, 3), QStringList({"Images", "Directory", "Web"}));

    click(prefsWindow, "restoreDefaultsButton");
    EXPECT_EQ(liveTitles(), defaultTitles);
    EXPECT_EQ(popUpTitles(window), defaultTitles);
}

// The table shows title, key, keyword and as much of the address as fits, in full in its
// tooltip; a site with a problem is marked, with the reasons.
TEST_F(PrefsWindow, SiteTableShowsTheAddressInFullAndMarksProblemsWithReasons) {
    QTableView& table = openShown();
    auto& sites = controller.getSearchList().searchUrls();
    sites[1].setUrl("http://groups.example/");
    sites[2].setTitle("Web");
    sites[3].setUrl("not an address %@");
    const QAbstractItemModel& model = *table.model();
    EXPECT_EQ(model.columnCount(), 4);
    EXPECT_EQ(model.headerData(3, Qt::Horizontal), "Search URL");
    EXPECT_GT(table.columnWidth(3),
              table.columnWidth(0) + table.columnWidth(1) + table.columnWidth(2))
        << "the address takes the rest of the width";
    const std::pair<int, QString> marked[] = {
        {0, "another site has this title"},
        {1, "the address has no %@ for the search text"},
        {3, "the address is not a web address"},
        {4, ""},
    };
    for (const auto& [row, reason] : marked) {
        EXPECT_EQ(model.index(row, 2).data(Qt::ToolTipRole).toString(), reason) << row;
        EXPECT_EQ(model.index(row, 0).data(Qt::DecorationRole).isValid(), !reason.isEmpty());
        EXPECT_EQ(model.index(row, 3).data(Qt::ToolTipRole).toString(),
                  QStringList({sites[row].url(), reason}).join('\n').trimmed());
    }
    table.setCurrentIndex(model.index(1, 0));
    EXPECT_EQ(child<QLabel>(*table.window(), "siteMessage").text(),
              "Usenet: the address has no %@ for the search text");
}

TEST_F(PrefsWindow, IsADialogNamedForScreenReadersThatFitsASmallScreen) {
    QTableView& table = openShown();
    QWidget& prefsWindow = *table.window();
    auto& pages = child<QTabWidget>(prefsWindow, "pages");
    QStringList texts;
    for (int page = 0; page < pages.count(); ++page) {
        texts.append(pages.tabText(page));
        pages.setCurrentIndex(page);
        for (QWidget* control : prefsWindow.findChildren<QWidget*>()) {
            if ((control->focusPolicy() == Qt::NoFocus && !qobject_cast<QLineEdit*>(control)) ||
                !control->isVisibleTo(&prefsWindow) || control->inherits("QScrollBar") ||
                control->parent()->inherits("QAbstractScrollArea"))
                continue;
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            ASSERT_NE(accessible, nullptr);
            EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty())
                << control->objectName().toStdString();
        }
    }
    // Each mnemonic is one control's or one page's; each key's Change… button has one.
    EXPECT_EQ(mnemonicClashes(prefsWindow, texts), QStringList());
    EXPECT_TRUE(child<QPushButton>(prefsWindow, "editHotKeyButton").text().contains('&'));
    EXPECT_TRUE(child<QPushButton>(prefsWindow, "editAutoSearchButton").text().contains('&'));
    // Tab leaves the site table at once.
    QTest::keyClick(&table, Qt::Key_Tab);
    EXPECT_FALSE(table.hasFocus());
    table.setFocus();
    // Each page comes forward by its mnemonic; the least the window needs fits 1024×600 with a
    // window manager's frame.
    for (const int page : {1, 0, 2}) {
        const QString title = pages.tabText(page);
        const auto key = Qt::Key(title.at(title.indexOf('&') + 1).toUpper().unicode());
        QTest::keyClick(prefsWindow.windowHandle(), key, Qt::AltModifier);
        EXPECT_EQ(pages.currentIndex(), page) << title.toStdString();
    }
    EXPECT_LE(prefsWindow.minimumSizeHint().height(), 600 - 64);
    EXPECT_LE(prefsWindow.minimumSizeHint().width(), 1024 - 32);

    QTest::keyClick(&table, Qt::Key_Escape);
    EXPECT_TRUE(closesAndGoes(prefsWindow));
}

// The editor runs its own modal loop on the row's site; OK there writes what was typed.
TEST(SiteEditing, EditorIsModalOnTheRowsSiteAndOkWritesWhatWasTyped) {
    ensureApp();
    SearchList list;
    SearchListModel model(list);
    const QStringList before = fieldsOf(list.searchUrls()[1]);
    const QStringList typed{"Pics", "p", "http://pics.example/?q=%@"};
    QStringList shown;
    QTimer::singleShot(0, [&] {
        if (QWidget* editor = QApplication::activeModalWidget()) {
            shown = fieldsOf(*editor);
            for (int i = 0; i < 3; ++i) {
                auto& field =
                    child<QLineEdit>(*editor, std::array{"title", "commandKey", "url"}[i]);
                field.clear();
                QTest::keyClicks(&field, typed[i]);
            }
            click(*editor, "okButton");
        }
    });
    // Should the editor not be found, this ends it so that the test fails instead of waiting.
    QObject rescueScope;
    QTimer::singleShot(10000, &rescueScope, [] {
        if (auto* editor = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            editor->reject();
    });
    model.editRow(1);
    EXPECT_EQ(shown, before);
    EXPECT_EQ(fieldsOf(list.searchUrls()[1]), typed);
}

// What is wrong shows beside the field it concerns, to screen readers too, and OK waits until
// nothing is; a browser's %s or OpenSearch's {searchTerms} is kept as %@.
TEST(SiteEditing, EachProblemShowsBesideItsFieldAndOkWaitsUntilThereIsNone) {
    ensureApp();
    SearchUrlWindowController editor;
    QList<SearchUrl> others = SearchList().searchUrls();
    others[0].setKeyword("g");
    editor.setOtherSites(others);
    editor.setSearchUrl(SearchUrl("", "New Search", "7"), true);
    const std::pair<const char*, const char*> fields[] = {
        {"title", "titleProblem"}, {"url", "urlProblem"}, {"keyword", "keywordProblem"}};
    // Title, address and keyword typed; what shows beside each; the address kept on OK.
    const std::array<const char*, 7> cases[] = {
        {"Pics", "", "", "", "a site needs an address", "", ""},
        {"", "http://pics.example/?q=%s", "p", "a site needs a title", "", "", ""},
        {"Web", "pics.example/?q=%s", "G", "another site has this title",
         "the address is not a web address", "another site has this keyword", ""},
        {"Pics", "http://pics.example/", "p q", "", "the address has no %@ for the search text",
         "a keyword is one word", ""},
        {"Pics", "http://pics.example/?q=%s", "p", "", "", "", "http://pics.example/?q=%@"},
        {"Pics", "http://pics.example/?q={searchTerms}", "", "", "", "",
         "http://pics.example/?q=%@"},
    };
    for (const auto& typed : cases) {
        for (int i = 0; i < 3; ++i)
            child<QLineEdit>(editor, fields[i].first).setText(typed[i]);
        for (int i = 0; i < 3; ++i) {
            const auto& beside = child<QLabel>(editor, fields[i].second);
            EXPECT_EQ(beside.text(), typed[3 + i])
                << typed[0] << ' ' << typed[1] << ' ' << typed[2];
            EXPECT_EQ(beside.isVisibleTo(&editor), !beside.text().isEmpty());
            EXPECT_EQ(child<QLineEdit>(editor, fields[i].first).accessibleDescription(),
                      beside.text());
        }
        EXPECT_EQ(child<QPushButton>(editor, "okButton").isEnabled(), *typed[6] != 0) << typed[0];
        click(editor, "okButton");
        EXPECT_EQ(editor.searchUrl().url(), *typed[6] ? typed[6] : "") << typed[1];
    }
}

// Another window deletes a site while this one's editor is open: the edit is dropped.
TEST(SiteEditing, EditOfASiteDeletedWhileTheEditorIsOpenIsDropped) {
    ensureApp();
    for (const auto& [editedRow, deletedRow] : {std::pair{5, 5}, {2, 2}, {2, 0}}) {
        SearchList list;
        SearchListModel model(list);
        QList<SearchUrl> expected = list.searchUrls();
        expected.removeAt(deletedRow);
        SearchUrlWindowController::setModalRunnerForTesting([&](SearchUrlWindowController& ed) {
            model.removeSearchUrlAtIndex(deletedRow);
            child<QLineEdit>(ed, "title").setText("Pics");
            click(ed, "okButton");
            return ed.result();
        });
        EXPECT_TRUE(logOf([&] { model.editRow(editedRow); }).contains("the edit is dropped"));
        EXPECT_EQ(list.searchUrls(), expected)
            << "editing " << editedRow << ", deleting " << deletedRow;
    }
    SearchUrlWindowController::setModalRunnerForTesting({});
}
