#include "CommandLine.h"

#include "Autostart.h"
#include "ConsoleAlert.h"
#include "Prefs.h"
#include "SearchList.h"
#include "Searcher.h"
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

void print(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

int usageError(const QCommandLineParser& parser, const QString& message) {
    print(stderr, "skerrin: " + message + "\n\n" + parser.helpText());
    return BadUsage;
}

int listSites(const SearchList& list) {
    QString out;
    for (const SearchUrl& site : list.searchUrls()) {
        out += CommandLine::escapeField(site.commandKey()) + '\t' +
               CommandLine::escapeField(site.title()) + '\t' +
               CommandLine::escapeField(site.url()) + '\n';
    }
    print(stdout, out);
    return Success;
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
        if (bus.isConnected()) {
            const QDBusMessage reply = bus.call(serviceCall(method));
            if (reply.type() == QDBusMessage::ReplyMessage)
                return Success;
            if (refusedBySkerrin(reply)) {
                print(stderr, "skerrin: " + reply.errorMessage() + '\n');
                return NotHandedOver;
            }
            error = reply.errorMessage();
        }
    }
    print(stderr, "skerrin: no Skerrin could be reached: " + error + '\n');
    return NotHandedOver;
}

int search(Prefs& prefs, std::unique_ptr<SearchList> list, const QString& text,
           const std::optional<QString>& site) {
    const auto& sites = list->searchUrls();
    if (site && std::none_of(sites.begin(), sites.end(),
                             [&](const SearchUrl& s) { return s.title() == *site; })) {
        print(stderr, "skerrin: no search site is titled \"" + *site + "\" (see --list-sites)\n");
        return BadUsage;
    }
    XdgUrlOpener opener;
    ConsoleAlert alert;
    Searcher controller(prefs, opener, alert);
    if (site)
        controller.setSelectedTitle(*site);
    else if (!sites.isEmpty())
        controller.setSelectedTitle(sites.first().title());
    controller.setSearchList(std::move(list));

    const auto result = controller.searchForString(text);
    prefs.defaults().synchronize();
    switch (result) {
    case Searcher::SearchResult::Opened:
        return Success;
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

QString CommandLine::escapeField(const QString& field) {
    QString escaped;
    escaped.reserve(field.size());
    for (const QChar c : field) {
        switch (c.unicode()) {
        case '\\':
            escaped += QLatin1String("\\\\");
            break;
        case '\t':
            escaped += QLatin1String("\\t");
            break;
        case '\n':
            escaped += QLatin1String("\\n");
            break;
        case '\r':
            escaped += QLatin1String("\\r");
            break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                escaped += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else
                escaped += c;
        }
    }
    return escaped;
}

int CommandLine::run(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Searches the web for a text, on one of the search sites of Skerrin's list.\n"
        "Without options, starts Skerrin's window.");
    const QCommandLineOption searchOption("search", "Search for TEXT and open the result.", "TEXT");
    const QCommandLineOption siteOption(
        "site", "Search on the site titled TITLE (default: the first of the list).", "TITLE");
    const QCommandLineOption listOption("list-sites",
                                        "Print the search sites: key, title and template.");
    const QCommandLineOption selectionOption(
        "search-selection",
        "Ask Skerrin to search the text selected in the application in front, as its hot key "
        "does.");
    const QCommandLineOption frontOption("bring-to-front", "Ask Skerrin to come forward.");
    const QCommandLineOption inPanelOption(
        Autostart::hiddenArgument.mid(2),
        "Start the window hidden, with its icon in the panel (alone; used at login).");
    const QCommandLineOption helpOption({"h", "help"}, "Show this help.");
    const QCommandLineOption versionOption({"v", "version"}, "Show the version.");
    parser.addOptions({searchOption, siteOption, listOption, selectionOption, frontOption,
                       inPanelOption, helpOption, versionOption});

    if (!parser.parse(arguments))
        return usageError(parser, parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return usageError(parser, "unexpected argument: " + parser.positionalArguments().first());
    if (parser.isSet(helpOption)) {
        print(stdout, parser.helpText());
        return Success;
    }
    if (parser.isSet(versionOption)) {
        print(stdout, QStringLiteral("skerrin " SKERRIN_VERSION "\n"));
        return Success;
    }
    if (parser.isSet(inPanelOption))
        return usageError(parser, "--in-panel goes alone");
    const bool searching = parser.isSet(searchOption);
    const QList<QCommandLineOption> requests = {searchOption, listOption, selectionOption,
                                                frontOption};
    if (std::count_if(requests.begin(), requests.end(),
                      [&](const QCommandLineOption& o) { return parser.isSet(o); }) != 1)
        return usageError(parser, "give one of --search TEXT, --list-sites, --search-selection "
                                  "or --bring-to-front");
    if (parser.isSet(siteOption) && !searching)
        return usageError(parser, "--site goes with --search");
    if (parser.isSet(selectionOption))
        return askSkerrin(QStringLiteral("searchSelection"));
    if (parser.isSet(frontOption))
        return askSkerrin(QStringLiteral("doBringToFront"));

    const QString text = parser.value(searchOption);
    if (searching && !Prefs::fitsTheCap(text)) {
        print(stderr, "skerrin: " + SkerrinService::tooLongMessage() + '\n');
        return BadUsage;
    }
    // Blank text is refused here rather than raising an alert on the desktop.
    if (searching && !parser.isSet(siteOption) && !text.trimmed().isEmpty()) {
        if (const auto reply = searchedByRunningInstance(text)) {
            if (reply->type() == QDBusMessage::ReplyMessage)
                return Success;
            print(stderr, "skerrin: " + reply->errorMessage() + '\n');
            return NotHandedOver;
        }
    }

    Prefs& prefs = Prefs::sharedInstance();
    auto list = Searcher::loadSearchList(prefs.defaults());
    if (!searching)
        return listSites(*list);
    const std::optional<QString> site =
        parser.isSet(siteOption) ? std::optional(parser.value(siteOption)) : std::nullopt;
    return search(prefs, std::move(list), text, site);
}
