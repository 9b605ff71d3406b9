// Feeds arbitrary bytes to the preferences loader, and as a search string to the writer. Whatever
// the loader accepts, and whatever the writer writes, must read back: the next launch would take
// the file for damaged otherwise.
#include "PreferenceFile.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto file = PreferenceFile::parse(bytes)) {
        file->values();
        const QByteArray written = file->serialise();
        const auto reread = PreferenceFile::parse(written);
        if (!reread || reread->serialise() != written)
            std::abort();
    }

    // Any text a search may hold, read as UTF-8 and as raw UTF-16 units (lone surrogates, NUL),
    // must be written as XML and read back as itself, as a value and as a key.
    const QString texts[] = {QString::fromUtf8(bytes), QString(reinterpret_cast<const QChar*>(data),
                                                               qsizetype(size / sizeof(QChar)))};
    for (const QString& text : texts) {
        PreferenceFile history;
        history.setValue("history", QStringList({text}));
        history.setValue("k" + text, 1.0);
        const QByteArray written = history.serialise();
        for (const char c : written) {
            if (uchar(c) < 0x20 && c != '\t' && c != '\n')
                std::abort();
        }
        const auto reread = PreferenceFile::parse(written);
        if (!reread || reread->values().value("history") != QStringList({text}) ||
            reread->values().value("k" + text) != 1.0)
            std::abort();
    }
    return 0;
}
