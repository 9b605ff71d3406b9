#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

// Skerrin's icon in the panel (a StatusNotifierItem where the panel has one, else the XEmbed
// tray) with its menu. Made only while it is shown, so a hidden icon costs nothing.
class PanelIcon : public QObject {
    Q_OBJECT
public:
    explicit PanelIcon(QObject* parent = nullptr);
    ~PanelIcon() override;

    void setShown(bool shown);
    // Shown, and a panel is there to show it.
    bool isShown() const;
    // Hot keys that do not work, told in the tooltip (none: empty), with a menu item asking the
    // desktop to change them when it can be asked.
    void setHotKeyNotice(const QString& notice, bool askDesktop);

signals:
    void searchClipboardRequested();
    void showRequested();
    void prefsRequested();
    void desktopKeysRequested();
    void clearHistoryRequested();
    void quitRequested();

private:
    QMenu menu;
    QAction* desktopKeys;
    QString toolTip;
    QSystemTrayIcon* icon = nullptr;
};
