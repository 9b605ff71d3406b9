// Feeds arbitrary bytes to the Firefox engine-list reader (mozLz4 header, LZ4 block, JSON), then
// turns every engine found into a site as an import would.
#include "EngineReaders.h"
#include "SiteImporter.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // The JSON alone too: few mutations of a compressed block reach the JSON reader.
    for (const EngineFile& file : {readMozLz4Engines(bytes), readFirefoxSearchJson(bytes)}) {
        for (const FoundEngine& engine : file.engines)
            (void)SiteImporter::siteFromEngine(engine);
    }
    return 0;
}
