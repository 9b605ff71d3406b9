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

    // A C string ends at the first NUL, so that is all of a search string the file can keep.
    const QString text = QString::fromUtf8(bytes).section(QChar(0), 0, 0);
    PreferenceFile history;
    history.setValue("history", QStringList({text}));
    const auto reread = PreferenceFile::parse(history.serialise());
    if (!reread || reread->values().value("history") != QStringList({text}))
        std::abort();
    return 0;
}
