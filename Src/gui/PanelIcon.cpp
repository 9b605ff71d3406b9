#include "PanelIcon.h"

#include <QGuiApplication>

PanelIcon::PanelIcon(QObject* parent)
    : QObject(parent)
    , toolTip(QStringLiteral("Skerrin")) {
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
    icon->setToolTip(toolTip);
    icon->setContextMenu(&menu);
    connect(icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
        if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick)
            emit showRequested();
    });
    icon->show();
}

void PanelIcon::setHotKeyNotice(const QString& notice, bool askDesktop) {
    toolTip = notice.isEmpty() ? QStringLiteral("Skerrin") : "Skerrin\n" + notice;
    if (icon)
        icon->setToolTip(toolTip);
    desktopKeys->setVisible(!notice.isEmpty() && askDesktop);
}

bool PanelIcon::isShown() const {
    return icon && QSystemTrayIcon::isSystemTrayAvailable();
}
