#include "EngineReaders.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <QXmlStreamReader>

#include <cstring>
#include <lz4.h>
#include <sqlite3.h>

namespace {

constexpr char kMozLz4Magic[] = "mozLz40"; // and its terminating zero: 8 bytes
constexpr qsizetype kMozLz4Header = 12;
// Far above any real engine list; a size field above it is damage, not a reason to allocate.
constexpr quint32 kMaxJsonSize = 64u << 20;

EngineFile failure(const QString& reason) {
    EngineFile file;
    file.error = reason;
    return file;
}

// A template with its GET parameters put into the query.
QString withParams(QString urlTemplate, const QList<std::pair<QString, QString>>& params) {
    for (const auto& [name, value] : params) {
        urlTemplate += (urlTemplate.contains('?') ? '&' : '?');
        urlTemplate += name + '=' + value;
    }
    return urlTemplate;
}

bool takesText(const QString& urlTemplate) {
    return urlTemplate.contains(kSearchTerms);
}

bool isPageType(const QString& type) {
    return type.isEmpty() || type == QLatin1String("text/html");
}

// Firefox lists each address with its kind; the page of results for the text is the one wanted
// (a search-form page or suggestions may come first).
std::optional<QString> firefoxAddress(const QJsonArray& urls) {
    for (const QJsonValue& value : urls) {
        const QJsonObject url = value.toObject();
        if (!isPageType(url.value(QLatin1String("type")).toString()))
            continue;
        if (url.value(QLatin1String("method")).toString().compare("POST", Qt::CaseInsensitive) == 0)
            continue;
        QList<std::pair<QString, QString>> params;
        for (const QJsonValue& param : url.value(QLatin1String("params")).toArray()) {
            const QJsonObject p = param.toObject();
            params.append({p.value(QLatin1String("name")).toString(),
                           p.value(QLatin1String("value")).toString()});
        }
        // Engines added in Firefox's settings keep "%s" for the text.
        QString urlTemplate = url.value(QLatin1String("template")).toString();
        urlTemplate.replace(QLatin1String("%s"), kSearchTerms.toString());
        const QString address = withParams(urlTemplate, params);
        if (takesText(address))
            return address;
    }
    return std::nullopt;
}

} // namespace

std::optional<QByteArray> decompressMozLz4(QByteArrayView bytes) {
    if (bytes.size() < kMozLz4Header || std::memcmp(bytes.data(), kMozLz4Magic, 8) != 0)
        return std::nullopt;
    const auto* size = reinterpret_cast<const unsigned char*>(bytes.data() + 8);
    const quint32 expected =
        quint32(size[0]) | quint32(size[1]) << 8 | quint32(size[2]) << 16 | quint32(size[3]) << 24;
    const qsizetype compressed = bytes.size() - kMozLz4Header;
    // LZ4 cannot expand a byte into more than 255.
    if (expected > kMaxJsonSize || compressed > INT_MAX || expected / 255 > quint64(compressed))
        return std::nullopt;
    QByteArray out(qsizetype(expected), Qt::Uninitialized);
    const int written = LZ4_decompress_safe(bytes.data() + kMozLz4Header, out.data(),
                                            int(compressed), int(expected));
    if (written < 0 || quint32(written) != expected)
        return std::nullopt;
    return out;
}

EngineFile readMozLz4Engines(QByteArrayView bytes) {
    if (!bytes.startsWith(QByteArrayView(kMozLz4Magic, 8)))
        return failure(QStringLiteral("not a mozLz4 file"));
    const auto json = decompressMozLz4(bytes);
    if (!json)
        return failure(QStringLiteral("damaged mozLz4 data"));
    return readFirefoxSearchJson(*json);
}

