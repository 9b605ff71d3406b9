#include "MainWindow.h"

#include "SearchList.h"
#include "SkerrinController.h"
#include "ui_MainWindow.h"

#include <QLineEdit>

MainWindow::MainWindow(SkerrinController& controller, const SearchList& searchList)
    : ui(std::make_unique<Ui::MainWindow>())
    , controller(controller)
    , searchList(searchList) {
    ui->setupUi(this);
    ui->searchText->setModel(&controller.searchHistoryModel());
    ui->searchText->setCurrentIndex(-1);
    connect(ui->searchListMenu, &QComboBox::currentTextChanged, this,
            [&controller](const QString& title) { controller.setSelectedTitle(title); });
    connect(ui->searchText->lineEdit(), &QLineEdit::returnPressed, this, &MainWindow::search);
    connect(ui->searchButton, &QPushButton::clicked, this, &MainWindow::search);
    connect(ui->openButton, &QPushButton::clicked, this, &MainWindow::openAsUrl);
    updateList();
}

MainWindow::~MainWindow() = default;

void MainWindow::updateList() {
    ui->searchListMenu->clear();
    for (const SearchUrl& site : searchList.searchUrls())
        ui->searchListMenu->addItem(site.title());
}

void MainWindow::search() {
    const QString text = ui->searchText->currentText();
    if (!controller.egg(text))
        controller.searchForString(text);
    // Growing the history must not replace what the person typed.
    ui->searchText->setEditText(text);
}

void MainWindow::openAsUrl() {
    controller.setSearchText(ui->searchText->currentText());
    controller.openAsURL();
}
