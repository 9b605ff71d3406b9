// Feeds arbitrary bytes to Skerrin's services as the arguments of a caller on the session bus:
// a text, or a text and a site title. Whatever arrives, every address handed on must be well
// formed, and no history entry may exceed the cap.
#include "Alert.h"
#include "Prefs.h"
#include "SearchList.h"
#include "Searcher.h"
#include "SkerrinService.h"
#include "UrlOpener.h"
#include "UserDefaults.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

class CheckingOpener : public UrlOpener {
protected:
    bool launch(const QString& address, Window) override {
        if (!isWellFormed(address))
            std::abort();
        return true;
    }
};

class SilentAlert : public Alert {
public:
    void show(const QString&, const QString&, const QString&) override {}
};

struct Skerrin {
    Skerrin() {
        static int argc = 1;
        static char name[] = "bus-arguments-fuzzer";
        static char* argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
    }
    QTemporaryDir home;
    UserDefaults defaults{home.filePath("prefs.plist")};
    Prefs prefs{defaults};
    CheckingOpener opener;
    SilentAlert alert;
    Searcher searcher{prefs, opener, alert};
    // The window always has a site chosen.
    bool chosen =
        (searcher.setSelectedTitle(searcher.getSearchList().searchUrls().first().title()), true);
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Skerrin& skerrin = *new Skerrin;
    // The bus delivers valid UTF-8 only; the text and the title are split at the first NUL.
    const QStringList arguments =
        QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)).split(QChar(0));

    // A service of its own per input, so that the limit on hand-offs never shuts the door.
    SkerrinService service;
    Searcher& searcher = skerrin.searcher;
    QObject::connect(&service, &SkerrinService::serviceSearchRequested, &searcher,
                     [&](const QString& text) { searcher.searchForString(text); });
    QObject::connect(
        &service, &SkerrinService::siteSearchRequested, &searcher,
        [&](const QString& text, const QString& title) { searcher.searchOnSite(text, title); });
    service.setHandOffs([&](const auto& title) { return searcher.handOffsFor(title); });
    if (arguments.size() >= 2)
        service.searchOnSite(arguments[0], arguments[1]);
    else
        service.doServiceSearch(arguments[0]);
    QCoreApplication::processEvents();

    for (const QString& entry : searcher.searchHistory()) {
        if (!Prefs::fitsTheCap(entry))
            std::abort();
    }
    return 0;
}