EngineFile readFirefoxSearchJson(QByteArrayView json) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json.toByteArray(), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return failure(QStringLiteral("damaged engine list: ") + parseError.errorString());
    const QJsonValue engines = document.object().value(QLatin1String("engines"));
    if (!engines.isArray())
        return failure(QStringLiteral("no engine list in it"));
    EngineFile file;
    for (const QJsonValue& value : engines.toArray()) {
        const QJsonObject engine = value.toObject();
        const auto address = firefoxAddress(engine.value(QLatin1String("_urls")).toArray());
        if (!address) {
            ++file.withoutAddress;
            continue;
        }
        FoundEngine found;
        found.title = engine.value(QLatin1String("_name")).toString();
        found.urlTemplate = *address;
        found.encoding = engine.value(QLatin1String("queryCharset")).toString();
        found.keyword = engine.value(QLatin1String("_metaData"))
                            .toObject()
                            .value(QLatin1String("alias"))
                            .toString();
        const QJsonArray defined = engine.value(QLatin1String("_definedAliases")).toArray();
        if (found.keyword.isEmpty() && !defined.isEmpty())
            found.keyword = defined.first().toString();
        file.engines.append(found);
    }
    return file;
}

EngineFile readOpenSearch(QByteArrayView xml) {
    QXmlStreamReader reader(xml.toByteArray());
    if (!reader.readNextStartElement())
        return failure(reader.hasError() ? QStringLiteral("not valid XML: ") + reader.errorString()
                                         : QStringLiteral("empty"));
    const QStringView root = reader.name();
    if (root != u"OpenSearchDescription" && root != u"SearchPlugin")
        return failure(QStringLiteral("not an OpenSearch description"));
    FoundEngine engine;
    std::optional<QString> address;
    while (reader.readNextStartElement()) {
        const QStringView name = reader.name();
        if (name == u"ShortName") {
            engine.title = reader.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (name == u"InputEncoding") {
            engine.encoding = reader.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (name == u"Keyword") {
            engine.keyword = reader.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (name == u"Spaces") {
            engine.spaces = reader.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (name == u"Url") {
            const QXmlStreamAttributes attributes = reader.attributes();
            const QString urlTemplate = attributes.value(QLatin1String("template")).toString();
            const bool page = isPageType(attributes.value(QLatin1String("type")).toString());
            const bool post =
                attributes.value(QLatin1String("method")).compare(u"POST", Qt::CaseInsensitive) ==
                0;
            QList<std::pair<QString, QString>> params;
            while (reader.readNextStartElement()) {
                if (reader.name() == u"Param")
                    params.append({reader.attributes().value(QLatin1String("name")).toString(),
                                   reader.attributes().value(QLatin1String("value")).toString()});
                reader.skipCurrentElement();
            }
            const QString full = withParams(urlTemplate, params);
            if (!address && page && !post && takesText(full))
                address = full;
        } else {
            reader.skipCurrentElement();
        }
    }
    if (reader.hasError())
        return failure(QStringLiteral("not valid XML: ") + reader.errorString());
    EngineFile file;
    if (address) {
        engine.urlTemplate = *address;
        file.engines.append(engine);
    } else {
        file.withoutAddress = 1;
    }
    return file;
}

EngineFile readChromiumWebData(const QString& path) {
    QTemporaryDir copyDir;
    const QString copy = copyDir.filePath(QStringLiteral("Web Data"));
    if (!copyDir.isValid() || !QFile::copy(path, copy))
        return failure(QStringLiteral("cannot be copied to read it"));
    sqlite3* db = nullptr;
    const QByteArray name = QFile::encodeName(copy);
    if (sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return failure(QStringLiteral("not a database"));
    }
    sqlite3_stmt* query = nullptr;
    const char* sql = "SELECT short_name, keyword, url, input_encodings FROM keywords ORDER BY id";
    if (sqlite3_prepare_v2(db, sql, -1, &query, nullptr) != SQLITE_OK) {
        const QString reason = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return failure(QStringLiteral("no search engines in it (") + reason + ')');
    }
    const auto text = [&](int column) {
        const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(query, column));
        return value ? QString::fromUtf8(value, sqlite3_column_bytes(query, column)) : QString();
    };
    EngineFile file;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(query)) == SQLITE_ROW) {
        FoundEngine engine{text(0), text(2), text(1), text(3).section(';', 0, 0), {}};
        if (takesText(engine.urlTemplate))
            file.engines.append(engine);
        else
            ++file.withoutAddress;
    }
    if (step != SQLITE_DONE)
        file.error = QStringLiteral("damaged database (") + sqlite3_errmsg(db) + ')';
    sqlite3_finalize(query);
    sqlite3_close(db);
    return file;
}
