#pragma once

#include <QString>

// Hands a web address to the user's browser. The address is checked for RFC 2396
// well-formedness first, so no backend is ever given text that is not an absolute address.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;

    // False when the text is not a well-formed absolute address or it could not be handed over.
    bool open(const QString& address);

    static bool isWellFormed(const QString& address);

protected:
    virtual bool launch(const QString& address) = 0;
};
