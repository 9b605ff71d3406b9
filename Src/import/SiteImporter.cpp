#include "SiteImporter.h"

#include "Log.h"
#include "PercentEscaping.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace SiteImporter {

namespace {

const QString kOpenSearchNs = QStringLiteral("http://a9.com/-/spec/opensearch/1.1/");
// Skerrin's own elements in an exported description: what OpenSearch has no word for.
const QString kSkerrinNs = QStringLiteral("https://skerrin.org/opensearch/1.0/");
const QString kTakesNoText = QStringLiteral("without a search address");
const QString kNotWeb = QStringLiteral("not a web address");
const QString kAlreadyThere = QStringLiteral("already in the list");
const QString kListFull =
    QStringLiteral("the list holds %1 sites, its most").arg(SearchList::maxImportedSites);
// Engine lists are kilobytes; a file of this size is something else.
constexpr qint64 kMaxFileSize = 4 << 20;

// A "%" that fillTemplate() would read as "%@" or "%%" is doubled so that it stays itself;
// so is one before a brace, which the text's place ("%@"), a value or "%7B" replaces.
QString protectPercents(const QString& text) {
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        out += text.at(i);
        const QChar next = i + 1 < text.size() ? text.at(i + 1) : QChar();
        if (text.at(i) == '%' && (next == '@' || next == '%' || next == '{' || next == '}'))
            out += '%';
    }
    return out;
}

// The value a parameter has when nobody asks the person, or none: then it goes.
std::optional<QString> usualValue(QStringView param, const QString& encoding) {
    // A trailing "?" marks a parameter the engine can do without.
    const QStringView name = param.endsWith(u'?') ? param.chopped(1) : param;
    if (name == kSearchTerms.mid(1, kSearchTerms.size() - 2))
        return QStringLiteral("%@");
    if (name == u"inputEncoding" || name == u"outputEncoding")
        return encoding;
    if (name == u"startIndex" || name == u"startPage")
        return QStringLiteral("1");
    return std::nullopt;
}

QString fillParams(const QString& text, const QString& encoding) {
    static const QRegularExpression param(QStringLiteral("\\{([^{}]*)\\}"));
    QString out;
    qsizetype from = 0;
    for (const QRegularExpressionMatch& m : param.globalMatch(text)) {
        out += text.mid(from, m.capturedStart() - from);
        out += usualValue(m.capturedView(1), encoding).value_or(QString());
        from = m.capturedEnd();
    }
    return out + text.mid(from);
}

// "name={param}" whose parameter has no usual value: the whole pair goes.
bool isDroppedPair(const QString& segment, const QString& encoding) {
    static const QRegularExpression pair(QStringLiteral("^[^={}]*=\\{([^{}]*)\\}$"));
    const QRegularExpressionMatch m = pair.match(segment);
    return m.hasMatch() && !usualValue(m.capturedView(1), encoding);
}

// Whether filling the template puts the text anywhere: a "%@" that is not the end of a "%%".
bool hasTextPlace(const QString& t) {
    return fillTemplate(t, QStringLiteral("x")) != fillTemplate(t, QString());
}

QString xmlSafe(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            out += text.mid(i++, 2);
        } else if ((c >= 0x20 || c == '\t' || c == '\n') && !QChar::isSurrogate(c) && c != 0xFFFE &&
                   c != 0xFFFF) {
            out += QChar(c);
        }
    }
    return out;
}

QString fileNameFor(const QString& title, QSet<QString>& taken) {
    QString base;
    for (const QChar c : title)
        base += (c.isLetterOrNumber() || c == ' ' || c == '-' || c == '_') ? c : QChar('_');
    base = base.simplified().left(80);
    if (base.isEmpty() || base.startsWith('.'))
        base.prepend(QStringLiteral("site"));
    QString name = base + QStringLiteral(".xml");
    for (int n = 2; taken.contains(name.toLower()); ++n)
        name = base + QStringLiteral("-%1.xml").arg(n);
    taken.insert(name.toLower());
    return name;
}

