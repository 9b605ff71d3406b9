#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// A search engine as a browser or an OpenSearch description keeps it, before it becomes a site.
struct FoundEngine {
    QString title;
    QString urlTemplate; // the source's own: {searchTerms} and other {…} parameters
    QString keyword;
    QString encoding;        // the source's name for it; empty when it gives none
    QString spaces;          // "+" or "%20" when Skerrin wrote the description itself
    QString suggestTemplate; // the address of its suggestions as typed; empty for none
};

// What a file holds, or why it cannot be read.
struct EngineFile {
    QList<FoundEngine> engines;
    int withoutAddress = 0; // engines kept by name only (a browser's built-in ones)
    QString error;          // non-empty: damaged or not this kind of file
};

// Firefox's search.json.mozlz4: "mozLz40\0", the size as 32-bit little-endian, an LZ4 block.
std::optional<QByteArray> decompressMozLz4(QByteArrayView bytes);
EngineFile readMozLz4Engines(QByteArrayView bytes);
EngineFile readFirefoxSearchJson(QByteArrayView json);
// An OpenSearch description (or Firefox's older form of it).
EngineFile readOpenSearch(QByteArrayView xml);
// A Chromium-family `Web Data` database, read from a copy (with its -wal and -journal): the
// browser may hold it locked, or have its latest change still beside it.
EngineFile readChromiumWebData(const QString& path);

// Opens a regular file without waiting: a FIFO or a device gives the reason instead.
QString openRegularFile(const QString& path, QFile& file);
// Hands the file's bytes over in chunks; more than maxBytes, counted as read (size() is 0 for
// some files that never end), or a chunk refused, gives the reason.
QString readAtMost(QFile& file, qint64 maxBytes, const std::function<bool(QByteArrayView)>& take);

// The part of a search address that takes the text.
inline constexpr QStringView kSearchTerms = u"{searchTerms}";
