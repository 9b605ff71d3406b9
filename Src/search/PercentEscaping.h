#pragma once

#include <QString>

// Escapes every character RFC 2396 does not allow in an address as %XX of its ISO Latin-1
// byte; a text that Latin-1 cannot represent is escaped as UTF-8 with the same rule.
QString addPercentEscapes(const QString& text);

// Fills a URL template: each "%@" becomes `escaped`, "%%" becomes "%", any other "%" stays.
QString fillTemplate(const QString& urlTemplate, const QString& escaped);
