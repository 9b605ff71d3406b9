#pragma once

#include "EngineReaders.h"
#include "SearchList.h"

#include <QMap>
#include <QStringList>

#include <variant>

// Search sites from browsers' profiles and OpenSearch descriptions, and back out as
// OpenSearch descriptions.
namespace SiteImporter {

// A source template as a site's template ("%@" for the text), or why it cannot be one.
// Parameters other than the text take their usual value (the encoding's name, the first page)
// or go, with their query pair when they are its value.
std::variant<QString, QString> siteTemplate(const QString& sourceTemplate,
                                            const QString& encoding = QStringLiteral("UTF-8"));
// The engine as a new site, or the reason it is skipped.
std::variant<SearchUrl, QString> siteFromEngine(const FoundEngine& engine);

// The file a path means: a Firefox or Chromium profile folder gives its engine file.
QString engineFileOf(const QString& path);
// Every engine of every path; on the first path that cannot be read, "PATH: reason" instead.
struct Found {
    QList<FoundEngine> engines; // SearchList::maxImportedSites at most
    int withoutAddress = 0;
    int beyondTheCap = 0; // engines left unread past that
    QString error;
};
Found readPaths(const QStringList& paths);

// Engines left out for one reason: by title, and those without one counted.
struct Skipped {
    QStringList titles;
    int untitled = 0;
};
// Lines to print, the sites' fields in them escaped as escapeControls() does; and the titles as
// they are, for a window to name them.
struct Report {
    QStringList added;   // one line per site added
    QStringList notes;   // keywords left off
    QStringList skipped; // a summary line per reason
    QStringList addedTitles;
    QMap<QString, Skipped> skippedFor; // by reason
};
// Adds the engines whose template the list does not hold yet, while the list holds fewer than
// SearchList::maxImportedSites.
Report merge(SearchList& list, const Found& found);

// One OpenSearch description per address of each site, each file made new: a name already taken in
// the folder, by a file or a link, is skipped rather than written over or through.
struct Exported {
    QStringList written;
    QStringList skipped;
    QString error; // "PATH: reason" for the first file that could not be written; then it stops
};
Exported exportSites(const SearchList& list, const QString& dir);
QByteArray openSearchDescription(const SearchUrl& site);

} // namespace SiteImporter
