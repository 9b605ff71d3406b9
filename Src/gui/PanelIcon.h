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
    // What the keys do and their states, told in the tooltip, with a menu item asking the
    // desktop to change keys when it can be asked.
    void showHotKeys(const QString& hint, const QString& states, bool askDesktop);
    QString toolTip() const { return tip; }

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
    QString tip;
    QSystemTrayIcon* icon = nullptr;
};
