#pragma once

#include <QAbstractTableModel>
#include <QList>

class SearchList;

// The preferences table over the live search list: one row per site. Every model of the same
// list hears of a change made through any of them, so several preferences windows keep their
// rows and selections in step with the list.
class SearchListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit SearchListModel(SearchList& list, QObject* parent = nullptr);
    ~SearchListModel() override;

    SearchList& searchList() const { return list; }

    // "title", "commandKey" and "url". A column is shown and written by its identifier: "url"
    // is the template, "title" the title and any other identifier the command key.
    static QString columnIdentifier(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Stores any value as it stands. Cells are not editable, so views never call it.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    void addNewBlankSearchUrl();
    // A row that does not exist is logged and left alone.
    void removeSearchUrlAtIndex(int index);
    // Runs the site editor on the row and returns once it has closed. OK writes the three
    // values into the site unless that row no longer holds the site the editor was given.
    void editRow(int row);

private:
    QList<SearchListModel*> modelsOfList() const;
    void rowChanged(int row);

    SearchList& list;
};
