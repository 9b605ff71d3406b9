#include "SearchListModel.h"

#include "Log.h"
#include "SearchList.h"
#include "SearchUrlWindowController.h"

#include <QApplication>
#include <QMimeData>
#include <QStyle>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

struct Column {
    const char* identifier;
    const char* header;
};

// The address last, where the table stretches it; a site's encoding and spaces are the
// editor's.
constexpr Column columns[] = {
    {"title", "Title"}, {"commandKey", "Key"}, {"keyword", "Keyword"}, {"url", "Search URL"}};

const QString kRowMimeType = QStringLiteral("application/x-skerrin-site-row");

QList<SearchListModel*>& liveModels() {
    static QList<SearchListModel*> models;
    return models;
}

QString field(const SearchUrl& site, const QString& identifier) {
    if (identifier == QLatin1String("url"))
        return site.url();
    if (identifier == QLatin1String("title"))
        return site.title();
    if (identifier == QLatin1String("keyword"))
        return site.keyword();
    return site.commandKey();
}

void setField(SearchUrl& site, const QString& identifier, const QString& value) {
    if (identifier == QLatin1String("url"))
        site.setUrl(value);
    else if (identifier == QLatin1String("title"))
        site.setTitle(value);
    else if (identifier == QLatin1String("keyword"))
        site.setKeyword(value);
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

int SearchListModel::columnOf(const char* identifier) {
    for (int column = 0; column < int(std::size(columns)); ++column) {
        if (std::strcmp(columns[column].identifier, identifier) == 0)
            return column;
    }
    return -1;
}

int SearchListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(list.searchUrls().size());
}

int SearchListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(std::size(columns));
}

QVariant SearchListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return QVariant();
    const QString shown =
        field(list.searchUrls().at(index.row()), columnIdentifier(index.column()));
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return shown;
    // A site with a problem says so at once, with the reasons.
    const bool described = role == Qt::ToolTipRole || role == Qt::AccessibleDescriptionRole;
    if (!described && !(role == Qt::DecorationRole && index.column() == 0))
        return QVariant();
    const QStringList problems = list.problemsAt(index.row());
    if (!described)
        return problems.isEmpty()
                   ? QVariant()
                   : QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    QStringList lines;
    // The address in full, where the column has room for only part of it.
    if (role == Qt::ToolTipRole && columnIdentifier(index.column()) == QLatin1String("url"))
        lines.append(shown);
    if (!problems.isEmpty())
        lines.append(problems.join(QStringLiteral("; ")));
    return lines.isEmpty() ? QVariant() : lines.join('\n');
}

QVariant SearchListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= int(std::size(columns)))
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromUtf8(columns[section].header);
}

bool SearchListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || role != Qt::EditRole)
        return false;
    setField(list.searchUrls()[index.row()], columnIdentifier(index.column()), value.toString());
    rowChanged(index.row());
    return true;
}

Qt::ItemFlags SearchListModel::flags(const QModelIndex& index) const {
    const Qt::ItemFlags base = QAbstractTableModel::flags(index);
    return index.isValid() ? base | Qt::ItemIsDragEnabled : base | Qt::ItemIsDropEnabled;
}

Qt::DropActions SearchListModel::supportedDropActions() const {
    return Qt::MoveAction;
}

QStringList SearchListModel::mimeTypes() const {
    return {kRowMimeType};
}

QMimeData* SearchListModel::mimeData(const QModelIndexList& indexes) const {
    if (indexes.isEmpty())
        return nullptr;
    auto* data = new QMimeData;
    data->setData(kRowMimeType, QByteArray::number(indexes.first().row()));
    return data;
}

bool SearchListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                                   const QModelIndex& parent) {
    if (action != Qt::MoveAction || !data || !data->hasFormat(kRowMimeType))
        return false;
    bool ok = false;
    const int from = data->data(kRowMimeType).toInt(&ok);
    int to = row >= 0 ? row : parent.isValid() ? parent.row() : rowCount();
    if (to > from)
        --to; // the gap the site leaves
    if (ok)
        moveSite(from, std::min(to, rowCount() - 1));
    // The move is done here: the view must not remove the dragged row once more.
    return false;
}

bool SearchListModel::moveSite(int from, int to) {
    const int rows = rowCount();
    if (from < 0 || from >= rows || to < 0 || to >= rows || from == to)
        return false;
    const QList<SearchListModel*> models = modelsOfList();
    for (SearchListModel* model : models)
        model->beginMoveRows(QModelIndex(), from, from, QModelIndex(), to > from ? to + 1 : to);
    list.searchUrls().move(from, to);
    for (SearchListModel* model : models)
        model->endMoveRows();
    return true;
}

void SearchListModel::restoreDefaults() {
    replaceSites(SearchList().searchUrls());
}

void SearchListModel::replaceSites(const QList<SearchUrl>& sites) {
    const QList<SearchListModel*> models = modelsOfList();
    for (SearchListModel* model : models)
        model->beginResetModel();
    list.searchUrls() = sites;
    for (SearchListModel* model : models)
        model->endResetModel();
}

void SearchListModel::appendSites(const QList<SearchUrl>& sites) {
    if (sites.isEmpty())
        return;
    const int first = rowCount();
    const QList<SearchListModel*> models = modelsOfList();
    for (SearchListModel* model : models)
        model->beginInsertRows(QModelIndex(), first, first + int(sites.size()) - 1);
    list.searchUrls().append(sites);
    for (SearchListModel* model : models)
        model->endInsertRows();
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

void SearchListModel::editRow(int row, bool isNew) {
    if (row < 0 || row >= rowCount()) {
        logLine(QStringLiteral("no site at row %1 to edit").arg(row));
        return;
    }
    const SearchUrl before = list.searchUrls().at(row);
    SearchUrlWindowController editor;
    QList<SearchUrl> others = list.searchUrls();
    others.removeAt(row);
    editor.setOtherSites(others);
    editor.setSearchUrl(before, isNew);
    const bool accepted = editor.runModal() == QDialog::Accepted;
    // Other code runs while the editor is open; the edit belongs to the site it was given.
    if (row >= rowCount() || list.searchUrls().at(row) != before) {
        if (accepted)
            logLine(QStringLiteral("the site at row %1 changed while it was edited; the edit is "
                                   "dropped")
                        .arg(row));
        return;
    }
    if (!accepted) {
        if (isNew)
            removeSearchUrlAtIndex(row);
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
