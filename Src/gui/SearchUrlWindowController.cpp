#include "SearchUrlWindowController.h"

#include "PercentEscaping.h"
#include "ui_SearchUrlWindow.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>

#include <tuple>

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
    for (QLineEdit* field : {ui->title, ui->commandKey, ui->url, ui->keyword, ui->suggestUrl})
        connect(field, &QLineEdit::textChanged, this, &SearchUrlWindowController::fieldsChanged);
    connect(ui->moreUrls, &QPlainTextEdit::textChanged, this,
            &SearchUrlWindowController::fieldsChanged);
    for (QComboBox* choice : {ui->encoding, ui->spaces})
        connect(choice, &QComboBox::currentIndexChanged, this,
                &SearchUrlWindowController::fieldsChanged);
    ui->preview->setAccessibleName(ui->previewLabel->text());
    // Room for three addresses and the scroll bar a long one brings; more scroll.
    QPlainTextEdit& more = *ui->moreUrls;
    more.setFixedHeight(more.fontMetrics().lineSpacing() * 3 + 2 * more.frameWidth() +
                        int(more.document()->documentMargin() * 2) +
                        more.horizontalScrollBar()->sizeHint().height());
    setPrivateWindowSupport(PrivateWindowCommand::privateWindowSupport());
}

SearchUrlWindowController::~SearchUrlWindowController() = default;

void SearchUrlWindowController::setSearchUrl(const SearchUrl& surl, bool isNew) {
    mySearchUrl = surl;
    ui->commandKey->setText(surl.commandKey());
    ui->title->setText(surl.title());
    ui->title->selectAll();
    ui->url->setText(isNew ? QString() : surl.url());
    ui->moreUrls->setPlainText(surl.urls().mid(1).join('\n'));
    ui->privateWindow->setChecked(surl.privateWindow());
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

void SearchUrlWindowController::setPrivateWindowSupport(PrivateWindowCommand::Support support) {
    using Support = PrivateWindowCommand::Support;
    ui->privateNote->setText(
        support == Support::None
            ? QStringLiteral("Your default browser cannot open private windows: the address opens "
                             "normally.")
        : support == Support::BrowserVariable
            ? QStringLiteral("$BROWSER is set: it opens the address, not in a private window.")
            : QString());
    ui->privateNote->setVisible(!ui->privateNote->text().isEmpty());
}

SearchUrl SearchUrlWindowController::typedSite() const {
    SearchUrl site(QString(), ui->title->text(), ui->commandKey->text(),
                   ui->encoding->currentIndex() == 0 ? InputEncoding::Utf8 : InputEncoding::Latin1,
                   ui->spaces->currentIndex() == 0 ? SpaceStyle::Percent20 : SpaceStyle::Plus,
                   ui->keyword->text().trimmed());
    // Blank lines between the further addresses are no addresses.
    QStringList urls{withTextPlace(ui->url->text())};
    for (const QString& line : ui->moreUrls->toPlainText().split('\n')) {
        if (!line.trimmed().isEmpty())
            urls.append(withTextPlace(line.trimmed()));
    }
    site.setUrls(urls);
    site.setPrivateWindow(ui->privateWindow->isChecked());
    site.setSuggestUrl(withTextPlace(ui->suggestUrl->text().trimmed()));
    return site;
}

void SearchUrlWindowController::fieldsChanged() {
    const SearchUrl site = typedSite();
    ui->preview->setText(site.addressesFor(QStringLiteral("example")).join('\n'));
    const QList<SearchList::Problem> problems = SearchList::problemsOf(site, otherSites);
    // The first address's problems show beside its field, the further ones' beside theirs.
    using Field = SearchList::Field;
    for (const auto& [field, further, input, label] :
         {std::tuple<Field, bool, QWidget*, QLabel*>{Field::Title, false, ui->title,
                                                     ui->titleProblem},
          {Field::Address, false, ui->url, ui->urlProblem},
          {Field::Address, true, ui->moreUrls, ui->moreUrlsProblem},
          {Field::Keyword, false, ui->keyword, ui->keywordProblem},
          {Field::Suggestions, false, ui->suggestUrl, ui->suggestUrlProblem}}) {
        QStringList reasons;
        for (const SearchList::Problem& problem : problems) {
            if (problem.field == field && (problem.address > 0) == further)
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
