#include "AboutWindowController.h"

#include "Banner.h"
#include "UrlOpener.h"
#include "ui_AboutWindow.h"

#include <QCoreApplication>

const QString AboutWindowController::websiteAddress = QStringLiteral("https://www.skerrin.org/");

AboutWindowController::AboutWindowController(UrlOpener& opener, QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::AboutWindow>())
    , opener(opener) {
    setAttribute(Qt::WA_DeleteOnClose);
    ui->setupUi(this);
    ui->image->setPixmap(bannerFor(*this));
    ui->name->setText(
        QStringLiteral("<b>Skerrin</b> %1").arg(QCoreApplication::applicationVersion()));
    connect(ui->visitButton, &QPushButton::clicked, this, &AboutWindowController::visitWebsite);
    connect(ui->closeButton, &QPushButton::clicked, this, &AboutWindowController::closeWindow);
    // Escape rejects a dialog without closing it; gone either way.
    connect(this, &QDialog::finished, this, &QObject::deleteLater);
}

AboutWindowController::~AboutWindowController() = default;

void AboutWindowController::closeWindow() {
    close();
}

void AboutWindowController::visitWebsite() {
    opener.open(websiteAddress);
}
