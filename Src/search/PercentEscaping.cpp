#include "PercentEscaping.h"

#include <algorithm>

namespace {

bool isUnreserved(unsigned char byte) {
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
           (byte >= '0' && byte <= '9') || QByteArrayView("-_.!~*'()").contains(char(byte));
}

// RFC 2396's reserved characters but & = + (and #, not among them): in a query those split
// the text into parameters, so the person's "C++" or "AT&T" would not reach the site whole.
bool isReserved(unsigned char byte) {
    return QByteArrayView(";/?:@$,").contains(char(byte));
}

QString escapeBytes(const QByteArray& bytes, SpaceStyle spaces) {
    static constexpr char hex[] = "0123456789ABCDEF";
    const bool form = spaces == SpaceStyle::Plus;
    QString escaped;
    escaped.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (isUnreserved(byte) || (!form && isReserved(byte))) {
            escaped.append(QChar(byte));
        } else if (form && byte == ' ') {
            escaped.append('+');
        } else {
            escaped.append('%');
            escaped.append(QChar(hex[byte >> 4]));
            escaped.append(QChar(hex[byte & 0xF]));
        }
    }
    return escaped;
}

} // namespace

QString addPercentEscapes(const QString& text) {
    return addPercentEscapes(text, InputEncoding::Latin1, SpaceStyle::Percent20);
}

QString addPercentEscapes(const QString& text, InputEncoding encoding, SpaceStyle spaces) {
    const bool latin1 =
        encoding == InputEncoding::Latin1 &&
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
    return escapeBytes(latin1 ? text.toLatin1() : text.toUtf8(), spaces);
}

QString fillTemplate(const QString& urlTemplate, const QString& escaped) {
    QString address;
    address.reserve(urlTemplate.size() + escaped.size());
    for (qsizetype i = 0; i < urlTemplate.size(); ++i) {
        const QChar c = urlTemplate.at(i);
        const QChar next = i + 1 < urlTemplate.size() ? urlTemplate.at(i + 1) : QChar();
        if (c == '%' && next == '@') {
            address.append(escaped);
            ++i;
        } else if (c == '%' && next == '%') {
            address.append('%');
            ++i;
        } else {
            address.append(c);
        }
    }
    return address;
}

QString withTextPlace(const QString& typed) {
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
