#include "PreferenceFile.h"
#include "PlistCompat.h"

#include <QDateTime>
#include <QStringDecoder>
#include <QStringList>
#include <QTimeZone>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <utility>

namespace {

// libplist recurses once per level when it copies, writes or frees a tree, and writes every
// level's indentation on every line below it. Real preferences nest a few levels; refusing
// anything far deeper keeps a hostile file from exhausting the stack or the disk.
constexpr int maxDepth = 64;
// Checked on the bytes before parsing, because freeing an over-deep tree would already overflow.
constexpr qsizetype maxContainerTags = 10000;

const QDateTime referenceDate(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());

// Text in the file. XML 1.0 carries every character but the C0 controls other than tab, line
// feed and carriage return, U+FFFE, U+FFFF and lone surrogates, yet a search may hold any of
// them (a terminal's escape codes). Those, and the marker itself, are written as the marker
// U+FDD0 (a noncharacter: never in text that people exchange) followed by the UTF-16 unit in
// four upper-case hex digits: ESC is "\uFDD0" "001B". Every other string is written byte for
// byte as before, so older files and older releases read each other's ordinary strings. A
// marker not followed by four hex digits reads as itself. A carriage return is legal but a
// reader turns a raw one into a line feed, so serialise() writes it as the reference "&#13;".
constexpr char16_t escapeMarker = 0xFDD0;

bool xmlCarries(char16_t unit) {
    return unit == '\t' || unit == '\n' || unit == '\r' ||
           (unit >= 0x20 && unit != escapeMarker && unit != 0xFFFE && unit != 0xFFFF);
}

QString escapedForXml(const QString& text) {
    QString escaped;
    const auto units = QStringView(text);
    for (qsizetype at = 0; at < units.size(); ++at) {
        const char16_t unit = units[at].unicode();
        const bool pair = QChar::isHighSurrogate(unit) && at + 1 < units.size() &&
                          QChar::isLowSurrogate(units[at + 1].unicode());
        const bool lone = !pair && QChar::isSurrogate(unit);
        if (xmlCarries(unit) && !lone) {
            if (!escaped.isNull())
                escaped += units.sliced(at, pair ? 2 : 1);
        } else {
            if (escaped.isNull())
                escaped = units.first(at).toString();
            escaped += QChar(escapeMarker);
            escaped += QStringLiteral("%1").arg(uint(unit), 4, 16, QLatin1Char('0')).toUpper();
        }
        at += pair ? 1 : 0;
    }
    return escaped.isNull() ? text : escaped;
}

bool isUpperHex(QChar c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

QString unescapedFromXml(const QString& text) {
    const qsizetype first = text.indexOf(QChar(escapeMarker));
    if (first < 0)
        return text;
    QString plain = text.first(first);
    for (qsizetype at = first; at < text.size(); ++at) {
        const QString digits = text.mid(at + 1, 4);
        if (text[at] == QChar(escapeMarker) && digits.size() == 4 &&
            std::all_of(digits.cbegin(), digits.cend(), isUpperHex)) {
            plain += QChar(char16_t(digits.toUInt(nullptr, 16)));
            at += 4;
        } else {
            plain += text[at];
        }
    }
    return plain;
}

// The text of a string or key in the file. QString::fromUtf8 would drop a leading U+FEFF, which
// a text may well begin with (copied from a file that starts with one).
QString textOf(QByteArrayView utf8) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return unescapedFromXml(decoder(utf8));
}

QByteArray utf8ForXml(const QString& text) {
    return escapedForXml(text).toUtf8();
}

bool startsWithNoCase(QByteArrayView text, QByteArrayView word) {
    return text.size() >= word.size() &&
           qstrnicmp(text.data(), word.data(), size_t(word.size())) == 0;
}

// Counts every "<array" and "<dict", in any case and wherever it stands, so the count is never
// below the number of containers the parser can make.
qsizetype containerTags(QByteArrayView bytes) {
    qsizetype count = 0;
    for (qsizetype at = bytes.indexOf('<'); at >= 0; at = bytes.indexOf('<', at + 1)) {
        const QByteArrayView rest = bytes.sliced(at + 1);
        if (startsWithNoCase(rest, "array") || startsWithNoCase(rest, "dict"))
            ++count;
    }
    return count;
}

template <typename Visit> void forEachItem(plist_t array, Visit visit) {
    plist_array_iter iter = nullptr;
    plist_array_new_iter(array, &iter);
    for (plist_t item = nullptr;;) {
        plist_array_next_item(array, iter, &item);
        if (!item)
            break;
        visit(item);
    }
    std::free(iter);
}

// Keys as the file holds them.
template <typename Visit> void forEachRawEntry(plist_t dict, Visit visit) {
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(dict, &iter);
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(dict, iter, &key, &value);
        if (value)
            visit(QByteArray(key), value);
        PlistCompat::free(key);
        if (!value)
            break;
    }
    std::free(iter);
}

