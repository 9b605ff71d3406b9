#include "PrivateWindowCommand.h"

#include "DefaultBrowser.h"

#include <QFileInfo>

namespace {

const QStringList kPrivateActions = {"new-private-window", "private-window", "incognito"};

// Browsers whose own flag opens a private window, known by a part of their desktop file id or
// program name.
const QList<std::pair<QString, QString>> kPrivateFlags = {{"chrom", "--incognito"},
                                                          {"brave", "--incognito"},
                                                          {"vivaldi", "--incognito"},
                                                          {"edge", "--inprivate"},
                                                          {"firefox", "--private-window"},
                                                          {"librewolf", "--private-window"},
                                                          {"waterfox", "--private-window"},
                                                          {"floorp", "--private-window"},
                                                          {"icecat", "--private-window"},
                                                          {"iceweasel", "--private-window"},
                                                          {"mullvad-browser", "--private-window"}};

} // namespace

PrivateWindowCommand PrivateWindowCommand::forDefaultBrowser() {
    const QString id = DefaultBrowser::desktopId();
    const QString path = id.isEmpty() ? QString() : DesktopEntry::pathOf(id);
    return PrivateWindowCommand(path.isEmpty() ? std::nullopt : DesktopEntry::read(path), id);
}

PrivateWindowCommand::PrivateWindowCommand(std::optional<DesktopEntry> browserEntry,
                                           const QString& desktopId)
    : entry(std::move(browserEntry))
    , id(desktopId) {
    if (!entry)
        return;
    for (const QString& listed : entry->actions()) {
        if (kPrivateActions.contains(listed)) {
            action = listed;
            how = Way::Action;
            return;
        }
    }
    const QStringList main = entry->command(DesktopEntry::mainGroup, QString());
    const QString names =
        (id + ' ' + (main.isEmpty() ? QString() : QFileInfo(main.first()).fileName())).toLower();
    for (const auto& [name, browserFlag] : kPrivateFlags) {
        if (names.contains(name)) {
            flag = browserFlag;
            how = Way::Flag;
            return;
        }
    }
}

QString PrivateWindowCommand::browserName() const {
    const QString name = entry ? entry->value(DesktopEntry::mainGroup, QStringLiteral("Name")) : "";
    return name.isEmpty() ? id : name;
}

QStringList PrivateWindowCommand::command(const QString& address) const {
    if (how == Way::Action)
        return entry->command(DesktopEntry::actionGroup(action), address);
    if (how == Way::None)
        return {};
    QStringList command = entry->command(DesktopEntry::mainGroup, address);
    if (command.isEmpty())
        return {};
    // Before the address; before the start of a sandbox's forwarded files (Flatpak's @@u) too.
    qsizetype at = command.lastIndexOf(address);
    if (at < 1)
        at = 1;
    else if (command.at(at - 1).startsWith(QLatin1String("@@")))
        --at;
    command.insert(at, flag);
    return command;
}

PrivateWindowCommand::Support PrivateWindowCommand::privateWindowSupport() {
    if (!qEnvironmentVariableIsEmpty("BROWSER"))
        return Support::BrowserVariable;
    switch (forDefaultBrowser().way()) {
    case Way::Action:
        return Support::Action;
    case Way::Flag:
        return Support::Flag;
    case Way::None:
        break;
    }
    return Support::None;
}
