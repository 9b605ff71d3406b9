#include "UrlOpener.h"

namespace {

bool isAlpha(QChar c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(QChar c) {
    return c >= '0' && c <= '9';
}

bool isHex(QChar c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// unreserved and reserved characters of RFC 2396
bool isUriChar(QChar c) {
    return isAlpha(c) || isDigit(c) || QStringView(u"-_.!~*'();/?:@&=+$,").contains(c);
}

bool isScheme(QStringView scheme) {
    if (scheme.isEmpty() || !isAlpha(scheme.front()))
        return false;
    for (QChar c : scheme) {
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

} // namespace

bool UrlOpener::open(const QString& address, Window window) {
    return refusal(address).isEmpty() && launch(address, window);
}

QString UrlOpener::refusal(const QString& address) {
    if (address.size() > maxAddressLength)
        return tooLong;
    return isWellFormed(address) ? QString() : QStringLiteral("not a well-formed address");
}

bool UrlOpener::isWellFormed(const QString& address) {
    bool inFragment = false;
    for (qsizetype i = 0; i < address.size(); ++i) {
        const QChar c = address.at(i);
        if (c == '%') {
            if (i + 2 >= address.size() || !isHex(address.at(i + 1)) || !isHex(address.at(i + 2)))
                return false;
            i += 2;
        } else if (c == '#' && !inFragment) {
            inFragment = true;
        } else if (!isUriChar(c)) {
            return false;
        }
    }
    // Only an absolute address can be opened; a relative one would be taken for a file name.
    const qsizetype colon = address.indexOf(':');
    return colon > 0 && isScheme(QStringView(address).left(colon));
}
