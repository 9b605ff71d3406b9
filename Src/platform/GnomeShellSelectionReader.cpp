#include "GnomeShellSelectionReader.h"

#include "Log.h"

#include <QDBusMessage>

GnomeShellSelectionReader::GnomeShellSelectionReader(const QDBusConnection& bus)
    : ClipboardSelectionReader(ChangeNotices::FromToolkit, Highlight::Unreadable)
    , bus(bus)
    , watcher(QLatin1String(serviceName), bus, QDBusServiceWatcher::WatchForOwnerChange) {
    connect(&watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                onBus = !newOwner.isEmpty();
            });
}

QDBusMessage GnomeShellSelectionReader::ask(const char* interface, const char* method) const {
    QDBusMessage question =
        QDBusMessage::createMethodCall(QLatin1String(serviceName), QLatin1String(objectPath),
                                       QLatin1String(interface), QLatin1String(method));
    // Only the shell can start the extension; the bus has nothing to start.
    question.setAutoStartService(false);
    return bus.call(question, QDBus::Block, answerTimeoutMs);
}

bool GnomeShellSelectionReader::readsPrimary() const {
    const bool answers =
        onBus || ask("org.freedesktop.DBus.Peer", "Ping").type() == QDBusMessage::ReplyMessage;
    onBus = answers;
    if (answered != answers)
        logLine(answers ? QStringLiteral("reading the highlighted text through Skerrin's GNOME "
                                         "Shell extension")
                        : QStringLiteral("the compositor lets nobody read the highlighted text and "
                                         "Skerrin's GNOME Shell extension does not answer: a "
                                         "capture brings Skerrin forward with the clipboard's text "
                                         "to confirm"));
    answered = answers;
    return answers;
}

std::optional<QString> GnomeShellSelectionReader::text(Selection selection) {
    if (selection == Selection::Clipboard)
        return ClipboardSelectionReader::text(selection);
    const QDBusMessage answer = ask(interfaceName, "PrimaryText");
    if (answer.type() != QDBusMessage::ReplyMessage) {
        onBus = false; // asked again at the next capture
        logLine(QStringLiteral("Skerrin's GNOME Shell extension did not give the highlighted "
                               "text: %1")
                    .arg(answer.errorMessage()));
        return std::nullopt;
    }
    const QString text = answer.arguments().value(0).toString();
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

QString GnomeShellSelectionReader::howToReadHighlight() const {
    const QStringList desktops =
        qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'));
    if (!desktops.contains(QLatin1String("GNOME"), Qt::CaseInsensitive) || readsPrimary())
        return {};
    return tr("To let Skerrin read the highlighted text, turn its GNOME Shell extension on: "
              "gnome-extensions enable %1 (log in again first if Skerrin was installed in this "
              "session).")
        .arg(QLatin1String(extensionUuid));
}
