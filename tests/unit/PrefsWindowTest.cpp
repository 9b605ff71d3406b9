#include "ControllerFixture.h"
#include "HotKeyCenter.h"
#include "KeyComboPanel.h"
#include "MainWindow.h"
#include "Prefs.h"
#include "PrefsWindowController.h"
#include "Recorders.h"
#include "RecordingHotKeyService.h"
#include "SBApplication.h"
#include "SearchList.h"
#include "SearchUrlWindowController.h"
#include "SkerrinController.h"
#include "TestApp.h"
#include "UserDefaults.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace {

template <typename Widget> Widget& child(QWidget& parent, const char* name) {
    auto* widget = parent.findChild<Widget*>(QLatin1String(name));
    if (!widget)
        throw std::runtime_error(std::string("no widget named ") + name);
    return *widget;
}

void click(QWidget& parent, const char* name) {
    child<QAbstractButton>(parent, name).click();
}

QString text(QWidget& parent, const char* name) {
    return child<QLineEdit>(parent, name).text();
}

QStringList titlesOf(const SearchList& list) {
    QStringList titles;
    for (const SearchUrl& site : list.searchUrls())
        titles.append(site.title());
    return titles;
}

const QStringList defaultTitles = {"Web",       "Usenet",          "Images",
                                   "Directory", "Streaming Media", "Dictionary"};

struct PanelRun {
    QString shown;
    bool noPostCopy;
    bool ignoringHotKeys;
};

struct EditorRun {
    QString title;
    QString commandKey;
    QString url;
    QStringList popUpMeanwhile;
};

class PrefsWindow : public ControllerFixture {
protected:
    void SetUp() override {
        testing::internal::CaptureStderr();
        controller.awakeFromNib(window, center, &poster);
        testing::internal::GetCapturedStderr();
    }

    void TearDown() override {
        KeyComboPanel::setModalRunnerForTesting({});
        SearchUrlWindowController::setModalRunnerForTesting({});
        for (const QPointer<PrefsWindowController>& prefsWindow : opened)
            delete prefsWindow.data();
    }

    PrefsWindowController& open() {
        auto* prefsWindow = new PrefsWindowController(controller, prefs, center);
        opened.append(prefsWindow);
        return *prefsWindow;
    }

    PrefsWindowController& openShown() {
        PrefsWindowController& prefsWindow = open();
        prefsWindow.show();
        if (!QTest::qWaitForWindowExposed(&prefsWindow))
            throw std::runtime_error("the preferences window never showed");
        return prefsWindow;
    }

    // Every panel run from now on: remember what it showed, then the person does `act` to the
    // panel and presses `button`.
    void personInPanel(std::function<void(KeyComboPanel&)> act, const char* button) {
        KeyComboPanel::setModalRunnerForTesting([this, act, button](KeyComboPanel& panel) {
            panelRuns.append({panel.textField()->text(),
                              prefs.getTempObject("noPostCopy").isValid(),
                              SBApplication::ignoreEvents()});
            act(panel);
            click(panel, button);
            return panel.result();
        });
    }

    void personPressesInPanel(const KeyComboRef& combo, const char* button) {
        personInPanel([combo](KeyComboPanel& panel) { panel.setKeyCombo(combo); }, button);
    }

    // Every site editor run from now on: remember what it showed, then the person types the title
    // (when given) and presses `button`.
    void personInEditor(const QString& title, const char* button) {
        SearchUrlWindowController::setModalRunnerForTesting(
            [this, title, button](SearchUrlWindowController& editor) {
                editorRuns.append({text(editor, "title"), text(editor, "commandKey"),
                                   text(editor, "url"), popUpTitles()});
                if (!title.isNull())
                    child<QLineEdit>(editor, "title").setText(title);
                click(editor, button);
                return editor.result();
            });
    }

    QStringList popUpTitles() {
        auto& menu = child<QComboBox>(window, "searchListMenu");
        QStringList titles;
        for (int i = 0; i < menu.count(); ++i)
            titles.append(menu.itemText(i));
        return titles;
    }

    QStringList liveTitles() { return titlesOf(controller.getSearchList()); }

