#include "SearchListModel.h"
#include "SearchUrlWindowController.h"
#include "TestSupport.h"

#include <QDialog>
#include <QSignalSpy>

namespace {

void typeInto(QWidget& editor, const QStringList& typed) {
    int i = 0;
    for (const char* name : {"title", "commandKey", "url"}) {
        QLineEdit& field = child<QLineEdit>(editor, name);
        field.clear();
        QTest::keyClicks(&field, typed.value(i++));
    }
}

const QStringList typedSite{"Pics", "p", "http://pics.example/?q=%@"};

class SiteEditing : public testing::Test {
protected:
    void TearDown() override { SearchUrlWindowController::setModalRunnerForTesting({}); }

    // Every editor run from now on: remember what it showed, let `during` happen, type the
    // typed site into its fields and press OK.
    void personTypes(std::function<void()> during = [] {}) {
        SearchUrlWindowController::setModalRunnerForTesting(
            [this, during](SearchUrlWindowController& editor) {
                shown.append(fieldsOf(editor));
                during();
                typeInto(editor, typedSite);
                click(editor, "okButton");
                return editor.result();
            });
    }

    QList<QStringList> sites() const {
        QList<QStringList> result;
        for (const SearchUrl& site : list.searchUrls())
            result.append(fieldsOf(site));
        return result;
    }

    const bool appReady = (ensureApp(), true); // before any widget
    SearchList list;
    SearchListModel model{list};
    QList<QStringList> shown;
};

} // namespace

TEST_F(SiteEditing, RowThatDoesNotExistIsNeitherEditedNorDeleted) {
    personTypes();
    const QList<QStringList> before = sites();
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    for (int row : {-1, 6}) {
        const QString log = logOf([&] {
            model.editRow(row);
            model.removeSearchUrlAtIndex(row);
        });
        EXPECT_TRUE(log.contains(QString("no site at row %1").arg(row))) << log.toStdString();
    }
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(sites(), before);
    EXPECT_EQ(removed.count(), 0);
}

TEST_F(SiteEditing, EditOfASiteDeletedWhileTheEditorIsOpenIsDropped) {
    for (const auto& [editedRow, deletedRow] : {std::pair{5, 5}, {2, 2}, {2, 0}}) {
        list = SearchList();
        QList<QStringList> expected = sites();
        expected.removeAt(deletedRow);
        personTypes([this, deletedRow] { model.removeSearchUrlAtIndex(deletedRow); });
        const QString log = logOf([&] { model.editRow(editedRow); });
        EXPECT_EQ(sites(), expected) << "editing " << editedRow << ", deleting " << deletedRow;
        EXPECT_TRUE(log.contains("the edit is dropped"));
    }
}

TEST_F(SiteEditing, EditorIsModalShowsTheRowsSiteAndOnlyOkWritesWhatWasTyped) {
    const auto pressOk = [](QWidget& editor) { click(editor, "okButton"); };
    const QList<std::tuple<const char*, QStringList, std::function<void(QWidget&)>>> cases = {
        {"OK", typedSite, pressOk},
        {"OK on emptied fields", {"", "", ""}, pressOk},
        {"Cancel", typedSite, [](QWidget& editor) { click(editor, "cancelButton"); }},
        {"Escape", typedSite, [](QWidget& editor) { QTest::keyClick(&editor, Qt::Key_Escape); }},
        {"close box", typedSite, [](QWidget& editor) { editor.close(); }},
    };
    for (const auto& [how, typed, end] : cases) {
        list = SearchList();
        QList<QStringList> expected = sites();
        shown.clear();
        QTimer::singleShot(0, [&] {
            if (QWidget* editor = QApplication::activeModalWidget()) {
                shown.append(fieldsOf(*editor));
                typeInto(*editor, typed);
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
        EXPECT_EQ(shown, QList<QStringList>{expected[1]}) << how << ": a modal editor on row 1";
        if (QString(how).startsWith("OK"))
            expected[1] = typed;
        EXPECT_EQ(sites(), expected) << how;
    }
}
