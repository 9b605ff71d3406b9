#pragma once

#include "DesktopEntry.h"

#include <QString>
#include <QStringList>

#include <optional>

// How the default browser opens an address in a private window: the private-window action of
// its desktop entry; else, for the browsers that have one, its own flag added to its main
// command; else not at all.
class PrivateWindowCommand {
public:
    enum class Way { Action, Flag, None };

    // The default browser's entry as it is now.
    static PrivateWindowCommand forDefaultBrowser();
    // The entry of a browser, known by its desktop file id.
    PrivateWindowCommand(std::optional<DesktopEntry> entry, const QString& id);

    Way way() const { return how; }
    // Its name, for the log and for the person.
    QString browserName() const;
    // The program and its arguments that open `address` privately; empty when there is none.
    QStringList command(const QString& address) const;

    // Whether a site's private window opens as one, for the site editor to tell the person:
    // BrowserVariable when $BROWSER is set, which opens every address its own way.
    enum class Support { Action, Flag, BrowserVariable, None };
    static Support privateWindowSupport();

private:
    std::optional<DesktopEntry> entry;
    QString id;
    QString action;
    QString flag;
    Way how = Way::None;
};
