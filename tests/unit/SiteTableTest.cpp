#include "PrefsWindowController.h"
#include "SearchList.h"
#include "SearchListModel.h"
#include "SearchUrlWindowController.h"
#include "TestSupport.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class SiteTable : public ControllerFixture {
protected:
    void SetUp() override {
        start();
        prefsWindow = new PrefsWindowController(controller, prefs, center);
        QObject::connect(prefsWindow, &PrefsWindowController::searchListChanged, &controller,
                         &SkerrinController::updateList);
        prefsWindow->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(prefsWindow));
        table = &child<QTableView>(*prefsWindow, "urlList");
        table->setFocus();
    }
    void TearDown() override {
        SearchUrlWindowController::setModalRunnerForTesting({});
        PrefsWindowController::setImportChooserForTesting({});
        delete prefsWindow.data();
    }

    QStringList titles() { return titlesOf(controller.getSearchList()); }
    void key(int key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(table, Qt::Key(key), modifiers);
    }
    QString message() { return child<QLabel>(*prefsWindow, "siteMessage").text(); }

    QPointer<PrefsWindowController> prefsWindow;
    QTableView* table = nullptr;
};

} // namespace

TEST_F(SiteTable, KeyboardEditsMovesDeletesAndRestores) {
    QStringList edited;
    SearchUrlWindowController::setModalRunnerForTesting([&](SearchUrlWindowController& editor) {
        edited.append(child<QLineEdit>(editor, "title").text());
        editor.reject();
        return editor.result();
    });
    table->setCurrentIndex(table->model()->index(1, 0));
    key(Qt::Key_Down, Qt::ControlModifier);
    key(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(titles().mid(0, 4), QStringList({"Web", "Images", "Directory", "Usenet"}));
    EXPECT_EQ(table->currentIndex().row(), 3);
    key(Qt::Key_Up, Qt::ControlModifier);
    key(Qt::Key_F2);
    key(Qt::Key_Return);
    EXPECT_EQ(edited, QStringList({"Usenet", "Usenet"}));
    key(Qt::Key_Delete);
    EXPECT_FALSE(titles().contains("Usenet"));

    child<QPushButton>(*prefsWindow, "restoreDefaultsButton").click();
    EXPECT_EQ(titles(), titlesOf(SearchList()));
    EXPECT_EQ(child<QComboBox>(window, "searchListMenu").count(), 6);
}

TEST_F(SiteTable, MarksProblemsWithReasonsAndShowsWhatExampleOpens) {
    auto& sites = controller.getSearchList().searchUrls();
    sites[1].setUrl("http://groups.example/");
    sites[2].setTitle("Web");
    sites[3].setUrl("not an address %@");
    const QAbstractItemModel& model = *table->model();
    const int example = SearchListModel::columnOf("example");
    EXPECT_EQ(model.index(0, example).data(), "http://www.google.com/search?q=example");
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
    table->setCurrentIndex(model.index(1, 0));
    EXPECT_EQ(message(), "Usenet: the address has no %@ for the search text");
}

TEST_F(SiteTable, EditorRefusesATitleOrKeywordAnotherSiteHas) {
    controller.getSearchList().searchUrls()[0].setKeyword("g");
    QList<std::pair<bool, QString>> runs;
    for (const auto& [title, keyword] : {std::pair{"Web", ""}, std::pair{"Pics", "G"}}) {
        SearchUrlWindowController::setModalRunnerForTesting([&](SearchUrlWindowController& ed) {
            child<QLineEdit>(ed, "title").setText(title);
            child<QLineEdit>(ed, "keyword").setText(keyword);
            child<QPushButton>(ed, "okButton").click();
            runs.append({ed.isVisible(), child<QLabel>(ed, "problems").text()});
            ed.reject();
            return ed.result();
        });
        table->setCurrentIndex(table->model()->index(2, 0));
        key(Qt::Key_F2);
    }
    EXPECT_EQ(runs, (QList<std::pair<bool, QString>>{{true, "another site has this title"},
                                                     {true, "another site has this keyword"}}));
    EXPECT_EQ(titles(), titlesOf(SearchList()));
}

TEST_F(SiteTable, ImportAddsTheSitesOfAFileOrNothing) {
    const QString data = SKERRIN_SOURCE_DIR "/tests/data/import/";
    for (const char* file : {"opensearch-truncated.xml", "opensearch-wiki.xml"}) {
        PrefsWindowController::setImportChooserForTesting([&] { return QStringList{data + file}; });
        child<QPushButton>(*prefsWindow, "importButton").click();
    }
    EXPECT_EQ(titles().size(), 7);
    EXPECT_EQ(titles().last(), "Wiki & Co");
    EXPECT_EQ(message(), "1 site(s) added.");
    EXPECT_EQ(child<QComboBox>(window, "searchListMenu").count(), 7);
}

TEST_F(SiteTable, ADraggedSiteMovesToWhereItIsDropped) {
    QAbstractItemModel& model = *table->model();
    std::unique_ptr<QMimeData> dragged(model.mimeData({model.index(0, 0)}));
    EXPECT_FALSE(model.dropMimeData(dragged.get(), Qt::MoveAction, 3, 0, QModelIndex()));
    EXPECT_EQ(titles().mid(0, 3), QStringList({"Usenet", "Images", "Web"}));
}

TEST_F(SiteTable, PreferencesAreADialogNamedForScreenReadersThatFitsASmallScreen) {
    for (QWidget* control : prefsWindow->findChildren<QWidget*>()) {
        if (control->focusPolicy() == Qt::NoFocus && !qobject_cast<QLineEdit*>(control))
            continue;
        if (!control->isVisibleTo(prefsWindow) || control->inherits("QScrollBar") ||
            control->parent()->inherits("QAbstractScrollArea"))
            continue;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(accessible, nullptr);
        EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty())
            << control->objectName().toStdString();
    }
    EXPECT_LE(prefsWindow->width(), 1366);
    EXPECT_LE(prefsWindow->height(), 720); // the screen less a panel
    EXPECT_LE(prefsWindow->minimumSizeHint().height(), 720);

    QTest::keyClick(table, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([this] { return prefsWindow.isNull(); }, 5000));
}

TEST(MainWindowHistory, SearchFieldOpensEmptyWithTheNewestFirst) {
    ensureApp();
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("prefs.plist"));
    Prefs prefs(defaults);
    prefs.setHistory({"oldest", "middle", "newest"});
    RecordingUrlOpener opener;
    RecordingAlert alert;
    Searcher searcher(prefs, opener, alert);
    MainWindow window(searcher.searchHistoryModel());
    auto& field = child<QComboBox>(window, "searchText");
    EXPECT_EQ(field.currentText(), "");
    searcher.addToSearchHistory("latest");
    EXPECT_EQ(field.currentText(), "");
    QStringList items;
    for (int i = 0; i < field.count(); ++i)
        items.append(field.itemText(i));
    EXPECT_EQ(items, QStringList({"latest", "newest", "middle", "oldest"}));
}
