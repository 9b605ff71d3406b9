#include "CommandLine.h"

#include "Autostart.h"
#include "ConsoleAlert.h"
#include "Log.h"
#include "Prefs.h"
#include "SearchList.h"
#include "Searcher.h"
#include "SiteImporter.h"
#include "SkerrinService.h"
#include "UserDefaults.h"
#include "XdgUrlOpener.h"

#include <QCommandLineParser>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <sys/stat.h>

namespace {

enum ExitCode { Success = 0, BlankText = 1, BadUsage = 2, NotHandedOver = 3 };
// --import-sites and --export-sites: a file that cannot be read or written.
constexpr int FileError = 1;

void print(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

int usageError(const QString& message) {
    print(stderr, "skerrin: " + message + "\nTry 'skerrin --help' for more information.\n");
    return BadUsage;
}

// The parser's own words name an unknown option without its dashes.
QString parseError(const QCommandLineParser& parser) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
        return "unknown option " + QString(unknown.first().size() == 1 ? "-" : "--") +
               unknown.first();
    QString error = parser.errorText();
    error[0] = error[0].toLower();
    return error.endsWith('.') ? error.chopped(1) : error;
}

// Why the bus could not start Skerrin, in a person's words.
QString startFailure(const QDBusMessage& reply) {
    const QString name = reply.errorName();
    if (name.endsWith(QLatin1String(".ServiceUnknown")))
        return QStringLiteral("it is not installed for this session");
    if (name.endsWith(QLatin1String(".NoReply")) || name.endsWith(QLatin1String(".Timeout")))
        return QStringLiteral("it did not answer");
    if (name.contains(QLatin1String(".Spawn.")))
        return QStringLiteral("it failed to start");
    return QStringLiteral("the session bus refused the request");
}

int listSites(const SearchList& list) {
    QString out;
    for (const SearchUrl& site : list.searchUrls()) {
        QStringList urls = site.urls();
        for (QString& url : urls)
            url = escapeControls(url);
        out += escapeControls(site.commandKey()) + '\t' + escapeControls(site.title()) + '\t' +
               urls.join(' ') + '\t' + escapeControls(site.keyword()) + '\t' +
               encodingName(site.encoding()) + '\n';
    }
    print(stdout, out);
    return Success;
}

// Written under the settings file's lock, onto what another process may have written meanwhile;
// a running Skerrin sees the file change and takes the list in.
int saveSites(Prefs& prefs, const SearchList& list) {
    prefs.saveSearchList(list, QLatin1String(PrefKeys::searchList));
    if (prefs.defaults().synchronize())
        return Success;
    print(stderr, "skerrin: " + prefs.defaults().path() + ": cannot be written\n");
    return FileError;
}

// All or nothing: the settings are opened only once every path has been read.
int importSites(const QStringList& paths) {
    const SiteImporter::Found found = SiteImporter::readPaths(paths);
    if (!found.error.isEmpty()) {
        print(stderr, "skerrin: " + escapeControls(found.error) + '\n');
        return FileError;
    }
    Prefs& prefs = Prefs::sharedInstance();
    auto list = Searcher::loadSearchList(prefs.defaults());
    const SiteImporter::Report report = SiteImporter::merge(*list, found);
    const QStringList lines = report.added + report.notes + report.skipped;
    print(stdout,
          lines.isEmpty() ? QStringLiteral("no search engines found\n") : lines.join('\n') + '\n');
    return report.addedTitles.isEmpty() ? Success : saveSites(prefs, *list);
}

// By the site editor's rules, and a template must take the text: a problem is one line, and
// nothing is changed.
int addSite(SearchUrl site, const QStringList& templates) {
    QStringList urls;
    for (const QString& typed : templates)
        urls.append(withTextPlace(typed));
    site.setUrls(urls);
    Prefs& prefs = Prefs::sharedInstance();
    auto list = Searcher::loadSearchList(prefs.defaults());
    if (site.commandKey().isEmpty())
        site.setCommandKey(QString::number(list->searchUrls().size() + 1));
    QStringList problems;
    for (const SearchList::Problem& problem : SearchList::problemsOf(site, list->searchUrls()))
        problems.append(problem.reason);
    if (!site.title().isEmpty() && site.title().trimmed().isEmpty())
        problems.prepend(QStringLiteral("a site needs a title"));
    if (!problems.isEmpty()) {
        print(stderr, "skerrin: cannot add \"" + escapeControls(site.title()) +
                          "\": " + escapeControls(problems.join(QStringLiteral("; "))) + '\n');
        return FileError;
    }
    list->searchUrls().append(site);
    return saveSites(prefs, *list);
}

int removeSite(const QString& title) {
    Prefs& prefs = Prefs::sharedInstance();
    auto list = Searcher::loadSearchList(prefs.defaults());
    const SearchUrl* site = list->siteForTitle(title);
    if (!site) {
        print(stderr, "skerrin: no search site is titled \"" + escapeControls(title) +
                          "\" (see --list-sites)\n");
        return FileError;
    }
    list->removeSearchUrlAtIndex(int(site - list->searchUrls().data()));
    return saveSites(prefs, *list);
}

// A file already in the folder, or a link, stays as it was: that is said, and the exit is 1.
int exportSites(const SearchList& list, const QString& dir) {
    const SiteImporter::Exported exported = SiteImporter::exportSites(list, dir);
    for (const QString& file : exported.written)
        print(stdout, escapeControls(file) + '\n');
    for (const QString& file : exported.skipped)
        print(stderr, "skerrin: skipped " + escapeControls(file) + ": it is there already\n");
    if (!exported.error.isEmpty())
        print(stderr, "skerrin: " + escapeControls(exported.error) + '\n');
    return exported.error.isEmpty() && exported.skipped.isEmpty() ? Success : FileError;
}

// Whether the bus library could find a session bus at all: an address in the environment, the
// per-user bus socket, or an X display to autolaunch one on. Asking without any of them only
// starts the bus thread to learn that there is none.
bool sessionBusMayExist() {
    for (const char* variable : {"DBUS_SESSION_BUS_ADDRESS", "DBUS_STARTER_ADDRESS", "DISPLAY"}) {
        if (!qEnvironmentVariableIsEmpty(variable))
            return true;
    }
    const QByteArray runtimeDir = qgetenv("XDG_RUNTIME_DIR");
    struct stat socket {};
    return !runtimeDir.isEmpty() && ::stat((runtimeDir + "/bus").constData(), &socket) == 0;
}

QDBusMessage serviceCall(const QString& method) {
    return QDBusMessage::createMethodCall(SkerrinService::serviceName, SkerrinService::objectPath,
                                          SkerrinService::interfaceName, method);
}

// An error of Skerrin's own: it was reached, and said no.
bool refusedBySkerrin(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ErrorMessage &&
           reply.errorName().startsWith(QLatin1String("org.skerrin.Skerrin.Error."));
}

// A running Skerrin searches on the site chosen in its window and keeps the history itself, so
// that only one process writes the preference file. Nothing when none answers; its error when
// it refused.
std::optional<QDBusMessage> searchedByRunningInstance(const QString& text) {
    if (!sessionBusMayExist())
        return std::nullopt;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(SkerrinService::serviceName))
        return std::nullopt;
    QDBusMessage call = serviceCall(QStringLiteral("doServiceSearch"));
    call << text;
    const QDBusMessage reply = bus.call(call);
    if (reply.type() != QDBusMessage::ReplyMessage && !refusedBySkerrin(reply))
        return std::nullopt;
    return reply;
}