    QStringList storedTitles() {
        const QVariant stored = defaults.objectForKey("searchList");
        if (!stored.isValid())
            return {"(nothing stored)"};
        const auto list = SearchList::fromArchivedData(stored.toByteArray());
        return list ? titlesOf(*list) : QStringList{"(unreadable)"};
    }

    static void clickCell(QTableView& table, int row, int column) {
        QTest::mouseClick(table.viewport(), Qt::LeftButton, {},
                          table.visualRect(table.model()->index(row, column)).center());
    }

    static bool closesAndGoes(PrefsWindowController& prefsWindow) {
        QPointer<PrefsWindowController> guard(&prefsWindow);
        return QTest::qWaitFor([&] { return guard.isNull(); }, 5000);
    }

    QList<QPointer<PrefsWindowController>> opened;
    QList<PanelRun> panelRuns;
    QList<EditorRun> editorRuns;
};

const char* const optionBoxes[][2] = {{"pasteTextButton", "pasteText"},
                                      {"copySelectedTextButton", "copyText"},
                                      {"tryAsUrlButton", "tryAsUrl"}};

} // namespace

TEST_F(PrefsWindow, NothingStoredShowsTheDefaultKeysAndEveryOptionOn) {
    PrefsWindowController& prefsWindow = open();

    EXPECT_EQ(text(prefsWindow, "hotKeyTextField"),
              KeyCombo::keyComboWithKeyCode(103, 0x100)->userDisplayRep());
    EXPECT_EQ(text(prefsWindow, "autoSearchTextField"),
              KeyCombo::keyComboWithKeyCode(103, 0x900)->userDisplayRep());
    for (const auto& [box, key] : optionBoxes)
        EXPECT_TRUE(child<QCheckBox>(prefsWindow, box).isChecked()) << box;
    EXPECT_EQ(child<QTableView>(prefsWindow, "urlList").model()->rowCount(), 6);
}

TEST_F(PrefsWindow, OptionStoredOffShowsItsBoxOff) {
    for (const auto& [box, key] : optionBoxes) {
        prefs.setBool("pasteText", true);
        prefs.setBool("copyText", true);
        prefs.setBool("tryAsUrl", true);
        prefs.setBool(key, false);
        PrefsWindowController& prefsWindow = open();
        for (const auto& [otherBox, otherKey] : optionBoxes)
            EXPECT_EQ(child<QCheckBox>(prefsWindow, otherBox).isChecked(), otherBox != box)
                << otherBox << " with " << key << " off";
    }
}

TEST_F(PrefsWindow, ClickingAnOptionWritesItAtOnceAndCancelKeepsIt) {
    for (const auto& [box, key] : optionBoxes) {
        PrefsWindowController& prefsWindow = open();
        click(prefsWindow, box);
        EXPECT_EQ(defaults.objectForKey(key), QVariant(0.0)) << key;
        EXPECT_FALSE(prefs.getBool(key, true)) << key;
        click(prefsWindow, box);
        EXPECT_EQ(defaults.objectForKey(key), QVariant(1.0)) << key;
        click(prefsWindow, box);

        click(prefsWindow, "cancelButton");
        EXPECT_TRUE(closesAndGoes(prefsWindow));
        EXPECT_EQ(defaults.objectForKey(key), QVariant(0.0)) << key;
        EXPECT_FALSE(prefs.getBool(key, true)) << key;
    }
}

namespace {

struct HotKeyCase {
    const char* button;
    const char* field;
    const char* name;
    const char* codeKey;
    const char* modifiersKey;
    const char* scratchKey;
    bool noPostCopyWhileCapturing;
    bool pressArmsTheCaptureTimer; // the open-URL action, rather than bring-to-front
    qint32 startModifiers;
};

class PrefsHotKey : public PrefsWindow, public testing::WithParamInterface<HotKeyCase> {
protected:
    // The center's action for a press of the registered combination reached the controller.
    bool pressReachesItsAction(qint16 keyCode, qint32 modifiers) {
        for (const RecordingHotKeyService::Registration& registration : service.live) {
            if (registration.keyCode != keyCode || registration.modifiers != modifiers)
                continue;
            HotKeyEvent press;
            press.id = registration.id;
            testing::internal::CaptureStderr();
            center.handleHotKeyEvent(press);
            const std::string log = testing::internal::GetCapturedStderr();
            return GetParam().pressArmsTheCaptureTimer
                       ? controller.keyTimerArmed()
                       : !controller.keyTimerArmed() && log.find("eh!") != std::string::npos;
        }
        return false;
    }

