#include "SearchUrlWindowController.h"

#include "ui_SearchUrlWindow.h"

namespace {

std::function<int(SearchUrlWindowController&)>& modalRunner() {
    static std::function<int(SearchUrlWindowController&)> runner;
    return runner;
}

} // namespace

SearchUrlWindowController::SearchUrlWindowController(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::SearchUrlWindow>()) {
    ui->setupUi(this);
    connect(ui->okButton, &QPushButton::clicked, this, &SearchUrlWindowController::okPressed);
    connect(ui->cancelButton, &QPushButton::clicked, this,
            &SearchUrlWindowController::cancelPressed);
}

SearchUrlWindowController::~SearchUrlWindowController() = default;

void SearchUrlWindowController::setSearchUrl(const SearchUrl& surl) {
    mySearchUrl = surl;
    ui->commandKey->setText(surl.commandKey());
    ui->title->setText(surl.title());
    ui->url->setText(surl.url());
}

int SearchUrlWindowController::runModal() {
    if (!modalRunner())
        return exec();
    show();
    const int code = modalRunner()(*this);
    hide();
    return code;
}

void SearchUrlWindowController::setModalRunnerForTesting(
    std::function<int(SearchUrlWindowController&)> runner) {
    modalRunner() = std::move(runner);
}

void SearchUrlWindowController::okPressed() {
    mySearchUrl.setCommandKey(ui->commandKey->text());
    mySearchUrl.setTitle(ui->title->text());
    mySearchUrl.setUrl(ui->url->text());
    accept();
}

void SearchUrlWindowController::cancelPressed() {
    reject();
}
