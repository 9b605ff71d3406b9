#include "PanelIcon.h"

#include <QGuiApplication>

PanelIcon::PanelIcon(QObject* parent)
    : QObject(parent)
    , tip(QStringLiteral("Skerrin")) {
    menu.addAction(tr("Search the clipboard"), this, &PanelIcon::searchClipboardRequested);
    menu.addAction(tr("Show Skerrin"), this, &PanelIcon::showRequested);
    menu.addAction(tr("Preferences"), this, &PanelIcon::prefsRequested);
    menu.addAction(tr("Clear History"), this, &PanelIcon::clearHistoryRequested);
    desktopKeys =
        menu.addAction(tr("Change in the Desktop…"), this, &PanelIcon::desktopKeysRequested);
    desktopKeys->setVisible(false);
    menu.addSeparator();
    menu.addAction(tr("Quit"), this, &PanelIcon::quitRequested);
}

PanelIcon::~PanelIcon() = default;

void PanelIcon::setShown(bool shown) {
    if (shown == (icon != nullptr))
        return;
    if (!shown) {
        delete icon;
        icon = nullptr;
        return;
    }
    icon = new QSystemTrayIcon(QGuiApplication::windowIcon(), this);
    icon->setToolTip(tip);
    icon->setContextMenu(&menu);
    connect(icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
        if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick)
            emit showRequested();
    });
    icon->show();
}

void PanelIcon::showHotKeys(const QString& hint, const QString& states, bool askDesktop) {
    QStringList lines{QStringLiteral("Skerrin"), hint, states};
    lines.removeAll(QString());
    tip = lines.join('\n');
    if (icon)
        icon->setToolTip(tip);
    desktopKeys->setVisible(askDesktop);
}

bool PanelIcon::isShown() const {
    return icon && QSystemTrayIcon::isSystemTrayAvailable();
}
