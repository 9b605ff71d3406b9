#pragma once

#include "ArchiveObject.h"

#include <QList>
#include <QString>

#include <memory>

class SearchUrl {
public:
    SearchUrl(QString url, QString title, QString commandKey);

    const QString& url() const { return url_; }
    const QString& commandKey() const { return commandKey_; }
    const QString& title() const { return title_; }
    void setUrl(const QString& url) { url_ = url; }
    void setCommandKey(const QString& commandKey) { commandKey_ = commandKey; }
    void setTitle(const QString& title) { title_ = title; }
    bool operator==(const SearchUrl&) const = default;

    ArchiveObjectRef encodeWithCoder() const;
    static std::optional<SearchUrl> initWithCoder(const ArchiveObject& coded);

private:
    QString url_;
    QString commandKey_;
    QString title_;
};

class SearchList {
public:
    // The six default sites.
    SearchList();
    static SearchList empty();

    static const QString& fallbackTemplate();

    void addNewBlankSearchUrl();
    void removeSearchUrlAtIndex(int index);
    const QList<SearchUrl>& searchUrls() const { return list; }
    QList<SearchUrl>& searchUrls() { return list; }
    // The template of the first site titled exactly `selected`; null (and a log line) when none.
    QString getUrlForTitle(const QString& selected) const;

    ArchiveObjectRef encodeWithCoder() const;
    // Nothing when the archive does not hold a search list.
    static std::unique_ptr<SearchList> initWithCoder(const ArchiveObject& coded);
    // The list stored as archive bytes, or nothing when they are absent or damaged.
    static std::unique_ptr<SearchList> fromArchivedData(QByteArrayView data);

private:
    struct Empty {};
    explicit SearchList(Empty) {}
    QList<SearchUrl> list;
};
