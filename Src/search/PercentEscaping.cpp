#include "PercentEscaping.h"

#include <algorithm>

namespace {

bool passesUnescaped(unsigned char byte) {
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
           (byte >= '0' && byte <= '9') ||
           QByteArrayView("-_.!~*'();/?:@&=+$,").contains(char(byte));
}

} // namespace

QString addPercentEscapes(const QString& text) {
    const bool latin1 =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
    const QByteArray bytes = latin1 ? text.toLatin1() : text.toUtf8();
    static constexpr char hex[] = "0123456789ABCDEF";
    QString escaped;
    escaped.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (passesUnescaped(byte)) {
            escaped.append(QChar(byte));
        } else {
            escaped.append('%');
            escaped.append(QChar(hex[byte >> 4]));
            escaped.append(QChar(hex[byte & 0xF]));
        }
    }
    return escaped;
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
