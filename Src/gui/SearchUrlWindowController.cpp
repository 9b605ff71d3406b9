#include "SearchUrlWindowController.h"

#include "ui_SearchUrlWindow.h"

#include <QComboBox>
#include <QLineEdit>

#include <tuple>

namespace {

std::function<int(SearchUrlWindowController&)>& modalRunner() {
    static std::function<int(SearchUrlWindowController&)> runner;
    return runner;
}

// A browser's place for the text, "%s" or OpenSearch's "{searchTerms}", as Skerrin's "%@"; a
// "%%" stays the percent sign it stands for.
QString withOurTextPlace(const QString& typed) {
    QString address = typed;
    address.replace(QLatin1String("{searchTerms}"), QLatin1String("%@"));
    for (qsizetype i = 0; i + 1 < address.size(); ++i) {
        if (address.at(i) != '%')
            continue;
        if (address.at(i + 1) == 's')
            address[i + 1] = '@';
        ++i;
    }
    return address;
}

} // namespace

SearchUrlWindowController::SearchUrlWindowController(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::SearchUrlWindow>()) {
    ui->setupUi(this);
    connect(ui->okButton, &QPushButton::clicked, this, &SearchUrlWindowController::okPressed);
    connect(ui->cancelButton, &QPushButton::clicked, this,
            &SearchUrlWindowController::cancelPressed);
    for (QLineEdit* field : {ui->title, ui->commandKey, ui->url, ui->keyword, ui->suggestUrl})
        connect(field, &QLineEdit::textChanged, this, &SearchUrlWindowController::fieldsChanged);
    for (QComboBox* choice : {ui->encoding, ui->spaces})
        connect(choice, &QComboBox::currentIndexChanged, this,
                &SearchUrlWindowController::fieldsChanged);
    ui->preview->setAccessibleName(ui->previewLabel->text());
}

SearchUrlWindowController::~SearchUrlWindowController() = default;

void SearchUrlWindowController::setSearchUrl(const SearchUrl& surl, bool isNew) {
    mySearchUrl = surl;
    ui->commandKey->setText(surl.commandKey());
    ui->title->setText(surl.title());
    ui->title->selectAll();
    ui->url->setText(isNew ? QString() : surl.url());
    ui->keyword->setText(surl.keyword());
    ui->suggestUrl->setText(surl.suggestUrl());
    ui->encoding->setCurrentIndex(surl.encoding() == InputEncoding::Utf8 ? 0 : 1);
    ui->spaces->setCurrentIndex(surl.spaceStyle() == SpaceStyle::Percent20 ? 0 : 1);
    fieldsChanged();
}

void SearchUrlWindowController::setOtherSites(QList<SearchUrl> others) {
    otherSites = std::move(others);
    fieldsChanged();
}

SearchUrl SearchUrlWindowController::typedSite() const {
    SearchUrl site(withOurTextPlace(ui->url->text()), ui->title->text(), ui->commandKey->text(),
                   ui->encoding->currentIndex() == 0 ? InputEncoding::Utf8 : InputEncoding::Latin1,
                   ui->spaces->currentIndex() == 0 ? SpaceStyle::Percent20 : SpaceStyle::Plus,
                   ui->keyword->text().trimmed());
    site.setSuggestUrl(withOurTextPlace(ui->suggestUrl->text().trimmed()));
    return site;
}

void SearchUrlWindowController::fieldsChanged() {
    const SearchUrl site = typedSite();
    ui->preview->setText(site.addressFor(QStringLiteral("example")));
    const QList<SearchList::Problem> problems = SearchList::problemsOf(site, otherSites);
    for (const auto& [field, input, label] :
         {std::tuple{SearchList::Field::Title, ui->title, ui->titleProblem},
          std::tuple{SearchList::Field::Address, ui->url, ui->urlProblem},
          std::tuple{SearchList::Field::Keyword, ui->keyword, ui->keywordProblem},
          std::tuple{SearchList::Field::Suggestions, ui->suggestUrl, ui->suggestUrlProblem}}) {
        QStringList reasons;
        for (const SearchList::Problem& problem : problems) {
            if (problem.field == field)
                reasons.append(problem.reason);
        }
        label->setText(reasons.join('\n'));
        label->setVisible(!reasons.isEmpty());
        input->setAccessibleDescription(label->text());
    }
    ui->okButton->setEnabled(problems.isEmpty());
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
    if (!ui->okButton->isEnabled())
        return;
    mySearchUrl = typedSite();
    accept();
}

void SearchUrlWindowController::cancelPressed() {
    reject();
}