// For a key bound in the desktop's own settings: the session's Skerrin does the work, started
// by the bus when none runs, so the window and its hot keys stay the only ones.
int askSkerrin(const QString& method) {
    QString error = QStringLiteral("no session bus");
    if (sessionBusMayExist()) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        error = QStringLiteral("the session bus cannot be reached");
        if (bus.isConnected()) {
            SkerrinService::passActivationToken(bus);
            const QDBusMessage reply = bus.call(serviceCall(method));
            if (reply.type() == QDBusMessage::ReplyMessage)
                return Success;
            if (refusedBySkerrin(reply)) {
                print(stderr, "skerrin: " + reply.errorMessage() + '\n');
                return NotHandedOver;
            }
            error = startFailure(reply);
        }
    }
    print(stderr, "skerrin: Skerrin is not running and could not be started: " + error + '\n');
    return NotHandedOver;
}

int search(Prefs& prefs, std::unique_ptr<SearchList> list, const QString& text,
           const std::optional<QString>& site) {
    const auto& sites = list->searchUrls();
    if (site && std::none_of(sites.begin(), sites.end(),
                             [&](const SearchUrl& s) { return s.title() == *site; })) {
        return usageError("no search site is titled \"" + escapeControls(*site) +
                          "\" (see --list-sites)");
    }
    XdgUrlOpener opener;
    ConsoleAlert alert;
    Searcher controller(prefs, opener, alert);
    if (site)
        controller.setSelectedTitle(*site);
    else if (!sites.isEmpty())
        controller.setSelectedTitle(sites.first().title());
    controller.setSearchList(std::move(list));

    // Typed text: its first word may be a site's keyword.
    const auto result = site ? controller.searchForString(text) : controller.searchTypedText(text);
    // A browser of $BROWSER may fail after it started, and the next be tried: that is seen out.
    const bool started = opener.settle();
    prefs.defaults().synchronize();
    switch (result) {
    case Searcher::SearchResult::Opened:
        if (started)
            return Success;
        [[fallthrough]];
    case Searcher::SearchResult::NotOpened:
        print(stderr, "skerrin: the address could not be handed to the browser\n");
        return NotHandedOver;
    case Searcher::SearchResult::TooLong:
        return BadUsage;
    case Searcher::SearchResult::NoText:
    case Searcher::SearchResult::Blank:
        break;
    }
    return BlankText;
}

} // namespace

