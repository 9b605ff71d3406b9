// Writes arbitrary bytes as a Web Data, reads its engines as an import would (from a copy, with
// SQLite's limits) and turns each into a site.
#include "EngineReaders.h"
#include "SiteImporter.h"

#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Web Data"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        return 0;
    file.close();
    for (const FoundEngine& engine : readChromiumWebData(path).engines)
        (void)SiteImporter::siteFromEngine(engine);
    return 0;
}
