#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class MainWindow;
}
class SearchList;
class SkerrinController;

// The search field, the pop-up of sites and the two commands.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    MainWindow(SkerrinController& controller, const SearchList& searchList);
    ~MainWindow() override;

    void updateList();

private:
    void search();
    void openAsUrl();

    std::unique_ptr<Ui::MainWindow> ui;
    SkerrinController& controller;
    const SearchList& searchList;
};