bool CommandLine::wants(const QStringList& arguments) {
    return arguments.size() > 1 &&
           !(arguments.size() == 2 && arguments.at(1) == Autostart::hiddenArgument);
}

int CommandLine::run(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Searches the web for a text, on one of the search sites of Skerrin's list.\n"
        "Without options, starts Skerrin's window.");
    const QCommandLineOption searchOption(
        "search",
        "Search for TEXT and open the result. Without --site, a first word that is a site's "
        "keyword searches the rest on that site.",
        "TEXT");
    const QCommandLineOption siteOption(
        "site", "Search on the site titled TITLE (default: the first of the list).", "TITLE");
    const QCommandLineOption listOption(
        "list-sites", "Print the search sites: key, title, template, keyword and encoding.");
    const QCommandLineOption importOption(
        "import-sites",
        "Add the search engines of PATH and of the paths after it: a Firefox or Chromium "
        "profile folder, its search.json.mozlz4 or Web Data, or an OpenSearch .xml file.",
        "PATH");
    const QCommandLineOption exportOption(
        "export-sites",
        "Write one OpenSearch description per search site into DIR, each a new file: a name "
        "already there is skipped, and the exit is 1.",
        "DIR");
    const QCommandLineOption addOption(
        "add-site",
        "Add a search site titled TITLE that searches on TEMPLATE, given after it; several "
        "TEMPLATEs make a group, searched on each in turn. The text's place is written %@, %s "
        "or {searchTerms}.",
        "TITLE");
    const QCommandLineOption keywordOption(
        "keyword", "With --add-site: typed before a text, WORD searches it on the new site.",
        "WORD");
    const QCommandLineOption keyOption(
        "key", "With --add-site: Ctrl+DIGIT chooses the new site in the window.", "DIGIT");
    const QCommandLineOption privateOption(
        "private", "With --add-site: the new site opens in the browser's private window.");
    const QCommandLineOption removeOption("remove-site", "Remove the search site titled TITLE.",
                                          "TITLE");
    const QCommandLineOption selectionOption(
        "search-selection",
        "Ask Skerrin to search the text selected in the application in front, as its hot key "
        "does.");
    const QCommandLineOption frontOption("bring-to-front", "Ask Skerrin to come forward.");
    const QCommandLineOption clearOption(
        "clear-history",
        "Forget the searches made so far, in the settings file and in a running Skerrin.");
    const QCommandLineOption inPanelOption(
        Autostart::hiddenArgument.mid(2),
        "Start the window hidden, with its icon in the panel (alone; used at login).");
    const QCommandLineOption helpOption({"h", "help"}, "Show this help.");
    const QCommandLineOption versionOption({"v", "version"}, "Show the version.");
    parser.addOptions({searchOption, siteOption, listOption, importOption, exportOption, addOption,
                       keywordOption, keyOption, privateOption, removeOption, clearOption,
                       selectionOption, frontOption, inPanelOption, helpOption, versionOption});

    if (!parser.parse(arguments))
        return usageError(parseError(parser));
    const bool importing = parser.isSet(importOption);
    const bool adding = parser.isSet(addOption);
    if (!importing && !adding && !parser.positionalArguments().isEmpty())
        return usageError("unexpected argument: " + parser.positionalArguments().first());
    if (parser.isSet(helpOption)) {
        // The default keys of PrefKeys, in the words the preferences window shows.
        print(stdout, parser.helpText() +
                          "\nHot keys, changed in the preferences window:\n"
                          "  Super+F11 brings Skerrin forward.\n"
                          "  Super+Alt+F11 searches the text selected in the application in "
                          "front.\n\nSettings are kept in " +
                          UserDefaults::standardPath() + "\n");
        return Success;
    }
    if (parser.isSet(versionOption)) {
        print(stdout, QStringLiteral("skerrin " SKERRIN_VERSION "\n"));
        return Success;
    }
    if (parser.isSet(inPanelOption))
        return usageError("--in-panel goes alone");
    const bool searching = parser.isSet(searchOption);
    const bool exporting = parser.isSet(exportOption);
    const QList<QCommandLineOption> requests = {searchOption, listOption,      importOption,
                                                exportOption, addOption,       removeOption,
                                                clearOption,  selectionOption, frontOption};
    if (std::count_if(requests.begin(), requests.end(),
                      [&](const QCommandLineOption& o) { return parser.isSet(o); }) != 1)
        return usageError("give one of --search TEXT, --list-sites, --import-sites PATH, "
                          "--export-sites DIR, --add-site TITLE TEMPLATE, --remove-site TITLE, "
                          "--clear-history, --search-selection or --bring-to-front");
    if (parser.isSet(siteOption) && !searching)
        return usageError("--site goes with --search");
    for (const QCommandLineOption& option : {keywordOption, keyOption, privateOption}) {
        if (parser.isSet(option) && !adding)
            return usageError("--" + option.names().first() + " goes with --add-site");
    }
    if (parser.isSet(selectionOption))
        return askSkerrin(QStringLiteral("searchSelection"));
    if (parser.isSet(frontOption))
        return askSkerrin(QStringLiteral("doBringToFront"));

    if (importing)
        return importSites(parser.values(importOption) + parser.positionalArguments());
    if (parser.isSet(removeOption))
        return removeSite(parser.value(removeOption));
    if (adding) {
        if (parser.positionalArguments().isEmpty())
            return usageError("--add-site needs a TEMPLATE after its TITLE");
        const QString key = parser.value(keyOption);
        if (parser.isSet(keyOption) && (key.size() != 1 || !key.at(0).isDigit()))
            return usageError("--key takes one digit");
        SearchUrl site(QString(), parser.value(addOption), key, InputEncoding::Utf8,
                       SpaceStyle::Percent20, parser.value(keywordOption).trimmed());
        site.setPrivateWindow(parser.isSet(privateOption));
        return addSite(site, parser.positionalArguments());
    }
    const QString text = parser.value(searchOption);
    if (searching && !Prefs::fitsTheCap(text)) {
        print(stderr, "skerrin: " + SkerrinService::tooLongMessage() + '\n');
        return BadUsage;
    }
    Prefs& prefs = Prefs::sharedInstance();
    if (parser.isSet(clearOption)) {
        // A running Skerrin rereads the file and empties its list too.
        prefs.setHistory({});
        if (prefs.defaults().synchronize())
            return Success;
        print(stderr, "skerrin: could not write " + UserDefaults::standardPath() + '\n');
        return FileError;
    }
    auto list = Searcher::loadSearchList(prefs.defaults());
    if (exporting)
        return exportSites(*list, parser.value(exportOption));
    if (!searching)
        return listSites(*list);

    // Blank text is refused here rather than raising an alert on the desktop. A running
    // Skerrin searches texts as selections, so a keyword search is made here.
    if (!parser.isSet(siteOption) && !text.trimmed().isEmpty() && !list->siteForKeyword(text)) {
        if (const auto reply = searchedByRunningInstance(text)) {
            if (reply->type() == QDBusMessage::ReplyMessage)
                return Success;
            print(stderr, "skerrin: " + reply->errorMessage() + '\n');
            return NotHandedOver;
        }
    }
    const std::optional<QString> site =
        parser.isSet(siteOption) ? std::optional(parser.value(siteOption)) : std::nullopt;
    return search(prefs, std::move(list), text, site);
}