EngineFile refused(const QString& reason) {
    return EngineFile{{}, 0, reason};
}

EngineFile readFile(const QString& file) {
    QFile in;
    if (const QString error = openRegularFile(file, in); !error.isEmpty())
        return refused(error);
    if (in.peek(16).startsWith(QByteArrayView("SQLite format 3\0", 16)))
        return readChromiumWebData(file);
    QByteArray bytes;
    const QString error = readAtMost(in, kMaxFileSize, [&](QByteArrayView chunk) {
        bytes += chunk;
        return true;
    });
    if (!error.isEmpty())
        return refused(error);
    if (bytes.startsWith("mozLz40"))
        return readMozLz4Engines(bytes);
    if (bytes.trimmed().startsWith('<') || bytes.startsWith("\xEF\xBB\xBF<"))
        return readOpenSearch(bytes);
    return refused(QStringLiteral("not a kind of file Skerrin can import from"));
}

} // namespace

std::variant<QString, QString> siteTemplate(const QString& sourceTemplate,
                                            const QString& encoding) {
    QString t = sourceTemplate.trimmed();
    t.replace(QLatin1String("{google:baseURL}"), QLatin1String("https://www.google.com/"));
    if (!t.contains(kSearchTerms))
        return std::variant<QString, QString>(std::in_place_index<1>, kTakesNoText);
    t = protectPercents(t);
    const qsizetype q = t.indexOf('?');
    QString head = q < 0 ? t : t.left(q);
    QString query = q < 0 ? QString() : t.mid(q + 1);
    QString fragment;
    if (const qsizetype h = query.indexOf('#'); h >= 0) {
        fragment = query.mid(h);
        query.truncate(h);
    }
    QStringList kept;
    for (const QString& segment : query.split('&')) {
        if (isDroppedPair(segment, encoding))
            continue;
        const QString filled = fillParams(segment, encoding);
        if (!filled.isEmpty() || segment.isEmpty())
            kept.append(filled);
    }
    t = fillParams(head, encoding) + (q < 0 ? QString() : '?' + kept.join('&')) +
        fillParams(fragment, encoding);
    t.replace('{', QLatin1String("%7B")).replace('}', QLatin1String("%7D"));
    if (!hasTextPlace(t))
        return std::variant<QString, QString>(std::in_place_index<1>, kTakesNoText);
    const QUrl url(QString(t).replace(QLatin1String("%@"), QLatin1String("x")));
    if ((url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) ||
        url.host().isEmpty())
        return std::variant<QString, QString>(std::in_place_index<1>, kNotWeb);
    return std::variant<QString, QString>(std::in_place_index<0>, t);
}

std::variant<SearchUrl, QString> siteFromEngine(const FoundEngine& engine) {
    const InputEncoding encoding = encodingFromName(engine.encoding).value_or(InputEncoding::Utf8);
    const auto address = siteTemplate(engine.urlTemplate, encodingName(encoding));
    if (address.index() == 1)
        return std::get<1>(address);
    const QString& url = std::get<0>(address);
    QString title = engine.title.simplified();
    if (title.isEmpty())
        title = QUrl(QString(url).replace(QLatin1String("%@"), QLatin1String("x"))).host();
    // A keyword is one word: the first of the text typed.
    const QString keyword = engine.keyword.trimmed().contains(QRegularExpression("\\s"))
                                ? QString()
                                : engine.keyword.trimmed();
    const SpaceStyle spaces =
        engine.spaces == QLatin1String("%20") ? SpaceStyle::Percent20 : SpaceStyle::Plus;
    SearchUrl site(url, title, QString(), encoding, spaces, keyword);
    // An address of suggestions Skerrin could not ask is left off; the site is kept.
    if (const auto suggestions = siteTemplate(engine.suggestTemplate, encodingName(encoding));
        suggestions.index() == 0)
        site.setSuggestUrl(std::get<0>(suggestions));
    return site;
}

