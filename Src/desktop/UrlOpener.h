#pragma once

#include <QString>

// Hands a web address to the user's browser. The address is checked for RFC 2396
// well-formedness first, so no backend is ever given text that is not an absolute address.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;

    // Longer addresses are refused: the kernel takes no more than 128 KiB of arguments, an
    // escaped text may be three times its length, and no site reads a query of this size.
    static constexpr qsizetype maxAddressLength = 32 * 1024;
    static inline const QString tooLong = QStringLiteral("too long to hand to the browser");

    // A site may ask for the browser's private window.
    enum class Window { Usual, Private };

    // False when the address is refused or could not be handed over.
    bool open(const QString& address, Window window = Window::Usual);

    static bool isWellFormed(const QString& address);
    // Why the address is not handed to any browser, or nothing when it may be.
    static QString refusal(const QString& address);

protected:
    virtual bool launch(const QString& address, Window window) = 0;
};