    const KeyComboRef newCombo = KeyCombo::keyComboWithKeyCode(96, 0x1200);
};

} // namespace

TEST_P(PrefsHotKey, ConfirmedKeyIsRegisteredStoredPublishedAndShown) {
    const HotKeyCase& c = GetParam();
    PrefsWindowController& prefsWindow = open();
    personPressesInPanel(newCombo, "okButton");
    click(prefsWindow, c.button);

    ASSERT_EQ(panelRuns.size(), 1);
    EXPECT_EQ(panelRuns[0].shown,
              KeyCombo::keyComboWithKeyCode(103, c.startModifiers)->userDisplayRep());
    EXPECT_TRUE(center.keyComboForName(c.name)->isEqual(newCombo.get()));
    EXPECT_FALSE(service.isLive(103, c.startModifiers));
    EXPECT_TRUE(pressReachesItsAction(96, 0x1200));
    EXPECT_EQ(defaults.objectForKey(c.codeKey), QVariant(96.0));
    EXPECT_EQ(defaults.objectForKey(c.modifiersKey), QVariant(4608.0));
    EXPECT_EQ(prefs.getTempObject(c.scratchKey).value<KeyComboRef>(), newCombo);
    EXPECT_EQ(text(prefsWindow, c.field), newCombo->userDisplayRep());
}

TEST_P(PrefsHotKey, WhileThePanelRunsHotKeysAreIgnoredAndOnlyTheOpenUrlKeyStopsTheCopy) {
    const HotKeyCase& c = GetParam();
    PrefsWindowController& prefsWindow = open();
    personPressesInPanel(newCombo, "okButton");
    click(prefsWindow, c.button);

    ASSERT_EQ(panelRuns.size(), 1);
    EXPECT_TRUE(panelRuns[0].ignoringHotKeys);
    EXPECT_EQ(panelRuns[0].noPostCopy, c.noPostCopyWhileCapturing);
    EXPECT_FALSE(SBApplication::ignoreEvents());
    EXPECT_FALSE(prefs.getTempObject("noPostCopy").isValid());
}

TEST_P(PrefsHotKey, CancelledPanelChangesNothing) {
    const HotKeyCase& c = GetParam();
    PrefsWindowController& prefsWindow = open();
    const QString shownBefore = text(prefsWindow, c.field);
    const QStringList callsBefore = service.calls;
    const QVariant published = prefs.getTempObject(c.scratchKey);
    personPressesInPanel(newCombo, "cancelButton");
    click(prefsWindow, c.button);

    EXPECT_EQ(panelRuns.size(), 1);
    EXPECT_EQ(service.calls, callsBefore);
    EXPECT_FALSE(defaults.objectForKey(c.codeKey).isValid());
    EXPECT_FALSE(defaults.objectForKey(c.modifiersKey).isValid());
    EXPECT_EQ(prefs.getTempObject(c.scratchKey).value<KeyComboRef>(),
              published.value<KeyComboRef>());
    EXPECT_EQ(text(prefsWindow, c.field), shownBefore);
    EXPECT_FALSE(prefs.getTempObject("noPostCopy").isValid());
    EXPECT_FALSE(SBApplication::ignoreEvents());
}