QString engineFileOf(const QString& path) {
    const QFileInfo info(path);
    if (!info.isDir())
        return path;
    const QDir dir(path);
    // Firefox keeps a backup and Chromium a journal and an "Account Web Data" beside them.
    for (const char* name : {"search.json.mozlz4", "Web Data", "Default/Web Data"}) {
        if (QFileInfo(dir.filePath(QLatin1String(name))).isFile())
            return dir.filePath(QLatin1String(name));
    }
    return path;
}

Found readPaths(const QStringList& paths) {
    Found found;
    for (const QString& path : paths) {
        const QString file = engineFileOf(path);
        const QFileInfo info(file);
        EngineFile read;
        if (!info.exists())
            read.error = QStringLiteral("no such file or folder");
        else if (info.isDir())
            read.error = QStringLiteral("no Firefox or Chromium profile in this folder");
        else
            read = readFile(file);
        if (!read.error.isEmpty()) {
            found.error = file + QStringLiteral(": ") + read.error;
            return found;
        }
        const qsizetype room = SearchList::maxImportedSites - found.engines.size();
        found.engines += read.engines.first(std::min(room, read.engines.size()));
        found.beyondTheCap += int(std::max<qsizetype>(0, read.engines.size() - room));
        found.withoutAddress += read.withoutAddress;
    }
    return found;
}

Report merge(SearchList& list, const Found& found) {
    QSet<QString> templates, keywords, titles;
    for (const SearchUrl& site : list.searchUrls()) {
        templates.insert(site.url());
        titles.insert(site.title());
        if (!site.keyword().isEmpty())
            keywords.insert(site.keyword().toLower());
    }
    Report report;
    QMap<QString, Skipped>& skipped = report.skippedFor;
    QHash<QString, int> nextNumber;
    const auto numbered = [](const QString& title, int n) {
        return QStringLiteral("%1 (%2)").arg(title, QString::number(n));
    };
    const auto skip = [&](const QString& reason, const QString& title) {
        if (title.isEmpty())
            ++skipped[reason].untitled;
        else
            skipped[reason].titles.append(title);
    };
    if (found.withoutAddress > 0)
        skipped[kTakesNoText].untitled = found.withoutAddress;
    if (found.beyondTheCap > 0)
        skipped[kListFull].untitled = found.beyondTheCap;
    for (const FoundEngine& engine : found.engines) {
        if (list.searchUrls().size() >= SearchList::maxImportedSites) {
            skip(kListFull, engine.title.simplified());
            continue;
        }
        auto made = siteFromEngine(engine);
        if (made.index() == 1) {
            skip(std::get<1>(made), engine.title.simplified());
            continue;
        }
        SearchUrl& site = std::get<0>(made);
        if (templates.contains(site.url())) {
            skip(kAlreadyThere, site.title());
            continue;
        }
        if (!site.keyword().isEmpty() && keywords.contains(site.keyword().toLower())) {
            report.notes.append(
                QStringLiteral("keyword \"%1\" is taken: \"%2\" added without it")
                    .arg(escapeControls(site.keyword()), escapeControls(site.title())));
            site.setKeyword(QString());
        }
        // Titles name one site each: the menu and --site find sites by title. The numbering
        // goes on from the last one given, so that many twins take linear time.
        const QString title = site.title();
        if (titles.contains(title)) {
            int& n = nextNumber[title];
            n = std::max(n, 2);
            while (titles.contains(numbered(title, n)))
                ++n;
            site.setTitle(numbered(title, n++));
        }
        templates.insert(site.url());
        titles.insert(site.title());
        if (!site.keyword().isEmpty())
            keywords.insert(site.keyword().toLower());
        report.added.append(
            QStringLiteral("added \"%1\"%2: %3")
                .arg(escapeControls(site.title()),
                     site.keyword().isEmpty()
                         ? QString()
                         : QStringLiteral(" (keyword %1)").arg(escapeControls(site.keyword())),
                     escapeControls(site.url())));
        list.searchUrls().append(site);
        report.addedTitles.append(site.title());
    }
    for (auto it = skipped.cbegin(); it != skipped.cend(); ++it)
        report.skipped.append(
            QStringLiteral("skipped %1: %2").arg(it->titles.size() + it->untitled).arg(it.key()));
    return report;
}

