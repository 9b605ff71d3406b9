#include "SuggestionFetcher.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

SuggestionFetcher::SuggestionFetcher(QObject* parent)
    : QObject(parent) {
    rest.setSingleShot(true);
    rest.setInterval(restMs);
    connect(&rest, &QTimer::timeout, this, &SuggestionFetcher::send);
    deadline.setSingleShot(true);
    deadline.setInterval(timeoutMs);
    connect(&deadline, &QTimer::timeout, this, &SuggestionFetcher::cancel);
}

SuggestionFetcher::~SuggestionFetcher() {
    cancel();
}

void SuggestionFetcher::ask(const QString& typed, const QUrl& url) {
    cancel();
    text = typed;
    address = url;
    rest.start();
}

void SuggestionFetcher::cancel() {
    rest.stop();
    deadline.stop();
    if (QNetworkReply* inFlight = reply) {
        reply = nullptr;
        inFlight->abort();
        inFlight->deleteLater();
    }
}

void SuggestionFetcher::send() {
    if (!network)
        network = new QNetworkAccessManager(this);
    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    reply = network->get(request);
    connect(reply, &QNetworkReply::finished, this, &SuggestionFetcher::finished);
    // A declared or a growing size past the limit ends the request before it is all read.
    const auto tooLarge = [this] {
        if (reply && (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > maxBytes ||
                      reply->bytesAvailable() > maxBytes))
            cancel();
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, tooLarge);
    connect(reply, &QNetworkReply::readyRead, this, tooLarge);
    deadline.start();
}

void SuggestionFetcher::finished() {
    QNetworkReply* done = reply;
    if (!done || sender() != done)
        return;
    reply = nullptr;
    deadline.stop();
    done->deleteLater();
    if (done->error() != QNetworkReply::NoError)
        return;
    const QStringList suggestions = parse(done->read(maxBytes + 1));
    if (!suggestions.isEmpty())
        emit suggested(text, suggestions);
}

QStringList SuggestionFetcher::parse(const QByteArray& json) {
    if (json.size() > maxBytes)
        return {};
    const QJsonArray answer = QJsonDocument::fromJson(json).array();
    if (answer.size() < 2 || !answer.at(0).isString() || !answer.at(1).isArray())
        return {};
    QStringList suggestions;
    for (const QJsonValue& value : answer.at(1).toArray()) {
        const QString suggestion = value.toString().simplified();
        if (!suggestion.isEmpty() && !suggestions.contains(suggestion))
            suggestions.append(suggestion);
        if (suggestions.size() == maxSuggestions)
            break;
    }
    return suggestions;
}
