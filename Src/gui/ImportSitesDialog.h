#pragma once

#include "SiteImporter.h"

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class ImportSites;
}
class SearchListModel;

// Imports search sites into the preferences' list: from a browser's profile found in the home
// folder, one activation each, or from a folder or files the person chooses. What each import
// did is said inside the dialog, every site by name.
class ImportSitesDialog : public QDialog {
    Q_OBJECT
public:
    enum class Choice { Folder, Files };

    explicit ImportSitesDialog(SearchListModel& sites, QWidget* parent = nullptr);
    ~ImportSitesDialog() override;

    // All or nothing: the engines of every path, or the reason the first unreadable one gives.
    void importPaths(const QStringList& paths);
    // An import's outcome in sentences: the sites added, then those skipped, each reason once.
    static QStringList describe(const SiteImporter::Report& report);

    // When set, the Choose buttons ask this for the paths instead of a file dialog.
    static void setChooserForTesting(std::function<QStringList(Choice)> chooser);

signals:
    void sitesAdded();

private:
    void choose(Choice choice);

    std::unique_ptr<Ui::ImportSites> ui;
    SearchListModel& sites;
};
