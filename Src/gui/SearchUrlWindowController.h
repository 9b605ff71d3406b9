#pragma once

#include "PrivateWindowCommand.h"
#include "SearchList.h"

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class SearchUrlWindow;
}

// The modal editor of one search site: its command key, title, address templates and whether it
// opens in a private window. It edits a copy; the caller puts the copy back into the list once
// the editor has closed with OK.
class SearchUrlWindowController : public QDialog {
    Q_OBJECT
public:
    explicit SearchUrlWindowController(QWidget* parent = nullptr);
    ~SearchUrlWindowController() override;

    // Remembers the site and fills the fields from it, the title selected so that typing
    // replaces it. A new site's address starts empty, an example in its place.
    void setSearchUrl(const SearchUrl& surl, bool isNew = false);
    // The rest of the list: a title or keyword one of them has is refused.
    void setOtherSites(QList<SearchUrl> others);
    // Whether the browser opens a private window, as the editor tells the person; the
    // constructor asks the desktop.
    void setPrivateWindowSupport(PrivateWindowCommand::Support support);
    // The site as OK last wrote it back from the fields.
    const SearchUrl& searchUrl() const { return mySearchUrl; }

    // Accepted when the user ended with OK; Rejected with Cancel, Escape or the close box.
    int runModal();
    // When set, runModal() calls this instead of running a nested loop; it plays the person
    // (types into the fields, presses the buttons) and returns the code. Empty restores the loop.
    static void setModalRunnerForTesting(std::function<int(SearchUrlWindowController&)> runner);

    void okPressed();
    void cancelPressed();

private:
    // The site as the fields have it now.
    SearchUrl typedSite() const;
    // Shows what "example" opens and, beside each field, what is wrong with it, as the person
    // types; OK waits until nothing is.
    void fieldsChanged();

    std::unique_ptr<Ui::SearchUrlWindow> ui;
    QList<SearchUrl> otherSites;
    SearchUrl mySearchUrl{QString(), QString(), QString()};
};
