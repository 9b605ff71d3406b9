#pragma once

#include <QList>
#include <QMainWindow>
#include <QTimer>

#include <memory>

namespace Ui {
class MainWindow;
}
class QAction;
class QStringListModel;
class SearchList;
class SkerrinController;
class QMenu;

// The search field with its history, the pop-up of sites, the two commands and the picture.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(SkerrinController& controller);
    ~MainWindow() override;

    void updateList(const SearchList& searchList);
    void setSearchFieldText(const QString& text);
    QString searchFieldText() const;
    QMenu* servicesMenu() const;
    void centerOnScreen();
    void showPicture();
    // Raises and activates the window with the keyboard focus in the search field.
    void bringToFront();

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setHistoryModel(QStringListModel* model);
    void openAsUrl();
    void setCaretFlashTime(int flashTime);

    std::unique_ptr<Ui::MainWindow> ui;
    SkerrinController& controller;
    QString keptText;
    QTimer* caretQuiet;
    int caretFlashTime;
    QList<QAction*> siteShortcuts;
};
