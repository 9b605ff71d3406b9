#pragma once

#include <QList>
#include <QMainWindow>
#include <QStringList>
#include <QTimer>

#include <memory>

namespace Ui {
class MainWindow;
}
class QAction;
class QStringListModel;
class SearchList;
class QMenu;
class WindowActivator;

// The search field with its history, the pop-up of sites, the two commands and the picture.
// What the person asks for goes out as signals; the controller answers them.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QStringListModel& history);
    ~MainWindow() override;

    // How the desktop gives the window the focus; without one, Qt's own request is all.
    void setWindowActivator(WindowActivator* a) { activator = a; }
    void updateList(const SearchList& searchList);
    void setSearchFieldText(const QString& text);
    QString searchFieldText() const;
    QMenu* servicesMenu() const;
    void centerOnScreen();
    void showPicture();
    // Raises and activates the window with the keyboard focus in the search field.
    void bringToFront();
    // The same with `text` in the search field, selected: typing replaces it, Return searches it.
    void bringToFrontWithText(const QString& text);
    // Shown, leaving the keyboard focus where it is.
    void showBehind();
    // Under the search field: what the keys do (hidden when empty) and a line of their states,
    // with the button asking the desktop to change keys when it can be asked.
    void showHotKeys(const QString& hint, const QString& states, bool askDesktop);
    // The Skerrin menu offers to turn the bring-to-front key off, or on again.
    void setBringToFrontKeyOn(bool on);
    // A site's suggestions for `text`, listed below the field above the matching history while
    // the field still holds that text.
    void showSuggestions(const QString& text, const QStringList& suggestions);

signals:
    void closed();
    // Quit from the menu: unlike closing the window, it ends Skerrin also with its icon shown.
    void quitRequested();
    void clearHistoryRequested();
    void titleChosen(const QString& title);
    void searchRequested();
    void openAsUrlRequested(const QString& text);
    void aboutRequested();
    void prefsRequested();
    void registerHKRequested();
    void unregisterHKRequested();
    void turnOnHKRequested();
    void desktopKeysRequested();
    // The person typed `text` in the search field; empty when the program put text there.
    void suggestionsWanted(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setHistoryModel(QStringListModel* model);
    void openAsUrl();
    void setCaretFlashTime(int flashTime);
    // Below the field: the suggestions, then the history entries that begin with its text.
    void listCompletions();

    std::unique_ptr<Ui::MainWindow> ui;
    WindowActivator* activator = nullptr;
    QString keptText;
    QTimer* caretQuiet;
    int caretFlashTime;
    QList<QAction*> siteShortcuts;
    QStringListModel* completions;
    QStringList suggestions;
};
