#pragma once

#include "SelectionReader.h"

#include <QLatin1String>
#include <QStringList>

// One seat's selections as a data-control protocol announces them, whichever protocol it is.
class DataControlDevice {
public:
    using Selection = SelectionReader::Selection;

    virtual ~DataControlDevice() = default;
    // False once the compositor has withdrawn the device.
    virtual bool live() const = 0;
    // The selection's text format that loses least; null when it offers no text.
    virtual const char* textFormat(Selection which) const = 0;
    // Asks the selection's owner to write it in `format` into `fd`.
    virtual void receive(Selection which, const char* format, int fd) = 0;

protected:
    static const char* bestTextFormat(const QStringList& offered) {
        // UTF-8 first: it loses nothing.
        for (const char* format :
             {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "TEXT", "STRING"}) {
            if (offered.contains(QLatin1String(format)))
                return format;
        }
        return nullptr;
    }
};
