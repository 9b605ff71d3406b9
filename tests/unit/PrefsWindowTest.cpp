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
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
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

    PrefsWindowController& open() {
        auto* prefsWindow =
            new PrefsWindowController({controller, *controller.selectionCapture()}, prefs, center);
        QObject::connect(prefsWindow, &PrefsWindowController::searchListChanged, &controller,
                         &SkerrinController::updateList);
        opened.append(prefsWindow);
        return *prefsWindow;
    }
    // A window shown on the screen, its site table with the keyboard focus.
    QTableView& openShown() {
        PrefsWindowController& prefsWindow = open();
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
    // title and presses `button`.
    void personInEditor(const QString& title, const char* button) {
        SearchUrlWindowController::setModalRunnerForTesting(
            [this, title, button](SearchUrlWindowController& editor) {
                editorRuns.append(fieldsOf(editor));
                child<QLineEdit>(editor, "title").setText(title);
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

const char* const optionBoxes[][2] = {{"pasteTextButton", "pasteText"},
                                      {"copySelectedTextButton", "copyText"},
                                      {"tryAsUrlButton", "tryAsUrl"}};

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

TEST_F(PrefsWindow, OptionsStartOnAndAClickedOneIsStoredAtOnceAndOutlivesCancel) {
    for (int clicked = 0;; ++clicked) {
        PrefsWindowController& prefsWindow = open();
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(child<QCheckBox>(prefsWindow, optionBoxes[i][0]).isChecked(), i >= clicked)
                << optionBoxes[i][0] << " after " << clicked << " clicked off";
        if (clicked == 3)
            break;
        click(prefsWindow, optionBoxes[clicked][0]);
        click(prefsWindow, "cancelButton");
        EXPECT_TRUE(closesAndGoes(prefsWindow));
        EXPECT_EQ(defaults.objectForKey(optionBoxes[clicked][1]), QVariant(0.0));
    }
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

// An added site is blank, selected and edited, and kept when the editor is cancelled; only OK
// stores the list, but every way of closing keeps it for the run.
TEST_F(PrefsWindow, AddedSiteIsSelectedEditedAndKeptButOnlyOkStoresTheList) {
    // The editor's button and the title typed, then how the window is closed.
    const std::tuple<const char*, const char*, void (*)(PrefsWindowController&)> runs[] = {
        {"cancelButton", "", [](PrefsWindowController& w) { click(w, "cancelButton"); }},
        {"okButton", "Wiki", [](PrefsWindowController& w) { w.close(); }},
        {"okButton", "Pics", [](PrefsWindowController& w) { click(w, "okButton"); }},
    };
    for (const auto& [editorButton, title, closeIt] : runs) {
        EXPECT_FALSE(defaults.objectForKey("searchList").isValid());
        PrefsWindowController& prefsWindow = open();
        editorRuns.clear();
        personInEditor(title, editorButton);
        click(prefsWindow, "addNewUrlButton");
        ASSERT_EQ(editorRuns.size(), 1);
        EXPECT_EQ(editorRuns[0].value(0), "New Search");
        EXPECT_EQ(popUpTitles(window), liveTitles());
        auto& table = child<QTableView>(prefsWindow, "urlList");
        EXPECT_EQ(table.model()->rowCount(), liveTitles().size());
        EXPECT_EQ(table.selectionModel()->selectedRows().value(0).row(), liveTitles().size() - 1);
        closeIt(prefsWindow);
        EXPECT_TRUE(closesAndGoes(prefsWindow));
    }
    const QStringList expected = defaultTitles + QStringList{"New Search", "Wiki", "Pics"};
    EXPECT_EQ(liveTitles(), expected);
    EXPECT_EQ(titlesOf(*SkerrinController::loadSearchList(defaults)), expected);
}

// Another process adds a site while a preferences window is open: its table and the pop-up show
// it, and OK with nothing changed here keeps it.
TEST_F(PrefsWindow, ASiteAddedElsewhereIsShownAndKeptByOk) {
    PrefsWindowController& prefsWindow = open();
    {
        UserDefaults other(defaults.path());
        auto list = SkerrinController::loadSearchList(other);
        list->searchUrls().append(SearchUrl("http://other.example/?q=%@", "Other", "7"));
        Prefs(other).saveSearchList(*list, "searchList");
        ASSERT_TRUE(other.synchronize());
    }
    const QStringList expected = defaultTitles + QStringList{"Other"};
    auto& table = child<QTableView>(prefsWindow, "urlList");
    EXPECT_TRUE(QTest::qWaitFor([&] { return table.model()->rowCount() == expected.size(); }));
    EXPECT_EQ(popUpTitles(window), expected);
    click(prefsWindow, "okButton");
    ASSERT_TRUE(defaults.synchronize());
    UserDefaults reader(defaults.path());
    EXPECT_EQ(titlesOf(*SkerrinController::loadSearchList(reader)), expected);
}

TEST_F(PrefsWindow, EveryWindowsTableFollowsADeleteOfTheSiteSelectedInOneAndAnAdd) {
    PrefsWindowController& first = open();
    PrefsWindowController& second = open();
    click(first, "deleteUrlButton");
    EXPECT_EQ(liveTitles(), defaultTitles) << "nothing selected, nothing deleted";
    auto& secondTable = child<QTableView>(second, "urlList");
    secondTable.selectRow(5);
    child<QTableView>(first, "urlList").selectRow(0);
    click(first, "deleteUrlButton");
    EXPECT_EQ(secondTable.model()->rowCount(), 5);
    click(second, "deleteUrlButton");
    EXPECT_EQ(liveTitles(), QStringList({"Usenet", "Images", "Directory", "Streaming Media"}))
        << "the second window deletes the site it had selected";
    EXPECT_EQ(popUpTitles(window), liveTitles());
    EXPECT_FALSE(defaults.objectForKey("searchList").isValid());
    // A site added and named in one window shows in the other's table too.
    personInEditor("Pics", "okButton");
    click(first, "addNewUrlButton");
    EXPECT_EQ(secondTable.model()->rowCount(), 5);
    EXPECT_EQ(secondTable.model()->index(4, 0).data(), "Pics");
}

TEST_F(PrefsWindow, SelectionReadingPanelIconAndStartAtLoginShowTheStoredChoiceAndApplyAtOnce) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    const QString entry = dir.filePath("autostart/" SKERRIN_APP_ID ".desktop");
    prefs.setInt("readSelection", 1);
    PrefsWindowController& prefsWindow = open();
    auto& popUp = child<QComboBox>(prefsWindow, "readSelectionPopUp");
    EXPECT_EQ(popUp.currentText(), "Primary only");
    EXPECT_FALSE(child<QCheckBox>(prefsWindow, "restoreClipboardButton").isChecked());
    popUp.setCurrentIndex(2);
    emit popUp.activated(2);
    click(prefsWindow, "restoreClipboardButton");
    EXPECT_EQ(defaults.objectForKey("readSelection"), QVariant(2.0));
    EXPECT_EQ(defaults.objectForKey("restoreClipboard"), QVariant(1.0));

    QSignalSpy switched(&prefsWindow, &PrefsWindowController::panelIconChanged);
    EXPECT_TRUE(child<QCheckBox>(prefsWindow, "panelIconButton").isChecked());
    click(prefsWindow, "panelIconButton");
    EXPECT_EQ(defaults.objectForKey("showPanelIcon"), QVariant(0.0));
    EXPECT_EQ(switched.size(), 1);

    // What the entry holds is the start-at-login tests'.
    for (const bool on : {true, false}) {
        EXPECT_NE(child<QCheckBox>(prefsWindow, "startAtLoginButton").isChecked(), on);
        click(prefsWindow, "startAtLoginButton");
        EXPECT_EQ(QFile::exists(entry), on);
        EXPECT_EQ(child<QCheckBox>(open(), "startAtLoginButton").isChecked(), on);
    }
    qputenv("XDG_CONFIG_HOME", saved);
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

TEST_F(PrefsWindow, SiteProblemsAreMarkedWithReasonsAndRefusedByTheEditor) {
    QTableView& table = openShown();
    auto& sites = controller.getSearchList().searchUrls();
    sites[1].setUrl("http://groups.example/");
    sites[2].setTitle("Web");
    sites[3].setUrl("not an address %@");
    const QAbstractItemModel& model = *table.model();
    EXPECT_EQ(model.index(0, SearchListModel::columnOf("example")).data(),
              "http://www.google.com/search?q=example");
    const QList<std::pair<int, QString>> marked = {
        {0, "another site has this title"},
        {1, "the address has no %@ for the search text"},
        {3, "the address is not a web address"},
        {4, ""},
    };
    for (const auto& [row, reason] : marked) {
        EXPECT_EQ(model.index(row, 2).data(Qt::ToolTipRole).toString(), reason) << row;
        EXPECT_EQ(model.index(row, 0).data(Qt::DecorationRole).isValid(), !reason.isEmpty());
    }
    table.setCurrentIndex(model.index(1, 0));
    EXPECT_EQ(child<QLabel>(*table.window(), "siteMessage").text(),
              "Usenet: the address has no %@ for the search text");

    // The editor refuses a title or keyword another site has.
    sites[2].setTitle("Images");
    sites[0].setKeyword("g");
    QList<std::pair<bool, QString>> runs;
    for (const auto& [title, keyword] : {std::pair{"Web", ""}, std::pair{"Pics", "G"}}) {
        SearchUrlWindowController::setModalRunnerForTesting([&](SearchUrlWindowController& ed) {
            child<QLineEdit>(ed, "title").setText(title);
            child<QLineEdit>(ed, "keyword").setText(keyword);
            click(ed, "okButton");
            runs.append({ed.isVisible(), child<QLabel>(ed, "problems").text()});
            ed.reject();
            return ed.result();
        });
        table.setCurrentIndex(table.model()->index(2, 0));
        QTest::keyClick(&table, Qt::Key_F2);
    }
    EXPECT_EQ(runs, (QList<std::pair<bool, QString>>{{true, "another site has this title"},
                                                     {true, "another site has this keyword"}}));
    EXPECT_EQ(liveTitles(), defaultTitles);
}

TEST_F(PrefsWindow, IsADialogNamedForScreenReadersThatFitsASmallScreen) {
    QTableView& table = openShown();
    QWidget& prefsWindow = *table.window();
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
    // Each mnemonic is one control's; each key's Change… button has one.
    QMap<QChar, QString> mnemonics;
    for (QWidget* control : prefsWindow.findChildren<QWidget*>()) {
        const auto* button = qobject_cast<QAbstractButton*>(control);
        const auto* label = qobject_cast<QLabel*>(control);
        const QString text = button ? button->text() : label ? label->text() : QString();
        const qsizetype amp = text.indexOf('&');
        if (amp < 0 || amp + 1 >= text.size() || text.at(amp + 1) == '&')
            continue;
        const QChar key = text.at(amp + 1).toLower();
        EXPECT_FALSE(mnemonics.contains(key))
            << text.toStdString() << " and " << mnemonics.value(key).toStdString();
        mnemonics.insert(key, text);
    }
    EXPECT_TRUE(child<QPushButton>(prefsWindow, "editHotKeyButton").text().contains('&'));
    EXPECT_TRUE(child<QPushButton>(prefsWindow, "editAutoSearchButton").text().contains('&'));
    // Tab leaves the site table at once.
    QTest::keyClick(&table, Qt::Key_Tab);
    EXPECT_FALSE(table.hasFocus());
    table.setFocus();

    EXPECT_LE(prefsWindow.width(), 1366);
    EXPECT_LE(prefsWindow.height(), 720); // the screen less a panel
    EXPECT_LE(prefsWindow.minimumSizeHint().height(), 720);

    QTest::keyClick(&table, Qt::Key_Escape);
    EXPECT_TRUE(closesAndGoes(prefsWindow));
}

// The editor's own modal loop: it shows the row's site and only OK writes what was typed.
TEST(SiteEditing, EditorIsModalShowsTheRowsSiteAndOnlyOkWritesWhatWasTyped) {
    ensureApp();
    const QStringList typedSite{"Pics", "p", "http://pics.example/?q=%@"};
    const auto pressOk = [](QWidget& editor) { click(editor, "okButton"); };
    const std::tuple<const char*, QStringList, std::function<void(QWidget&)>> cases[] = {
        {"OK", typedSite, pressOk},
        // A browser's place for the text is taken as ours; "%%s" is a percent sign and an s.
        {"OK, %s", {"Pics", "p", "http://pics.example/?q=%s&s=100%%s"}, pressOk},
        {"OK, {searchTerms}", {"Pics", "p", "http://pics.example/?q={searchTerms}"}, pressOk},
        {"OK on emptied fields", {"", "", ""}, pressOk},
        {"Cancel", typedSite, [](QWidget& editor) { click(editor, "cancelButton"); }},
        {"Escape", typedSite, [](QWidget& editor) { QTest::keyClick(&editor, Qt::Key_Escape); }},
        {"close box", typedSite, [](QWidget& editor) { editor.close(); }},
    };
    for (const auto& [how, typed, end] : cases) {
        SearchList list;
        SearchListModel model(list);
        const QStringList before = fieldsOf(list.searchUrls()[1]);
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
                end(*editor);
            }
        });
        // Should the editor not be found, this ends it so that the test fails instead of waiting.
        QObject rescueScope;
        QTimer::singleShot(10000, &rescueScope, [] {
            if (auto* editor = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                editor->reject();
        });
        model.editRow(1);
        EXPECT_EQ(shown, before) << how << ": a modal editor on row 1";
        QStringList stored = typed;
        stored[2].replace("?q=%s", "?q=%@").replace("{searchTerms}", "%@");
        EXPECT_EQ(fieldsOf(list.searchUrls()[1]), QString(how).startsWith("OK") ? stored : before)
            << how;
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
