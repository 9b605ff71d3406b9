#pragma once

#include <QList>
#include <QString>

// The browsers' profiles in the person's home that hold search engines Skerrin can import.
namespace BrowserProfiles {

struct Profile {
    QString browser; // "Firefox", "Google Chrome", …
    QString name;    // the profile's name as its browser shows it, else its folder's
    QString path;    // the profile folder, as SiteImporter::readPaths takes it
};

// Firefox's under ~/.mozilla/firefox and $XDG_CONFIG_HOME/mozilla/firefox, then the Chromium
// family's under $XDG_CONFIG_HOME (~/.config when unset), each browser's in its own order.
QList<Profile> find();

} // namespace BrowserProfiles