TEST_P(PrefsHotKey, ConfirmedClearedKeyIsStoredAsMinusOneAndGrabsNothing) {
    const HotKeyCase& c = GetParam();
    PrefsWindowController& prefsWindow = open();
    KeyComboPanel::setModalRunnerForTesting([](KeyComboPanel& panel) {
        click(panel, "clearButton");
        click(panel, "okButton");
        return panel.result();
    });
    click(prefsWindow, c.button);

    EXPECT_EQ(defaults.objectForKey(c.codeKey), QVariant(-1.0));
    EXPECT_EQ(defaults.objectForKey(c.modifiersKey), QVariant(-1.0));
    EXPECT_EQ(text(prefsWindow, c.field), KeyCombo::clearKeyCombo()->userDisplayRep());
    EXPECT_TRUE(center.allNames().contains(c.name));
    EXPECT_FALSE(service.isLive(103, c.startModifiers));
    EXPECT_EQ(service.live.size(), 1) << "only the other hot key is grabbed";
}

TEST_P(PrefsHotKey, NewKeyOutlivesCancelAndOpensTheNextWindowButNotOneAlreadyOpen) {
    const HotKeyCase& c = GetParam();
    PrefsWindowController& openBefore = open();
    PrefsWindowController& prefsWindow = open();
    personPressesInPanel(newCombo, "okButton");
    click(prefsWindow, c.button);
    click(prefsWindow, "cancelButton");
    ASSERT_TRUE(closesAndGoes(prefsWindow));

    EXPECT_TRUE(center.keyComboForName(c.name)->isEqual(newCombo.get()));
    EXPECT_EQ(defaults.objectForKey(c.codeKey), QVariant(96.0));
    EXPECT_EQ(text(open(), c.field), newCombo->userDisplayRep());
    EXPECT_EQ(text(openBefore, c.field),
              KeyCombo::keyComboWithKeyCode(103, c.startModifiers)->userDisplayRep());
}

TEST_P(PrefsHotKey, WindowMadeWithoutAKeyShowsNoneAndKeepsItWhenThePanelHoldsNone) {
    const HotKeyCase& c = GetParam();
    prefs.removeTempObject(c.scratchKey);
    testing::internal::CaptureStderr();
    PrefsWindowController& prefsWindow = open();
    const std::string createLog = testing::internal::GetCapturedStderr();
    EXPECT_NE(createLog.find(QStringLiteral("%1 is nil in PrefsWindowController! BAD")
                                 .arg(c.scratchKey)
                                 .toStdString()),
              std::string::npos);
    EXPECT_EQ(text(prefsWindow, c.field), "");

    const QStringList callsBefore = service.calls;
    KeyComboPanel::setModalRunnerForTesting([](KeyComboPanel& panel) {
        click(panel, "okButton");
        return panel.result();
    });
    testing::internal::CaptureStderr();
    click(prefsWindow, c.button);
    const std::string log = testing::internal::GetCapturedStderr();

    EXPECT_NE(log.find("no key combination was captured"), std::string::npos);
    EXPECT_EQ(service.calls, callsBefore);
    EXPECT_FALSE(defaults.objectForKey(c.codeKey).isValid());
    EXPECT_FALSE(prefs.getTempObject(c.scratchKey).isValid());
    EXPECT_EQ(text(prefsWindow, c.field), "");
    EXPECT_FALSE(prefs.getTempObject("noPostCopy").isValid());
    EXPECT_FALSE(SBApplication::ignoreEvents());
}

INSTANTIATE_TEST_SUITE_P(
    BothKeys, PrefsHotKey,
    testing::Values(HotKeyCase{"editHotKeyButton", "hotKeyTextField", "BringToFrontHotKey",
                               "keyCode", "keyCodeMod", "mCombo", false, false, 0x100},
                    HotKeyCase{"editAutoSearchButton", "autoSearchTextField", "OpenUrlHotKey",
                               "openUrlKey", "openUrlKeyMod", "urlCombo", true, true, 0x900}),
    [](const testing::TestParamInfo<HotKeyCase>& info) { return std::string(info.param.name); });

