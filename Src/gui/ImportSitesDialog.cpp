#include "ImportSitesDialog.h"

#include "BrowserProfiles.h"
#include "SearchListModel.h"
#include "ui_ImportSites.h"

#include <QDir>
#include <QFileDialog>

namespace {

std::function<QStringList(ImportSitesDialog::Choice)>& chooser() {
    static std::function<QStringList(ImportSitesDialog::Choice)> testChooser;
    return testChooser;
}

QString sentence(QString text) {
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text + '.';
}

} // namespace

ImportSitesDialog::ImportSitesDialog(SearchListModel& sites, QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::ImportSites>())
    , sites(sites) {
    ui->setupUi(this);
    // The result reads as text of the dialog, not as a field to type in.
    ui->result->viewport()->setAutoFillBackground(false);
    for (const BrowserProfiles::Profile& profile : BrowserProfiles::find()) {
        auto* item = new QListWidgetItem(tr("%1 — %2").arg(profile.browser, profile.name));
        item->setData(Qt::UserRole, profile.path);
        item->setToolTip(profile.path);
        ui->profiles->addItem(item);
    }
    if (ui->profiles->count() > 0)
        ui->profiles->setCurrentRow(0);
    else
        ui->result->setPlainText(
            tr("No browser's profile was found in your home folder: choose a folder or a file."));
    connect(ui->profiles, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { importPaths({item->data(Qt::UserRole).toString()}); });
    connect(ui->chooseFolderButton, &QPushButton::clicked, this,
            [this] { choose(Choice::Folder); });
    connect(ui->chooseFileButton, &QPushButton::clicked, this, [this] { choose(Choice::Files); });
    connect(ui->closeButton, &QPushButton::clicked, this, &QDialog::accept);
}

ImportSitesDialog::~ImportSitesDialog() = default;

void ImportSitesDialog::setChooserForTesting(std::function<QStringList(Choice)> testChooser) {
    chooser() = std::move(testChooser);
}

void ImportSitesDialog::choose(Choice choice) {
    QStringList paths;
    if (chooser())
        paths = chooser()(choice);
    else if (choice == Choice::Folder) {
        const QString folder = QFileDialog::getExistingDirectory(
            this, tr("Import from a Profile Folder"), QDir::homePath());
        if (!folder.isEmpty())
            paths.append(folder);
    } else
        paths = QFileDialog::getOpenFileNames(
            this, tr("Import Search Sites"), QDir::homePath(),
            tr("Browser engines and OpenSearch (*.mozlz4 Web*Data *.xml);;All files (*)"));
    if (!paths.isEmpty())
        importPaths(paths);
}

void ImportSitesDialog::importPaths(const QStringList& paths) {
    const SiteImporter::Found found = SiteImporter::readPaths(paths);
    if (!found.error.isEmpty()) {
        ui->result->setPlainText(tr("Nothing imported. %1").arg(found.error));
        return;
    }
    SearchList merged = SearchList::empty();
    merged.searchUrls() = sites.searchList().searchUrls();
    const SiteImporter::Report report = SiteImporter::merge(merged, found);
    sites.appendSites(merged.searchUrls().mid(sites.rowCount()));
    ui->result->setPlainText(describe(report).join('\n'));
    if (!report.addedTitles.isEmpty())
        emit sitesAdded();
}

QStringList ImportSitesDialog::describe(const SiteImporter::Report& report) {
    const qsizetype added = report.addedTitles.size();
    if (added == 0 && report.skippedFor.isEmpty())
        return {tr("No search engines found.")};
    QStringList lines;
    const QString names = report.addedTitles.join(QStringLiteral(", "));
    lines.append(added == 0   ? tr("No site added.")
                 : added == 1 ? tr("Added 1 site: %1.").arg(names)
                              : tr("Added %1 sites: %2.").arg(QString::number(added), names));
    for (const QString& note : report.notes)
        lines.append(sentence(note));
    for (auto it = report.skippedFor.cbegin(); it != report.skippedFor.cend(); ++it) {
        QString who = it->titles.join(QStringLiteral(", "));
        if (it->untitled > 0) {
            const QString count = it->untitled == 1
                                      ? tr("1 engine")
                                      : tr("%1 engines").arg(QString::number(it->untitled));
            who = who.isEmpty() ? count
                                : tr("%1 and %2 more").arg(who, QString::number(it->untitled));
        }
        lines.append(tr("Skipped %1: %2.").arg(who, it.key()));
    }
    return lines;
}
