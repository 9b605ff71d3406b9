#include "SearchList.h"
#include "SearchListModel.h"
#include "SearchUrlWindowController.h"
#include "TestApp.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace {

struct Fields {
    QString title;
    QString commandKey;
    QString url;
    bool operator==(const Fields&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Fields& fields) {
    return out << '{' << fields.title.toStdString() << ", " << fields.commandKey.toStdString()
               << ", " << fields.url.toStdString() << '}';
}

Fields fieldsOf(const SearchUrl& site) {
    return {site.title(), site.commandKey(), site.url()};
}

template <typename Widget> Widget& child(QWidget& parent, const char* name) {
    auto* widget = parent.findChild<Widget*>(QLatin1String(name));
    if (!widget)
        throw std::runtime_error(std::string("no widget named ") + name);
    return *widget;
}

Fields shownIn(QWidget& editor) {
    return {child<QLineEdit>(editor, "title").text(), child<QLineEdit>(editor, "commandKey").text(),
            child<QLineEdit>(editor, "url").text()};
}

void typeInto(QWidget& editor, const Fields& typed) {
    for (const auto& [name, text] :
         {std::pair{"title", typed.title}, std::pair{"commandKey", typed.commandKey},
          std::pair{"url", typed.url}}) {
        QLineEdit& field = child<QLineEdit>(editor, name);
        field.selectAll();
        field.del();
        QTest::keyClicks(&field, text);
    }
}

const Fields typedSite{"Pics", "p", "http://pics.example/?q=%@"};

class SiteEditing : public testing::Test {
protected:
    void TearDown() override { SearchUrlWindowController::setModalRunnerForTesting({}); }

    // Every editor run from now on: remember what it showed, let `during` happen, type `typed`
    // into its fields and press `button`.
    void personTypes(const Fields& typed, const char* button, std::function<void()> during = {}) {
        SearchUrlWindowController::setModalRunnerForTesting(
            [this, typed, button, during](SearchUrlWindowController& editor) {
                shown.append(shownIn(editor));
                if (during)
                    during();
                typeInto(editor, typed);
                child<QPushButton>(editor, button).click();
                return editor.result();
            });
    }

    QList<Fields> sites() const {
        QList<Fields> result;
        for (const SearchUrl& site : list.searchUrls())
            result.append(fieldsOf(site));
        return result;
    }

    std::string editLogged(int row) {
        testing::internal::CaptureStderr();
        model.editRow(row);
        return testing::internal::GetCapturedStderr();
    }

    const bool appReady = (ensureApp(), true); // before any widget
    SearchList list;
    SearchListModel model{list};
    QList<Fields> shown;
};

} // namespace

TEST_F(SiteEditing, TableHasOneRowPerSiteAndEachColumnShowsItsField) {
    ASSERT_EQ(model.rowCount(), 6);
    ASSERT_EQ(model.columnCount(), 3);
    EXPECT_EQ(SearchListModel::columnIdentifier(0), "title");
    EXPECT_EQ(SearchListModel::columnIdentifier(1), "commandKey");
    EXPECT_EQ(SearchListModel::columnIdentifier(2), "url");
    for (int row = 0; row < model.rowCount(); ++row) {
        const SearchUrl& site = list.searchUrls()[row];
        EXPECT_EQ(model.index(row, 0).data(), site.title());
        EXPECT_EQ(model.index(row, 1).data(), site.commandKey());
        EXPECT_EQ(model.index(row, 2).data(), site.url());
    }
}

TEST_F(SiteEditing, CellsAreNeverEditedInPlace) {
    for (int column = 0; column < model.columnCount(); ++column)
        EXPECT_FALSE(model.flags(model.index(0, column)).testFlag(Qt::ItemIsEditable));
}

TEST_F(SiteEditing, ValueSetInACellIsStoredAsItStandsInThatColumnsField) {
    const struct {
        int column;
        QString value;
        Fields expected;
    } cases[] = {
        {0, "Films", {"Films", "5", list.searchUrls()[4].url()}},
        {1, "", {"Streaming Media", "", list.searchUrls()[4].url()}},
        {2, "not an address", {"Streaming Media", "5", "not an address"}},
    };
    for (const auto& c : cases) {
        SearchList fresh;
        SearchListModel freshModel(fresh);
        EXPECT_TRUE(freshModel.setData(freshModel.index(4, c.column), c.value));
        EXPECT_EQ(fieldsOf(fresh.searchUrls()[4]), c.expected) << "column " << c.column;
    }
}

TEST_F(SiteEditing, EditorOpensOnTheRowAndOkWritesAllThreeFields) {
    const QList<Fields> before = sites();
    personTypes(typedSite, "okButton");
    model.editRow(2);

    EXPECT_EQ(shown, QList<Fields>{before[2]});
    QList<Fields> expected = before;
    expected[2] = typedSite;
    EXPECT_EQ(sites(), expected);
}

