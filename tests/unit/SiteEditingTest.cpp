#include "SearchList.h"
#include "SearchListModel.h"
#include "SearchUrlWindowController.h"
#include "TestApp.h"
#include "WidgetLookup.h"

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

    // Every editor run from now on: remember what it showed, let `during` happen, type the
    // typed site into its fields and press OK.
    void personTypes(std::function<void()> during = {}) {
        SearchUrlWindowController::setModalRunnerForTesting(
            [this, during](SearchUrlWindowController& editor) {
                shown.append(shownIn(editor));
                if (during)
                    during();
                typeInto(editor, typedSite);
                child<QPushButton>(editor, "okButton").click();
                return editor.result();
            });
    }

    QList<Fields> sites() const {
        QList<Fields> result;
        for (const SearchUrl& site : list.searchUrls())
            result.append(fieldsOf(site));
        return result;
    }

    const bool appReady = (ensureApp(), true); // before any widget
    SearchList list;
    SearchListModel model{list};
    QList<Fields> shown;
};

} // namespace

TEST_F(SiteEditing, TableShowsEachSiteFieldInItsColumnAndNoCellIsEditedInPlace) {
    ASSERT_EQ(model.rowCount(), 6);
    const int url = SearchListModel::columnOf("url");
    for (int row = 0; row < model.rowCount(); ++row) {
        const Fields shownRow{model.index(row, 0).data().toString(),
                              model.index(row, 1).data().toString(),
                              model.index(row, url).data().toString()};
        EXPECT_EQ(shownRow, fieldsOf(list.searchUrls()[row]));
        for (int column = 0; column < model.columnCount(); ++column)
            EXPECT_FALSE(model.flags(model.index(row, column)).testFlag(Qt::ItemIsEditable));
    }
}

TEST_F(SiteEditing, ValueSetInACellIsStoredAsItStandsInThatColumnsField) {
    const QList<std::pair<const char*, QString>> values = {
        {"title", "Films"}, {"commandKey", ""}, {"url", "not an address"}};
    for (const auto& [column, value] : values)
        EXPECT_TRUE(model.setData(model.index(4, SearchListModel::columnOf(column)), value));
    EXPECT_EQ(fieldsOf(list.searchUrls()[4]), (Fields{"Films", "", "not an address"}));
    EXPECT_EQ(fieldsOf(list.searchUrls()[3]), fieldsOf(SearchList().searchUrls()[3]));
}

TEST_F(SiteEditing, EveryTableOfTheListFollowsEditAddAndDelete) {
    SearchListModel otherTable(list);
    QSignalSpy redrawn(&otherTable, &QAbstractItemModel::dataChanged);
    personTypes();
    model.editRow(3);
    ASSERT_EQ(redrawn.count(), 1);
    EXPECT_EQ(redrawn.first().at(0).value<QModelIndex>().row(), 3);
    EXPECT_EQ(otherTable.index(3, 0).data(), "Pics");

    model.addNewBlankSearchUrl();
    EXPECT_EQ(otherTable.rowCount(), 7);
    EXPECT_EQ(otherTable.index(6, 0).data(), "New Search");

    model.removeSearchUrlAtIndex(0);
    EXPECT_EQ(otherTable.rowCount(), 6);
    EXPECT_EQ(otherTable.index(0, 0).data(), "Usenet");
}

TEST_F(SiteEditing, RowThatDoesNotExistIsNeitherEditedNorDeleted) {
    personTypes();
    const QList<Fields> before = sites();
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    for (int row : {-1, 6}) {
        testing::internal::CaptureStderr();
        model.editRow(row);
        model.removeSearchUrlAtIndex(row);
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_NE(log.find(QStringLiteral("no site at row %1").arg(row).toStdString()),
                  std::string::npos);
    }
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(sites(), before);
    EXPECT_EQ(removed.count(), 0);
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
        personTypes([this, c] { model.removeSearchUrlAtIndex(c.deletedRow); });

        testing::internal::CaptureStderr();
        model.editRow(c.editedRow);
        const std::string log = testing::internal::GetCapturedStderr();

        EXPECT_EQ(sites(), expected) << "editing " << c.editedRow << ", deleting " << c.deletedRow;
        EXPECT_NE(log.find("the edit is dropped"), std::string::npos);
    }
}

TEST_F(SiteEditing, EditorIsModalShowsTheRowsSiteAndOnlyOkWritesWhatWasTyped) {
    const auto pressOk = [](QWidget& editor) { child<QPushButton>(editor, "okButton").click(); };
    const struct {
        const char* how;
        Fields typed;
        std::function<void(QWidget&)> end;
        bool kept;
    } cases[] = {
        {"OK", typedSite, pressOk, true},
        {"OK on emptied fields", {}, pressOk, true},
        {"Cancel", typedSite,
         [](QWidget& editor) { child<QPushButton>(editor, "cancelButton").click(); }, false},
        {"Escape", typedSite, [](QWidget& editor) { QTest::keyClick(&editor, Qt::Key_Escape); },
         false},
        {"close box", typedSite, [](QWidget& editor) { editor.close(); }, false},
    };
    for (const auto& c : cases) {
        list = SearchList();
        QList<Fields> expected = sites();
        shown.clear();
        QTimer::singleShot(0, [&] {
            if (QWidget* editor = QApplication::activeModalWidget()) {
                shown.append(shownIn(*editor));
                typeInto(*editor, c.typed);
                c.end(*editor);
            }
        });
        // Should the editor not be found, this ends it so that the test fails instead of waiting.
        QObject rescueScope;
        QTimer::singleShot(10000, &rescueScope, [] {
            if (auto* editor = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                editor->reject();
        });

        model.editRow(1);

        EXPECT_EQ(shown, QList<Fields>{expected[1]}) << c.how << ": a modal editor on row 1";
        if (c.kept)
            expected[1] = c.typed;
        EXPECT_EQ(sites(), expected) << c.how;
    }
}
