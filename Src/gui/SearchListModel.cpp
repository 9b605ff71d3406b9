#include "SearchListModel.h"

#include "Log.h"
#include "SearchList.h"
#include "SearchUrlWindowController.h"

#include <iterator>

namespace {

struct Column {
    const char* identifier;
    const char* header;
};

constexpr Column columns[] = {{"title", "Title"}, {"commandKey", "Key"}, {"url", "Search URL"}};

QList<SearchListModel*>& liveModels() {
    static QList<SearchListModel*> models;
    return models;
}

QString field(const SearchUrl& site, const QString& identifier) {
    if (identifier == QLatin1String("url"))
        return site.url();
    if (identifier == QLatin1String("title"))
        return site.title();
    return site.commandKey();
}

void setField(SearchUrl& site, const QString& identifier, const QString& value) {
    if (identifier == QLatin1String("url"))
        site.setUrl(value);
    else if (identifier == QLatin1String("title"))
        site.setTitle(value);
    else
        site.setCommandKey(value);
}

} // namespace

SearchListModel::SearchListModel(SearchList& list, QObject* parent)
    : QAbstractTableModel(parent)
    , list(list) {
    liveModels().append(this);
}

SearchListModel::~SearchListModel() {
    liveModels().removeOne(this);
}

QString SearchListModel::columnIdentifier(int column) {
    if (column < 0 || column >= int(std::size(columns)))
        return QString();
    return QLatin1String(columns[column].identifier);
}

int SearchListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(list.searchUrls().size());
}

int SearchListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(std::size(columns));
}

QVariant SearchListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) ||
        (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    return field(list.searchUrls().at(index.row()), columnIdentifier(index.column()));
}

QVariant SearchListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= int(std::size(columns)))
        return QAbstractTableModel::headerData(section, orientation, role);
    return QLatin1String(columns[section].header);
}

bool SearchListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || role != Qt::EditRole)
        return false;
    setField(list.searchUrls()[index.row()], columnIdentifier(index.column()), value.toString());
    rowChanged(index.row());
    return true;
}

void SearchListModel::addNewBlankSearchUrl() {
    const int row = rowCount();
    const QList<SearchListModel*> models = modelsOfList();
    for (SearchListModel* model : models)
        model->beginInsertRows(QModelIndex(), row, row);
    list.addNewBlankSearchUrl();
    for (SearchListModel* model : models)
        model->endInsertRows();
}

void SearchListModel::removeSearchUrlAtIndex(int index) {
    if (index < 0 || index >= rowCount()) {
        logLine(QStringLiteral("no site at row %1 to delete").arg(index));
        return;
    }
    const QList<SearchListModel*> models = modelsOfList();
    for (SearchListModel* model : models)
        model->beginRemoveRows(QModelIndex(), index, index);
    list.removeSearchUrlAtIndex(index);
    for (SearchListModel* model : models)
        model->endRemoveRows();
}

void SearchListModel::editRow(int row) {
    if (row < 0 || row >= rowCount()) {
        logLine(QStringLiteral("no site at row %1 to edit").arg(row));
        return;
    }
    const SearchUrl before = list.searchUrls().at(row);
    SearchUrlWindowController editor;
    editor.setSearchUrl(before);
    if (editor.runModal() != QDialog::Accepted)
        return;
    // Other code runs while the editor is open; the edit belongs to the site it was given.
    if (row >= rowCount() || list.searchUrls().at(row) != before) {
        logLine(QStringLiteral("the site at row %1 changed while it was edited; the edit is "
                               "dropped")
                    .arg(row));
        return;
    }
    list.searchUrls()[row] = editor.searchUrl();
    rowChanged(row);
}

QList<SearchListModel*> SearchListModel::modelsOfList() const {
    QList<SearchListModel*> models;
    for (SearchListModel* model : liveModels()) {
        if (&model->list == &list)
            models.append(model);
    }
    return models;
}

void SearchListModel::rowChanged(int row) {
    for (SearchListModel* model : modelsOfList())
        emit model->dataChanged(model->index(row, 0), model->index(row, model->columnCount() - 1));
}