namespace {
// A site's template as OpenSearch writes it: {searchTerms} for the text, "%%" a percent sign.
QString openSearchTemplate(const QString& url) {
    QString urlTemplate;
    for (qsizetype i = 0; i < url.size(); ++i) {
        const QChar next = i + 1 < url.size() ? url.at(i + 1) : QChar();
        if (url.at(i) == '%' && next == '@') {
            urlTemplate += kSearchTerms;
            ++i;
        } else {
            urlTemplate += url.at(i);
            if (url.at(i) == '%' && next == '%')
                ++i;
        }
    }
    return urlTemplate;
}
} // namespace

QByteArray openSearchDescription(const SearchUrl& site) {
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeDefaultNamespace(kOpenSearchNs);
    xml.writeNamespace(kSkerrinNs, QStringLiteral("skerrin"));
    xml.writeStartElement(kOpenSearchNs, QStringLiteral("OpenSearchDescription"));
    xml.writeTextElement(kOpenSearchNs, QStringLiteral("ShortName"), xmlSafe(site.title()));
    xml.writeTextElement(kOpenSearchNs, QStringLiteral("InputEncoding"),
                         encodingName(site.encoding()));
    const auto writeUrl = [&](const QString& type, const QString& url) {
        xml.writeStartElement(kOpenSearchNs, QStringLiteral("Url"));
        xml.writeAttribute(QStringLiteral("type"), type);
        xml.writeAttribute(QStringLiteral("template"), xmlSafe(openSearchTemplate(url)));
        xml.writeEndElement();
    };
    writeUrl(QStringLiteral("text/html"), site.url());
    if (!site.suggestUrl().isEmpty())
        writeUrl(QStringLiteral("application/x-suggestions+json"), site.suggestUrl());
    if (!site.keyword().isEmpty())
        xml.writeTextElement(kSkerrinNs, QStringLiteral("Keyword"), xmlSafe(site.keyword()));
    xml.writeTextElement(kSkerrinNs, QStringLiteral("Spaces"),
                         site.spaceStyle() == SpaceStyle::Plus ? QStringLiteral("+")
                                                               : QStringLiteral("%20"));
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}

Exported exportSites(const SearchList& list, const QString& dir) {
    Exported exported;
    if (!QDir().mkpath(dir)) {
        exported.error = dir + QStringLiteral(": cannot be made");
        return exported;
    }
    // OpenSearch knows one address an engine: a group's each go to a file of their own.
    QList<SearchUrl> engines;
    for (const SearchUrl& site : list.searchUrls()) {
        for (const QString& url : site.urls()) {
            engines.append(site);
            engines.last().setUrls({url});
        }
    }
    QSet<QString> taken;
    for (const SearchUrl& site : engines) {
        const QString path = QDir(dir).filePath(fileNameFor(site.title(), taken));
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        const int openError = errno;
        if (fd < 0 && openError == EEXIST) {
            exported.skipped.append(path);
            continue;
        }
        QFile out;
        if (fd < 0 || !out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle) ||
            out.write(openSearchDescription(site)) < 0 || !out.flush()) {
            exported.error =
                path + QStringLiteral(": ") +
                (fd < 0 ? QString::fromLocal8Bit(std::strerror(openError)) : out.errorString());
            return exported;
        }
        exported.written.append(path);
    }
    return exported;
}

} // namespace SiteImporter
