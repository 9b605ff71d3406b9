#include "PanelIcon.h"

#include <QGuiApplication>

PanelIcon::PanelIcon(QObject* parent)
    : QObject(parent) {
    menu.addAction(tr("Search the clipboard"), this, &PanelIcon::searchClipboardRequested);
    menu.addAction(tr("Show Skerrin"), this, &PanelIcon::showRequested);
    menu.addAction(tr("Preferences"), this, &PanelIcon::prefsRequested);
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
    icon->setToolTip(QStringLiteral("Skerrin"));
    icon->setContextMenu(&menu);
    connect(icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
        if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick)
            emit showRequested();
    });
    icon->show();
}

bool PanelIcon::isShown() const {
    return icon && QSystemTrayIcon::isSystemTrayAvailable();
}