TEST_F(SiteEditing, CancelLeavesTheSiteAsItWas) {
    const QList<Fields> before = sites();
    personTypes(typedSite, "cancelButton");
    model.editRow(2);

    EXPECT_EQ(shown.size(), 1);
    EXPECT_EQ(sites(), before);
}

TEST_F(SiteEditing, OkWithEmptiedFieldsStoresThreeEmptyTexts) {
    personTypes({}, "okButton");
    model.editRow(0);
    EXPECT_EQ(fieldsOf(list.searchUrls()[0]), (Fields{"", "", ""}));
}

TEST_F(SiteEditing, EditedSiteIsRedrawnInEveryTableOfTheList) {
    SearchListModel otherTable(list);
    QSignalSpy redrawn(&otherTable, &QAbstractItemModel::dataChanged);
    personTypes(typedSite, "okButton");
    model.editRow(3);

    ASSERT_EQ(redrawn.count(), 1);
    EXPECT_EQ(redrawn.first().at(0).value<QModelIndex>().row(), 3);
    EXPECT_EQ(otherTable.index(3, 0).data(), "Pics");
}

TEST_F(SiteEditing, RowThatDoesNotExistOpensNoEditor) {
    personTypes(typedSite, "okButton");
    const QList<Fields> before = sites();
    for (int row : {-1, 6}) {
        const std::string log = editLogged(row);
        EXPECT_NE(log.find(QStringLiteral("no site at row %1 to edit").arg(row).toStdString()),
                  std::string::npos);
    }
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(sites(), before);
}

TEST_F(SiteEditing, EditOfASiteDeletedWhileTheEditorIsOpenIsDropped) {
    const struct {
        int editedRow;
        int deletedRow;
    } cases[] = {{5, 5}, {2, 2}, {2, 0}};
    for (const auto& c : cases) {
        list = SearchList();
        QList<Fields> expected = sites();
        expected.removeAt(c.deletedRow);
        personTypes(typedSite, "okButton",
                    [this, c] { model.removeSearchUrlAtIndex(c.deletedRow); });

        const std::string log = editLogged(c.editedRow);

        EXPECT_EQ(sites(), expected) << "editing " << c.editedRow << ", deleting " << c.deletedRow;
        EXPECT_NE(log.find("the edit is dropped"), std::string::npos);
    }
}

TEST_F(SiteEditing, EveryTableOfTheListFollowsAddAndDelete) {
    SearchListModel otherTable(list);
    QSignalSpy inserted(&otherTable, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&otherTable, &QAbstractItemModel::rowsRemoved);

    model.addNewBlankSearchUrl();
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(otherTable.rowCount(), 7);
    EXPECT_EQ(otherTable.index(6, 0).data(), "New Search");

    model.removeSearchUrlAtIndex(0);
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(otherTable.rowCount(), 6);
    EXPECT_EQ(otherTable.index(0, 0).data(), "Usenet");
}

TEST_F(SiteEditing, DeletingARowThatDoesNotExistChangesNothing) {
    const QList<Fields> before = sites();
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    for (int row : {-1, 6}) {
        testing::internal::CaptureStderr();
        model.removeSearchUrlAtIndex(row);
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_NE(log.find(QStringLiteral("no site at row %1 to delete").arg(row).toStdString()),
                  std::string::npos);
    }
    EXPECT_EQ(sites(), before);
    EXPECT_EQ(removed.count(), 0);
}

TEST_F(SiteEditing, EditorWindowIsModalAndOnlyOkKeepsTheTypedValues) {
    const struct {
        const char* how;
        std::function<void(QWidget&)> end;
        bool kept;
    } cases[] = {
        {"OK", [](QWidget& editor) { child<QPushButton>(editor, "okButton").click(); }, true},
        {"Cancel", [](QWidget& editor) { child<QPushButton>(editor, "cancelButton").click(); },
         false},
        {"Escape", [](QWidget& editor) { QTest::keyClick(&editor, Qt::Key_Escape); }, false},
        {"close box", [](QWidget& editor) { editor.close(); }, false},
    };
    for (const auto& c : cases) {
        list = SearchList();
        const Fields before = fieldsOf(list.searchUrls()[1]);
        bool wasModal = false;
        QTimer::singleShot(0, [&] {
            QWidget* editor = QApplication::activeModalWidget();
            if (!editor)
                return;
            wasModal = true;
            typeInto(*editor, typedSite);
            c.end(*editor);
        });
        // Should the editor not be found, this ends it so that the test fails instead of waiting.
        QTimer rescue;
        rescue.setSingleShot(true);
        QObject::connect(&rescue, &QTimer::timeout, [] {
            if (auto* editor = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                editor->reject();
        });
        rescue.start(10000);

        model.editRow(1);

        EXPECT_TRUE(wasModal) << c.how;
        EXPECT_EQ(fieldsOf(list.searchUrls()[1]), c.kept ? typedSite : before) << c.how;
    }
}
