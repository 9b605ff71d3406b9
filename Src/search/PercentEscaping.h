#pragma once

#include <QString>

// How a site wants the search text: the bytes of the text in its encoding, percent-escaped,
// with a space written as %20 (historic) or + (the browsers' engines).
enum class InputEncoding { Latin1, Utf8 };
enum class SpaceStyle { Percent20, Plus };

// Escapes every character RFC 2396 does not allow in an address as %XX of its ISO Latin-1
// byte, and & = + too, which would end the text inside a query; a text that Latin-1 cannot
// represent is escaped as UTF-8 with the same rule.
QString addPercentEscapes(const QString& text);

// The escaping a site asks for. With the historic pair (Latin-1, %20) it is the one above. With
// + for a space the text is form-encoded as browsers do it: every character but the letters,
// digits and - _ . ! ~ * ' ( ) is escaped, so a + or & typed stays part of the text.
QString addPercentEscapes(const QString& text, InputEncoding encoding, SpaceStyle spaces);

// Fills a URL template: each "%@" becomes `escaped`, "%%" becomes "%", any other "%" stays.
QString fillTemplate(const QString& urlTemplate, const QString& escaped);

// A browser's place for the text, "%s", or OpenSearch's "{searchTerms}", as Skerrin's "%@"; a
// "%%" stays the percent sign it stands for.
QString withTextPlace(const QString& typed);
