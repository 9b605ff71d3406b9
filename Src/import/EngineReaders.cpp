#include "EngineReaders.h"

#include "LazyLibrary.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <QXmlStreamReader>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <lz4.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kMozLz4Magic[] = "mozLz40"; // and its terminating zero: 8 bytes
constexpr qsizetype kMozLz4Header = 12;
// Far above any real engine list; a size field above it is damage, not a reason to allocate.
constexpr quint32 kMaxJsonSize = 8u << 20;
// Limits no real engine or engine list comes near: beyond them a file is refused, not trimmed.
constexpr qsizetype kMaxTitle = 256;
constexpr qsizetype kMaxKeyword = 64;
constexpr qsizetype kMaxTemplate = 8 << 10;
constexpr qsizetype kMaxEngines = 1000;
constexpr int kMaxDepth = 64;
// A Web Data holds autofill and more beside the engines.
constexpr qint64 kMaxDatabaseSize = 64 << 20;
// Far above the longest value an engine keeps, yet no value bigger is ever built.
constexpr int kMaxSqliteValue = 1 << 20;
constexpr int kMaxSqliteMilliseconds = 1000;

// Only an import reads these files: the libraries are loaded then, not with every start.
struct Lz4 : LazyLibrary {
    Lz4()
        : LazyLibrary("liblz4.so.1") {}
    decltype(&LZ4_decompress_safe) decompress_safe = function("LZ4_decompress_safe");
};

struct Sqlite : LazyLibrary {
    Sqlite()
        : LazyLibrary("libsqlite3.so.0") {}
    decltype(&sqlite3_open_v2) open_v2 = function("sqlite3_open_v2");
    decltype(&sqlite3_close) close = function("sqlite3_close");
    decltype(&sqlite3_limit) limit = function("sqlite3_limit");
    decltype(&sqlite3_progress_handler) progress_handler = function("sqlite3_progress_handler");
    decltype(&sqlite3_exec) exec = function("sqlite3_exec");
    decltype(&sqlite3_prepare_v2) prepare_v2 = function("sqlite3_prepare_v2");
    decltype(&sqlite3_finalize) finalize = function("sqlite3_finalize");
    decltype(&sqlite3_step) step = function("sqlite3_step");
    decltype(&sqlite3_column_text) column_text = function("sqlite3_column_text");
    decltype(&sqlite3_column_bytes) column_bytes = function("sqlite3_column_bytes");
    decltype(&sqlite3_errcode) errcode = function("sqlite3_errcode");
    decltype(&sqlite3_errmsg) errmsg = function("sqlite3_errmsg");
};

const Lz4& lz4() {
    static const Lz4 library;
    return library;
}

EngineFile failure(const QString& reason) {
    EngineFile file;
    file.error = reason;
    return file;
}

QString tooMany(qsizetype engines) {
    return engines > kMaxEngines ? QStringLiteral("more than %1 search engines").arg(kMaxEngines)
                                 : QString();
}

// Adds the engine, or makes the file a refusal when a field is beyond any real engine's.
// A lone surrogate (a damaged UTF-7 or UTF-16 file gives them) makes every regular expression
// fail on the whole text, so that "{searchTerms}" beside it went unseen; it becomes U+FFFD.
QString wellFormed(const QString& text) {
    return text.isValidUtf16() ? text : QString::fromUtf8(text.toUtf8());
}

