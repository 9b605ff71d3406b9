#pragma once

#include <QAbstractTableModel>
#include <QList>

class QMimeData;
class SearchList;
class SearchUrl;

// The preferences table over the live search list: one row per site. Every model of the same
// list hears of a change made through any of them, so several preferences windows keep their
// rows and selections in step with the list.
class SearchListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit SearchListModel(SearchList& list, QObject* parent = nullptr);
    ~SearchListModel() override;

    SearchList& searchList() const { return list; }

    // "title", "commandKey", "keyword" and "url". A column is shown and written by its
    // identifier: "url" is the template, "title" the title, "keyword" the keyword and any other
    // identifier the command key.
    static QString columnIdentifier(int column);
    static int columnOf(const char* identifier);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Stores any value as it stands. Cells are not editable, so views never call it.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // Rows are dragged to a new place; a drop moves the site, nothing is copied.
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

    // Moves the site at `from` to stand at `to` (both existing rows).
    bool moveSite(int from, int to);
    // The six default sites replace the list.
    void restoreDefaults();
    // These sites replace the list; every table of the list shows them.
    void replaceSites(const QList<SearchUrl>& sites);
    // Appends sites (an import); every table of the list shows them.
    void appendSites(const QList<SearchUrl>& sites);
    void addNewBlankSearchUrl();
    // A row that does not exist is logged and left alone.
    void removeSearchUrlAtIndex(int index);
    // Runs the site editor on the row and returns once it has closed. OK writes the values into
    // the site unless that row no longer holds the site the editor was given. A new site, just
    // added, is taken away again when the editor is cancelled.
    void editRow(int row, bool isNew = false);

private:
    QList<SearchListModel*> modelsOfList() const;
    void rowChanged(int row);

    SearchList& list;
};
