// Feeds arbitrary bytes to the OpenSearch reader, turns what it finds into a site, writes that
// site out as a description and reads it back: the writer must give valid XML whatever the
// title holds.
#include "EngineReaders.h"
#include "SiteImporter.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const EngineFile file =
        readOpenSearch(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    for (const FoundEngine& engine : file.engines) {
        const auto site = SiteImporter::siteFromEngine(engine);
        if (site.index() != 0)
            continue;
        const EngineFile back =
            readOpenSearch(SiteImporter::openSearchDescription(std::get<0>(site)));
        if (!back.error.isEmpty() || back.engines.size() != 1)
            std::abort();
    }
    return 0;
}
