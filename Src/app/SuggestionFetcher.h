#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

// Asks a site what to suggest for the text being typed: one request at a time, sent once the
// keys have rested, dropped when the text changes, too slow, too large or not understood.
class SuggestionFetcher : public QObject {
    Q_OBJECT
public:
    static constexpr int restMs = 150;
    static constexpr int timeoutMs = 1000;
    static constexpr qint64 maxBytes = 64 * 1024;
    static constexpr qsizetype maxSuggestions = 8;

    explicit SuggestionFetcher(QObject* parent = nullptr);
    ~SuggestionFetcher() override;

    // Asks `address` for `text` once no other ask follows within restMs; what was asked before
    // is dropped, its request aborted.
    void ask(const QString& text, const QUrl& address);
    // Drops what was asked.
    void cancel();

    // The suggestions of OpenSearch's JSON, ["text", ["s1", "s2", ...], ...]; none when the
    // answer is not of that shape.
    static QStringList parse(const QByteArray& json);

signals:
    void suggested(const QString& text, const QStringList& suggestions);

private:
    void send();
    void finished();

    // Made at the first request: a window whose person never asks for suggestions loads none
    // of the network.
    QNetworkAccessManager* network = nullptr;
    QPointer<QNetworkReply> reply;
    QTimer rest;
    QTimer deadline;
    QString text;
    QUrl address;
};