template <typename Visit> void forEachEntry(plist_t dict, Visit visit) {
    forEachRawEntry(dict, [&](const QByteArray& key, plist_t value) { visit(textOf(key), value); });
}

bool nestsWithin(plist_t node, int levels) {
    const plist_type type = plist_get_node_type(node);
    if (type != PLIST_ARRAY && type != PLIST_DICT)
        return true;
    if (levels == 0)
        return false;
    bool within = true;
    const auto check = [&](plist_t child) { within = within && nestsWithin(child, levels - 1); };
    if (type == PLIST_ARRAY)
        forEachItem(node, check);
    else
        forEachEntry(node, [&](const QString&, plist_t child) { check(child); });
    return within;
}

QVariant toVariant(plist_t node) {
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return bool(value);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return qint64(value);
    }
    case PLIST_UID: {
        uint64_t value = 0;
        plist_get_uid_val(node, &value);
        return qint64(value);
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return value;
    }
    case PLIST_STRING: {
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        return textOf(QByteArrayView(text, qsizetype(length)));
    }
    case PLIST_DATA: {
        uint64_t length = 0;
        const char* bytes = plist_get_data_ptr(node, &length);
        return QByteArray(bytes, qsizetype(length));
    }
    case PLIST_DATE: {
        const PlistCompat::Date date = PlistCompat::dateOf(node);
        return referenceDate.addMSecs(date.seconds * 1000 + date.microseconds / 1000);
    }
    case PLIST_ARRAY: {
        QVariantList items;
        bool allStrings = true;
        forEachItem(node, [&](plist_t item) {
            items.append(toVariant(item));
            allStrings = allStrings && items.last().typeId() == QMetaType::QString;
        });
        if (!allStrings)
            return items;
        QStringList strings;
        for (const QVariant& item : std::as_const(items))
            strings.append(item.toString());
        return strings;
    }
    case PLIST_DICT: {
        QVariantMap entries;
        forEachEntry(node, [&](const QString& key, plist_t value) {
            entries.insert(key, toVariant(value));
        });
        return entries;
    }
    default:
        return {};
    }
}

// Strings and keys an older release or another program wrote raw (a control character, bytes
// that are no UTF-8) are put in the form written above, so that the next write is XML again.
void makeWritable(plist_t node) {
    const auto rewritten = [](const char* bytes, uint64_t length) -> std::optional<QByteArray> {
        const QByteArray raw(bytes, qsizetype(length));
        QByteArray written = utf8ForXml(textOf(raw));
        return written == raw ? std::nullopt : std::optional(written);
    };
    switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        if (const auto written = rewritten(text, length))
            plist_set_string_val(node, written->constData());
        break;
    }
    case PLIST_ARRAY:
        forEachItem(node, makeWritable);
        break;
    case PLIST_DICT: {
        QList<std::pair<QByteArray, QByteArray>> renamed;
        forEachRawEntry(node, [&](const QByteArray& key, plist_t value) {
            makeWritable(value);
            if (const auto written = rewritten(key.constData(), uint64_t(key.size())))
                renamed.append({key, *written});
        });
        for (const auto& [from, to] : std::as_const(renamed)) {
            plist_t value = plist_copy(plist_dict_get_item(node, from.constData()));
            plist_dict_remove_item(node, from.constData());
            plist_dict_set_item(node, to.constData(), value);
        }
        break;
    }
    default:
        break;
    }
}

// The dictionary the bytes hold; null when they hold none, or one nested too deep.
plist_t parseTree(QByteArrayView bytes) {
    // Editors on some systems start a UTF-8 file with a byte order mark; the parser does not.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    if (bytes.isEmpty() || bytes.size() > qsizetype(std::numeric_limits<uint32_t>::max()) ||
        containerTags(bytes) > maxContainerTags)
        return nullptr;
    // A terminated copy: the parser must never run past the end of the caller's bytes.
    const QByteArray text = bytes.toByteArray();
    plist_t tree = nullptr;
    plist_from_xml(text.constData(), uint32_t(text.size()), &tree);
    if (tree && (plist_get_node_type(tree) != PLIST_DICT || !nestsWithin(tree, maxDepth))) {
        plist_free(tree);
        return nullptr;
    }
    if (tree)
        makeWritable(tree);
    return tree;
}

