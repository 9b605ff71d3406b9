#include "ControllerFixture.h"
#include "KeyComboPanel.h"
#include "PrefsWindowController.h"
#include "SBApplication.h"
#include "SearchList.h"
#include "SearchUrlWindowController.h"
#include "WidgetLookup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace {

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

    PrefsWindowController& open(bool shown = false) {
        auto* prefsWindow = new PrefsWindowController(controller, prefs, center);
        QObject::connect(prefsWindow, &PrefsWindowController::searchListChanged, &controller,
                         &SkerrinController::updateList);
        opened.append(prefsWindow);
        if (shown) {
            prefsWindow->show();
            if (!QTest::qWaitForWindowExposed(prefsWindow))
                throw std::runtime_error("the preferences window never showed");
        }
        return *prefsWindow;
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

    // Every site editor run from now on: remember the site it showed, then the person types the
    // title and presses `button`.
    void personInEditor(const QString& title, const char* button) {
        SearchUrlWindowController::setModalRunnerForTesting(
            [this, title, button](SearchUrlWindowController& editor) {
                editorRuns.append(
                    {text(editor, "title"), text(editor, "commandKey"), text(editor, "url")});
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

    QStringList storedTitles() { return titlesOf(*SkerrinController::loadSearchList(defaults)); }

    static bool closesAndGoes(PrefsWindowController& prefsWindow) {
        QPointer<PrefsWindowController> guard(&prefsWindow);
        return QTest::qWaitFor([&] { return guard.isNull(); }, 5000);
    }

    QList<QPointer<PrefsWindowController>> opened;
    QList<PanelRun> panelRuns;
    QList<QStringList> editorRuns;
};

const char* const optionBoxes[][2] = {{"pasteTextButton", "pasteText"},
                                      {"copySelectedTextButton", "copyText"},
                                      {"tryAsUrlButton", "tryAsUrl"}};

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

namespace {

struct HotKeyCase {
    const char* button;
    const char* field;
    const char* name;
    const char* codeKey;
    const char* modifiersKey;
    const char* scratchKey;
    bool openUrl; // its capture must stop the post-copy; its press arms the capture timer
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
            return GetParam().openUrl
                       ? controller.keyTimerArmed()
                       : !controller.keyTimerArmed() && log.find("eh!") != std::string::npos;
        }
        return false;
    }

    QString startShown() const {
        return KeyCombo::keyComboWithKeyCode(103, GetParam().startModifiers)->linuxDisplayText();
    }

    const KeyComboRef newCombo = KeyCombo::keyComboWithKeyCode(96, 0x1200);
};

} // namespace

TEST_P(PrefsHotKey, ConfirmedKeyIsLiveStoredAndShownOutlivesCancelAndCanBeCleared) {
    const HotKeyCase& c = GetParam();
    PrefsWindowController& openBefore = open();
    PrefsWindowController& prefsWindow = open();
    personInPanel([this](KeyComboPanel& panel) { panel.setKeyCombo(newCombo); }, "okButton");
    click(prefsWindow, c.button);

    ASSERT_EQ(panelRuns.size(), 1);
    EXPECT_EQ(panelRuns[0].shown, startShown());
    EXPECT_TRUE(panelRuns[0].ignoringHotKeys);
    EXPECT_EQ(panelRuns[0].noPostCopy, c.openUrl);
    EXPECT_FALSE(SBApplication::ignoreEvents());
    EXPECT_FALSE(prefs.getTempObject("noPostCopy").isValid());

    EXPECT_FALSE(service.isLive(103, c.startModifiers));
    EXPECT_TRUE(pressReachesItsAction(96, 0x1200));
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
    const HotKeyCase& c = GetParam();
    const QStringList callsBefore = service.calls;
    PrefsWindowController& cancelled = open();
    personInPanel([this](KeyComboPanel& panel) { panel.setKeyCombo(newCombo); }, "cancelButton");
    click(cancelled, c.button);
    EXPECT_EQ(text(cancelled, c.field), startShown());

    prefs.removeTempObject(c.scratchKey);
    testing::internal::CaptureStderr();
    PrefsWindowController& withoutAKey = open();
    personInPanel([](KeyComboPanel&) {}, "okButton");
    click(withoutAKey, c.button);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(text(withoutAKey, c.field), "");

    EXPECT_EQ(panelRuns.size(), 2);
    EXPECT_EQ(service.calls, callsBefore);
    EXPECT_FALSE(defaults.objectForKey(c.codeKey).isValid());
    EXPECT_FALSE(prefs.getTempObject(c.scratchKey).isValid());
    EXPECT_FALSE(prefs.getTempObject("noPostCopy").isValid());
    EXPECT_FALSE(SBApplication::ignoreEvents());
}

INSTANTIATE_TEST_SUITE_P(
    BothKeys, PrefsHotKey,
    testing::Values(HotKeyCase{"editHotKeyButton", "hotKeyTextField", "BringToFrontHotKey",
                               "keyCode", "keyCodeMod", "mCombo", false, 0x100},
                    HotKeyCase{"editAutoSearchButton", "autoSearchTextField", "OpenUrlHotKey",
                               "openUrlKey", "openUrlKeyMod", "urlCombo", true, 0x900}),
    [](const testing::TestParamInfo<HotKeyCase>& info) { return std::string(info.param.name); });

TEST_F(PrefsWindow, AddAppendsABlankSiteSelectsItAndEditsItKeepingItOnCancel) {
    PrefsWindowController& prefsWindow = open();
    auto& table = child<QTableView>(prefsWindow, "urlList");
    const struct {
        const char* button;
        const char* lastTitle;
    } cases[] = {{"cancelButton", "New Search"}, {"okButton", "Wiki"}};
    for (const auto& c : cases) {
        editorRuns.clear();
        personInEditor("Wiki", c.button);
        click(prefsWindow, "addNewUrlButton");

        ASSERT_EQ(editorRuns.size(), 1) << c.button;
        EXPECT_EQ(editorRuns[0].value(0), "New Search");
        EXPECT_EQ(liveTitles().last(), c.lastTitle);
        EXPECT_EQ(popUpTitles(), liveTitles());
        EXPECT_EQ(table.model()->rowCount(), liveTitles().size());
        EXPECT_EQ(table.selectionModel()->selectedRows().value(0).row(), liveTitles().size() - 1);
    }
}

TEST_F(PrefsWindow, DeleteRemovesOnlyTheSelectedSiteFromTableListAndPopUp) {
    PrefsWindowController& prefsWindow = open();
    auto& table = child<QTableView>(prefsWindow, "urlList");
    click(prefsWindow, "deleteUrlButton");
    EXPECT_EQ(liveTitles(), defaultTitles) << "nothing selected, nothing deleted";

    table.selectRow(1);
    click(prefsWindow, "deleteUrlButton");

    const QStringList expected = {"Web", "Images", "Directory", "Streaming Media", "Dictionary"};
    EXPECT_EQ(liveTitles(), expected);
    EXPECT_EQ(popUpTitles(), expected);
    EXPECT_EQ(table.model()->index(1, 0).data(), "Images");
    EXPECT_FALSE(defaults.objectForKey("searchList").isValid());
}

TEST_F(PrefsWindow, DoubleClickOnACellEditsItsWholeSiteInTheEditor) {
    PrefsWindowController& prefsWindow = open(true);
    auto& table = child<QTableView>(prefsWindow, "urlList");
    personInEditor("Pics", "okButton");
    // Through the window, so that the platform turns two clicks into a double click.
    const QPoint cell = table.visualRect(table.model()->index(2, 2)).center();
    QTest::mouseDClick(prefsWindow.windowHandle(), Qt::LeftButton, {},
                       table.viewport()->mapTo(&prefsWindow, cell));

    const SearchUrl images = SearchList().searchUrls()[2];
    EXPECT_EQ(editorRuns,
              (QList<QStringList>{{images.title(), images.commandKey(), images.url()}}));
    EXPECT_TRUE(table.findChildren<QLineEdit*>().isEmpty()) << "no cell editor opened";
    EXPECT_EQ(table.model()->index(2, 0).data(), "Pics");
    EXPECT_EQ(controller.getSearchList().searchUrls()[2].title(), "Pics");

    click(prefsWindow, "okButton");
    EXPECT_EQ(popUpTitles(), liveTitles());
    EXPECT_EQ(storedTitles(), liveTitles());
}

TEST_F(PrefsWindow, OnlyOkStoresTheListButEveryWayOfClosingKeepsItForTheRun) {
    personInEditor("Wiki", "cancelButton");
    const std::function<void(PrefsWindowController&)> closings[] = {
        [](PrefsWindowController& w) { click(w, "cancelButton"); },
        [](PrefsWindowController& w) { w.close(); },
        [](PrefsWindowController& w) { click(w, "okButton"); },
    };
    for (const auto& closeIt : closings) {
        EXPECT_FALSE(defaults.objectForKey("searchList").isValid());
        PrefsWindowController& prefsWindow = open();
        click(prefsWindow, "addNewUrlButton");
        closeIt(prefsWindow);
        EXPECT_TRUE(closesAndGoes(prefsWindow));
    }

    const QStringList expected = defaultTitles + QStringList(3, "New Search");
    EXPECT_EQ(liveTitles(), expected);
    EXPECT_EQ(storedTitles(), expected);
}

TEST_F(PrefsWindow, WindowsOpenAtOnceKeepTheirTablesAndSelectionsOnTheSameSites) {
    PrefsWindowController& first = open();
    PrefsWindowController& second = open();
    auto& secondTable = child<QTableView>(second, "urlList");
    secondTable.selectRow(5);
    child<QTableView>(first, "urlList").selectRow(0);
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
    testing::internal::GetCapturedStderr();
    personInEditor("Wiki", "okButton");
    click(prefsWindow, "addNewUrlButton");
    click(prefsWindow, "deleteUrlButton");
    click(prefsWindow, "okButton");

    EXPECT_TRUE(editorRuns.isEmpty());
    EXPECT_EQ(liveTitles(), defaultTitles);
    EXPECT_EQ(storedTitles(), QStringList{"Only"});
    EXPECT_TRUE(closesAndGoes(prefsWindow));
}