TEST_F(PrefsWindow, AddAppendsASiteOpensTheEditorOnItThenRebuildsThePopUp) {
    PrefsWindowController& prefsWindow = open();
    auto& table = child<QTableView>(prefsWindow, "urlList");
    personInEditor("Wiki", "okButton");
    click(prefsWindow, "addNewUrlButton");

    ASSERT_EQ(editorRuns.size(), 1);
    EXPECT_EQ(editorRuns[0].title, "New Search");
    EXPECT_EQ(editorRuns[0].commandKey, "7");
    EXPECT_EQ(editorRuns[0].url, "http://www.skerrin.org/search.html?%@");
    EXPECT_EQ(editorRuns[0].popUpMeanwhile, defaultTitles);
    EXPECT_EQ(liveTitles(), defaultTitles + QStringList{"Wiki"});
    EXPECT_EQ(popUpTitles(), liveTitles());
    EXPECT_EQ(table.model()->rowCount(), 7);
    EXPECT_EQ(table.model()->index(6, 0).data(), "Wiki");
    EXPECT_EQ(table.selectionModel()->selectedRows().value(0).row(), 6);
}

TEST_F(PrefsWindow, AddThenCancelInTheEditorKeepsTheBlankSite) {
    PrefsWindowController& prefsWindow = open();
    personInEditor("Wiki", "cancelButton");
    click(prefsWindow, "addNewUrlButton");

    EXPECT_EQ(liveTitles(), defaultTitles + QStringList{"New Search"});
    EXPECT_EQ(popUpTitles(), liveTitles());
    EXPECT_EQ(controller.getSearchList().searchUrls().last().commandKey(), "7");
}

TEST_F(PrefsWindow, DeleteWithNoRowSelectedDoesNothing) {
    PrefsWindowController& prefsWindow = open();
    click(prefsWindow, "deleteUrlButton");

    EXPECT_EQ(liveTitles(), defaultTitles);
    EXPECT_EQ(popUpTitles(), defaultTitles);
    EXPECT_EQ(child<QTableView>(prefsWindow, "urlList").model()->rowCount(), 6);
}

TEST_F(PrefsWindow, DeleteRemovesTheSelectedSiteFromTableListAndPopUpAtOnce) {
    PrefsWindowController& prefsWindow = openShown();
    auto& table = child<QTableView>(prefsWindow, "urlList");
    clickCell(table, 1, 0);
    click(prefsWindow, "deleteUrlButton");

    const QStringList expected = {"Web", "Images", "Directory", "Streaming Media", "Dictionary"};
    EXPECT_EQ(liveTitles(), expected);
    EXPECT_EQ(popUpTitles(), expected);
    EXPECT_EQ(table.model()->rowCount(), 5);
    EXPECT_EQ(table.model()->index(1, 0).data(), "Images");
    EXPECT_EQ(storedTitles(), QStringList{"(nothing stored)"});
}

TEST_F(PrefsWindow, DoubleClickOnACellEditsItsWholeSiteInTheEditor) {
    PrefsWindowController& prefsWindow = openShown();
    auto& table = child<QTableView>(prefsWindow, "urlList");
    personInEditor("Pics", "okButton");
    // Through the window, so that the platform turns two clicks into a double click.
    const QPoint cell = table.visualRect(table.model()->index(2, 2)).center();
    QTest::mouseDClick(prefsWindow.windowHandle(), Qt::LeftButton, {},
                       table.viewport()->mapTo(&prefsWindow, cell));

    ASSERT_EQ(editorRuns.size(), 1);
    const SearchList defaultList;
    const SearchUrl& images = defaultList.searchUrls()[2];
    EXPECT_EQ(editorRuns[0].title, images.title());
    EXPECT_EQ(editorRuns[0].commandKey, images.commandKey());
    EXPECT_EQ(editorRuns[0].url, images.url());
    EXPECT_TRUE(table.findChildren<QLineEdit*>().isEmpty()) << "no cell editor opened";
    EXPECT_EQ(table.model()->index(2, 0).data(), "Pics");
    EXPECT_EQ(controller.getSearchList().searchUrls()[2].title(), "Pics");
    EXPECT_EQ(popUpTitles(), defaultTitles) << "the pop-up waits for its next rebuild";

    click(prefsWindow, "okButton");
    EXPECT_EQ(popUpTitles(), liveTitles());
    EXPECT_TRUE(popUpTitles().contains("Pics"));
}