plist_t arrayNode(const QVariantList& items);
plist_t dictNode(const QVariantMap& entries);

// A new node holding the value; null when a property list has no kind for it.
plist_t toNode(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return plist_new_bool(value.toBool());
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Short:
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return plist_new_uint(uint64_t(value.toLongLong()));
    case QMetaType::UChar:
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return plist_new_uint(value.toULongLong());
    case QMetaType::Float:
    case QMetaType::Double:
        return plist_new_real(value.toDouble());
    case QMetaType::QString:
        return plist_new_string(utf8ForXml(value.toString()).constData());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), uint64_t(bytes.size()));
    }
    case QMetaType::QStringList:
    case QMetaType::QVariantList:
        return arrayNode(value.toList());
    case QMetaType::QVariantMap:
        return dictNode(value.toMap());
    case QMetaType::QDateTime: {
        const QDateTime date = value.toDateTime();
        const qint64 milliseconds = date.isValid() ? referenceDate.msecsTo(date) : 0;
        const qint64 seconds = milliseconds / 1000;
        if (!date.isValid() || seconds < std::numeric_limits<int32_t>::min() ||
            seconds > std::numeric_limits<int32_t>::max())
            return nullptr;
        return PlistCompat::newDate({seconds, int32_t(milliseconds % 1000 * 1000)});
    }
    default:
        return nullptr;
    }
}

plist_t arrayNode(const QVariantList& items) {
    plist_t array = plist_new_array();
    for (const QVariant& item : items) {
        plist_t node = toNode(item);
        if (!node) {
            plist_free(array);
            return nullptr;
        }
        plist_array_append_item(array, node);
    }
    return array;
}

plist_t dictNode(const QVariantMap& entries) {
    plist_t dict = plist_new_dict();
    for (auto entry = entries.cbegin(); entry != entries.cend(); ++entry) {
        plist_t node = toNode(entry.value());
        if (!node) {
            plist_free(dict);
            return nullptr;
        }
        plist_dict_set_item(dict, utf8ForXml(entry.key()).constData(), node);
    }
    return dict;
}

} // namespace

PreferenceFile::PreferenceFile()
    : root(plist_new_dict()) {}

PreferenceFile::PreferenceFile(plist_t root)
    : root(root) {}

PreferenceFile::~PreferenceFile() {
    if (root)
        plist_free(root);
}

PreferenceFile::PreferenceFile(PreferenceFile&& other) noexcept
    : root(std::exchange(other.root, nullptr)) {}

PreferenceFile& PreferenceFile::operator=(PreferenceFile&& other) noexcept {
    std::swap(root, other.root);
    return *this;
}

std::optional<PreferenceFile> PreferenceFile::parse(QByteArrayView bytes) {
    plist_t tree = parseTree(bytes);
    if (!tree)
        return std::nullopt;
    PreferenceFile file(tree);
    // libplist accepts some nodes (a malformed date) that it writes in a form it reads as another
    // value, or not at all. Such a file would change or be lost at our next write, so it counts as
    // damaged now, while its bytes are still intact.
    const QByteArray written = file.serialise();
    plist_t again = parseTree(written);
    if (!again || PreferenceFile(again).serialise() != written)
        return std::nullopt;
    return file;
}

QByteArray PreferenceFile::serialise() const {
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root, &xml, &length);
    if (!xml)
        return {};
    QByteArray bytes(xml, qsizetype(length));
    PlistCompat::free(xml);
    // Only text can hold a carriage return: the layout and base64 data never do.
    return bytes.replace('\r', "&#13;");
}

QVariantMap PreferenceFile::values() const {
    return toVariant(root).toMap();
}

bool PreferenceFile::setValue(const QString& key, const QVariant& value) {
    plist_t node = toNode(value);
    if (!node)
        return false;
    plist_dict_set_item(root, utf8ForXml(key).constData(), node);
    return true;
}

void PreferenceFile::remove(const QString& key) {
    plist_dict_remove_item(root, utf8ForXml(key).constData());
}

bool PreferenceFile::canHold(const QVariant& value) {
    plist_t node = toNode(value);
    if (!node)
        return false;
    plist_free(node);
    return true;
}
