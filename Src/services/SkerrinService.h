#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>

// The services other programs reach over the session bus. A call is answered at once; the
// request goes out from the event loop, so an alert it leads to never holds the caller. Callers
// are strangers: a text over the cap, a flood of searches or a second blank text while the
// alert about the first is up is answered with an error and goes no further.
class SkerrinService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.skerrin.Skerrin.Services")
public:
    static inline const QString serviceName = QStringLiteral(SKERRIN_APP_ID);
    static inline const QString objectPath = QStringLiteral("/org/skerrin/Skerrin");
    static inline const QString interfaceName = QStringLiteral("org.skerrin.Skerrin.Services");
    static inline const QString tooLongError = QStringLiteral("org.skerrin.Skerrin.Error.TooLong");
    static inline const QString busyError = QStringLiteral("org.skerrin.Skerrin.Error.Busy");
    static inline const QString unknownSiteError =
        QStringLiteral("org.skerrin.Skerrin.Error.UnknownSite");
    // Searches callers may hand to the browser, and requests to come forward, in any window of
    // this length.
    static constexpr int maxHandOffs = 20;
    static constexpr qint64 handOffWindowMs = 10000;

    // Also what the command line says before it exits 2.
    static QString tooLongMessage();

    SkerrinService();

    // How many addresses a search on the site titled so (the chosen site for none) hands to the
    // browser, each one hand-off of the limit; 0 for a title no site has. No site is known
    // until this is set.
    using HandOffs = std::function<int(const std::optional<QString>& title)>;
    void setHandOffs(HandOffs count) { handOffsOf = std::move(count); }

    // Exports the object and takes the name; false when another instance holds the name.
    bool publish(QDBusConnection bus);
    // Hands the running Skerrin the leave to come forward that this process was started with
    // (XDG_ACTIVATION_TOKEN, from the launcher or the key binding), ahead of a request.
    static void passActivationToken(QDBusConnection bus);

public slots:
    // The text stands for the plain text of the caller's selection.
    Q_SCRIPTABLE void doServiceSearch(const QString& text);
    Q_SCRIPTABLE void searchOnSite(const QString& text, const QString& title);
    // Counts for the limit too: a window raised in a loop would keep the person from their work.
    Q_SCRIPTABLE void doBringToFront();
    // Searches what is selected in the application in front, as the open-URL hot key does. It
    // counts as a search for the limit: it may end in the browser.
    Q_SCRIPTABLE void searchSelection();
    // The desktop's leave for the next coming forward (an xdg-activation token).
    Q_SCRIPTABLE void setActivationToken(const QString& token);

signals:
    void serviceSearchRequested(const QString& text);
    void siteSearchRequested(const QString& text, const QString& title);
    void bringToFrontRequested();
    void selectionSearchRequested();
    void activationTokenGiven(const QString& token);

private:
    // Sends `request` from the event loop when the text may go ahead; otherwise the caller has
    // had its error.
    void admit(const QString& text, int handOffCount, const std::function<void()>& request);
    // Counts hand-offs to the browser; false, with the caller answered Busy and none counted,
    // when they would go beyond the limit.
    bool takeHandOffs(int count);
    int handOffsOfSite(const std::optional<QString>& title) const;
    void refuse(const QString& name, const QString& message);

    HandOffs handOffsOf;
    QElapsedTimer clock;
    std::deque<qint64> handOffs; // when each admitted search was, oldest first
    bool blankAlertPending = false;
};