void keep(EngineFile& file, FoundEngine engine) {
    for (QString* field : {&engine.title, &engine.urlTemplate, &engine.keyword, &engine.encoding,
                           &engine.suggestTemplate})
        *field = wellFormed(*field);
    // Suggestions are a nicety: a template no engine has is left off, the engine kept.
    if (engine.suggestTemplate.size() > kMaxTemplate)
        engine.suggestTemplate.clear();
    if (engine.title.size() > kMaxTitle)
        file.error = QStringLiteral("a title longer than %1 characters").arg(kMaxTitle);
    else if (engine.keyword.size() > kMaxKeyword)
        file.error = QStringLiteral("a keyword longer than %1 characters").arg(kMaxKeyword);
    else if (engine.urlTemplate.size() > kMaxTemplate)
        file.error = QStringLiteral("a search address longer than %1 characters").arg(kMaxTemplate);
    else
        file.engines.append(engine);
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

bool isSuggestionsType(const QString& type) {
    return type == QLatin1String("application/x-suggestions+json");
}

// Firefox lists each address with its kind; the first of the kind wanted (the page of results
// for the text, or the suggestions for it) that takes the text is the one.
std::optional<QString> firefoxAddress(const QJsonArray& urls, bool (*wanted)(const QString&)) {
    for (const QJsonValue& value : urls) {
        const QJsonObject url = value.toObject();
        if (!wanted(url.value(QLatin1String("type")).toString()))
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
    if (bytes.size() < kMozLz4Header || std::memcmp(bytes.data(), kMozLz4Magic, 8) != 0 ||
        !lz4().usable())
        return std::nullopt;
    const auto* size = reinterpret_cast<const unsigned char*>(bytes.data() + 8);
    const quint32 expected =
        quint32(size[0]) | quint32(size[1]) << 8 | quint32(size[2]) << 16 | quint32(size[3]) << 24;
    const qsizetype compressed = bytes.size() - kMozLz4Header;
    // LZ4 cannot expand a byte into more than 255.
    if (expected > kMaxJsonSize || compressed > INT_MAX || expected / 255 > quint64(compressed))
        return std::nullopt;
    QByteArray out(qsizetype(expected), Qt::Uninitialized);
    const int written = lz4().decompress_safe(bytes.data() + kMozLz4Header, out.data(),
                                              int(compressed), int(expected));
    if (written < 0 || quint32(written) != expected)
        return std::nullopt;
    return out;
}

EngineFile readMozLz4Engines(QByteArrayView bytes) {
    if (!bytes.startsWith(QByteArrayView(kMozLz4Magic, 8)))
        return failure(QStringLiteral("not a mozLz4 file"));
    if (!lz4().usable())
        return failure(QStringLiteral("cannot be read: ") + lz4().whyNot());
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
    const QJsonArray list = engines.toArray();
    if (const QString many = tooMany(list.size()); !many.isEmpty())
        return failure(many);
    EngineFile file;
    for (const QJsonValue& value : list) {
        const QJsonObject engine = value.toObject();
        const QJsonArray urls = engine.value(QLatin1String("_urls")).toArray();
        const auto address = firefoxAddress(urls, isPageType);
        if (!address) {
            ++file.withoutAddress;
            continue;
        }
        FoundEngine found;
        found.title = engine.value(QLatin1String("_name")).toString();
        found.urlTemplate = *address;
        found.suggestTemplate = firefoxAddress(urls, isSuggestionsType).value_or(QString());
        found.encoding = engine.value(QLatin1String("queryCharset")).toString();
        found.keyword = engine.value(QLatin1String("_metaData"))
                            .toObject()
                            .value(QLatin1String("alias"))
                            .toString();
        const QJsonArray defined = engine.value(QLatin1String("_definedAliases")).toArray();
        if (found.keyword.isEmpty() && !defined.isEmpty())
            found.keyword = defined.first().toString();
        keep(file, found);
        if (!file.error.isEmpty())
            break;
    }
    return file;
}

// One pass over the tokens, the depth counted: reading an element's text with its children
// would recurse once per level.
EngineFile readOpenSearch(QByteArrayView xml) {
    QXmlStreamReader reader(xml.toByteArray());
    FoundEngine engine;
    std::optional<QString> address, suggestions;
    QString* text = nullptr;                  // the field the text of the element in hand goes to
    std::optional<QString> url;               // the <Url> in hand: its template, while it is usable
    std::optional<QString>* urlFor = nullptr; // where that <Url> goes: address or suggestions
    QList<std::pair<QString, QString>> params;
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = reader.name();
            const QXmlStreamAttributes attributes = reader.attributes();
            if (++depth > kMaxDepth) {
                reader.raiseError(QStringLiteral("elements nested deeper than %1").arg(kMaxDepth));
            } else if (depth == 1 && name != u"OpenSearchDescription" && name != u"SearchPlugin") {
                return failure(QStringLiteral("not an OpenSearch description"));
            } else if (depth == 2) {
                text = name == u"ShortName"       ? &engine.title
                       : name == u"InputEncoding" ? &engine.encoding
                       : name == u"Keyword"       ? &engine.keyword
                       : name == u"Spaces"        ? &engine.spaces
                                                  : nullptr;
                if (text) // the last of twin elements counts
                    text->clear();
                const bool post = attributes.value(QLatin1String("method"))
                                      .compare(u"POST", Qt::CaseInsensitive) == 0;
                const QString type = attributes.value(QLatin1String("type")).toString();
                urlFor = isPageType(type)          ? &address
                         : isSuggestionsType(type) ? &suggestions
                                                   : nullptr;
                if (name == u"Url" && !post && urlFor)
                    url = attributes.value(QLatin1String("template")).toString();
                params.clear();
            } else if (depth == 3 && url && name == u"Param") {
                params.append({attributes.value(QLatin1String("name")).toString(),
                               attributes.value(QLatin1String("value")).toString()});
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (depth-- == 2) {
                if (url && !*urlFor && takesText(withParams(*url, params)))
                    *urlFor = withParams(*url, params);
                url.reset();
                text = nullptr;
            }
        } else if (text && (token == QXmlStreamReader::Characters ||
                            token == QXmlStreamReader::EntityReference)) {
            *text += reader.text();
            // Beyond every field's limit: no use reading it all.
            if (text->size() > kMaxTemplate)
                return failure(QStringLiteral("an element's text longer than %1 characters")
                                   .arg(kMaxTemplate));
        }
    }
    if (reader.hasError())
        return failure(QStringLiteral("not valid XML: ") + reader.errorString());
    EngineFile file;
    if (address) {
        engine.urlTemplate = *address;
        engine.suggestTemplate = suggestions.value_or(QString());
        keep(file, engine);
    } else {
        file.withoutAddress = 1;
    }
    return file;
}

namespace {

// Copies a regular file: the database, or one of the files SQLite keeps beside it.
QString copyRegularFile(const QString& from, const QString& to) {
    QFile in;
    QFile out(to);
    if (QString error = openRegularFile(from, in); !error.isEmpty())
        return error;
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return QStringLiteral("cannot be copied to read it");
    return readAtMost(in, kMaxDatabaseSize, [&](QByteArrayView chunk) {
        return out.write(chunk.data(), chunk.size()) == chunk.size();
    });
}

const QString kCopyPattern = QStringLiteral("skerrin-web-data-");

// A kill while a copy was made leaves it behind; the next import takes away those surely
// nobody's any more (a copy lives for milliseconds).
void removeStaleCopies() {
    const QDateTime hourAgo = QDateTime::currentDateTimeUtc().addSecs(-3600);
    const QDir tmp(QDir::tempPath());
    for (const QFileInfo& old : tmp.entryInfoList(
             {kCopyPattern + '*'}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (!old.isSymLink() && old.ownerId() == ::getuid() && old.lastModified() < hourAgo)
            QDir(old.filePath()).removeRecursively();
    }
}

int pastDeadline(void* deadline) {
    return static_cast<QDeadlineTimer*>(deadline)->hasExpired();
}

} // namespace

EngineFile readChromiumWebData(const QString& path) {
    static const Sqlite sqlite;
    if (!sqlite.usable())
        return failure(QStringLiteral("cannot be read: ") + sqlite.whyNot());
    removeStaleCopies();
    QTemporaryDir copyDir(QDir::tempPath() + '/' + kCopyPattern + QStringLiteral("XXXXXX"));
    const QString copy = copyDir.filePath(QStringLiteral("Web Data"));
    if (!copyDir.isValid())
        return failure(QStringLiteral("cannot be copied to read it"));
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-journal")}) {
        if (!suffix.isEmpty() && !QFileInfo::exists(path + suffix))
            continue;
        if (const QString error = copyRegularFile(path + suffix, copy + suffix); !error.isEmpty())
            return failure(suffix.isEmpty() ? error : path + suffix + QStringLiteral(": ") + error);
    }
    // Read-write only so that SQLite can finish or undo, in the copy, the change the browser
    // left in its -wal or -journal; no statement may write.
    sqlite3* db = nullptr;
    const QByteArray name = QFile::encodeName(copy);
    const int opened = sqlite.open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> closer(db, sqlite.close);
    if (opened != SQLITE_OK)
        return failure(QStringLiteral("not a database"));
    sqlite.limit(db, SQLITE_LIMIT_LENGTH, kMaxSqliteValue);
    QDeadlineTimer deadline(kMaxSqliteMilliseconds);
    sqlite.progress_handler(db, 1000, pastDeadline, &deadline);
    sqlite.exec(db, "PRAGMA query_only = ON", nullptr, nullptr, nullptr);
    using Statement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;
    const auto prepare = [&](const char* sql) {
        sqlite3_stmt* statement = nullptr;
        sqlite.prepare_v2(db, sql, -1, &statement, nullptr);
        return Statement(statement, sqlite.finalize);
    };
    const auto why = [&] {
        return sqlite.errcode(db) == SQLITE_INTERRUPT
                   ? QStringLiteral("too slow to read")
                   : QStringLiteral("cannot be read (%1)")
                         .arg(QString::fromUtf8(sqlite.errmsg(db)));
    };
    // A view or a virtual table could compute anything, for ever.
    const Statement kind =
        prepare("SELECT type FROM pragma_table_list WHERE schema = 'main' AND name = 'keywords'");
    const int found = kind ? sqlite.step(kind.get()) : SQLITE_ERROR;
    if (found == SQLITE_DONE)
        return failure(QStringLiteral("no search engines in it"));
    if (found != SQLITE_ROW)
        return failure(why());
    if (qstrcmp(reinterpret_cast<const char*>(sqlite.column_text(kind.get(), 0)), "table") != 0)
        return failure(QStringLiteral("its keywords are not a table"));
    // Older or hand-made tables may lack the suggestions' column.
    const Statement suggestColumn = prepare("SELECT 1 FROM pragma_table_info('keywords') WHERE "
                                            "schema = 'main' AND name = 'suggest_url'");
    const bool hasSuggestUrl = suggestColumn && sqlite.step(suggestColumn.get()) == SQLITE_ROW;
    const Statement query =
        prepare(hasSuggestUrl ? "SELECT short_name, keyword, url, input_encodings, suggest_url "
                                "FROM keywords ORDER BY id"
                              : "SELECT short_name, keyword, url, input_encodings, '' "
                                "FROM keywords ORDER BY id");
    if (!query)
        return failure(why());
    // SQLite has the files open: a kill from here on leaves no copy behind.
    copyDir.remove();
    const auto text = [&](int column) {
        const auto* value = reinterpret_cast<const char*>(sqlite.column_text(query.get(), column));
        return value ? QString::fromUtf8(value, sqlite.column_bytes(query.get(), column))
                     : QString();
    };
    EngineFile file;
    int step = SQLITE_ROW;
    while (file.error.isEmpty() && (step = sqlite.step(query.get())) == SQLITE_ROW) {
        FoundEngine engine{text(0), text(2), text(1), text(3).section(';', 0, 0), {}, text(4)};
        if (!takesText(engine.urlTemplate))
            ++file.withoutAddress;
        else
            keep(file, engine);
        if (file.error.isEmpty())
            file.error = tooMany(file.engines.size() + file.withoutAddress);
    }
    if (file.error.isEmpty() && step != SQLITE_DONE)
        file.error = why();
    return file;
}

QString openRegularFile(const QString& path, QFile& file) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return QStringLiteral("cannot be read: ") + QString::fromLocal8Bit(std::strerror(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return QStringLiteral("not a regular file");
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return QStringLiteral("cannot be read: ") + file.errorString();
    }
    return {};
}

QString readAtMost(QFile& file, qint64 maxBytes, const std::function<bool(QByteArrayView)>& take) {
    QByteArray chunk(64 << 10, Qt::Uninitialized);
    for (qint64 total = 0;;) {
        const qint64 got = file.read(chunk.data(), chunk.size());
        if (got < 0)
            return QStringLiteral("cannot be read: ") + file.errorString();
        if (got == 0)
            return {};
        if ((total += got) > maxBytes)
            return QStringLiteral("too large for a list of search engines");
        if (!take(QByteArrayView(chunk.constData(), got)))
            return QStringLiteral("cannot be copied to read it");
    }
}