TEST_F(PrefsWindow, OkWritesTheListRebuildsThePopUpAndCloses) {
    PrefsWindowController& prefsWindow = openShown();
    personInEditor("Wiki", "okButton");
    click(prefsWindow, "addNewUrlButton");
    clickCell(child<QTableView>(prefsWindow, "urlList"), 0, 0);
    click(prefsWindow, "deleteUrlButton");
    click(prefsWindow, "okButton");

    const QStringList expected = {"Usenet",          "Images",     "Directory",
                                  "Streaming Media", "Dictionary", "Wiki"};
    EXPECT_EQ(storedTitles(), expected);
    EXPECT_EQ(titlesOf(*SkerrinController::loadSearchList(defaults)), expected);
    EXPECT_EQ(popUpTitles(), expected);
    EXPECT_TRUE(closesAndGoes(prefsWindow));
}

TEST_F(PrefsWindow, OkWithNothingChangedStillWritesTheList) {
    PrefsWindowController& prefsWindow = open();
    click(prefsWindow, "okButton");

    EXPECT_EQ(storedTitles(), defaultTitles);
    EXPECT_TRUE(closesAndGoes(prefsWindow));
}

TEST_F(PrefsWindow, CancelOrCloseStoresNothingButTheRunKeepsTheChangedList) {
    PrefsWindowController& saved = open();
    click(saved, "okButton");
    const QVariant savedArchive = defaults.objectForKey("searchList");

    const std::function<void(PrefsWindowController&)> closings[] = {
        [](PrefsWindowController& w) { click(w, "cancelButton"); },
        [](PrefsWindowController& w) { w.close(); },
    };
    for (const auto& closeIt : closings) {
        PrefsWindowController& prefsWindow = open();
        personInEditor(QString(), "cancelButton");
        click(prefsWindow, "addNewUrlButton");
        closeIt(prefsWindow);
        EXPECT_TRUE(closesAndGoes(prefsWindow));
    }

    EXPECT_EQ(defaults.objectForKey("searchList"), savedArchive);
    EXPECT_EQ(liveTitles(), defaultTitles + QStringList({"New Search", "New Search"}));
    EXPECT_EQ(popUpTitles(), defaultTitles + QStringList{"New Search"});
    EXPECT_EQ(titlesOf(*SkerrinController::loadSearchList(defaults)), defaultTitles)
        << "a relaunch reads the list last saved with OK";
}

TEST_F(PrefsWindow, WindowsOpenAtOnceKeepTheirTablesAndSelectionsOnTheSameSites) {
    PrefsWindowController& first = openShown();
    PrefsWindowController& second = openShown();
    auto& secondTable = child<QTableView>(second, "urlList");
    clickCell(secondTable, 5, 0);
    clickCell(child<QTableView>(first, "urlList"), 0, 0);
    click(first, "deleteUrlButton");

    EXPECT_EQ(secondTable.model()->rowCount(), 5);
    click(second, "deleteUrlButton");
    EXPECT_EQ(liveTitles(), QStringList({"Usenet", "Images", "Directory", "Streaming Media"}))
        << "the second window deletes the site it had selected";
    EXPECT_EQ(popUpTitles(), liveTitles());
}

TEST_F(PrefsWindow, WithoutALiveListNoSiteCanBeEditedAndOkKeepsTheStoredList) {
    SearchList stored = SearchList::empty();
    stored.searchUrls().append(SearchUrl("http://only.example/?q=%@", "Only", "1"));
    prefs.saveSearchList(stored, "searchList");
    prefs.removeTempObject("searchList");
    testing::internal::CaptureStderr();
    PrefsWindowController& prefsWindow = open();
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("searchList is nil in PrefsWindowController"), std::string::npos);

    personInEditor("Wiki", "okButton");
    click(prefsWindow, "addNewUrlButton");
    click(prefsWindow, "deleteUrlButton");
    click(prefsWindow, "okButton");

    EXPECT_TRUE(editorRuns.isEmpty());
    EXPECT_EQ(liveTitles(), defaultTitles);
    EXPECT_EQ(storedTitles(), QStringList{"Only"});
    EXPECT_TRUE(closesAndGoes(prefsWindow));
}
