// Feeds arbitrary bytes to the reader of a site's suggestions, as a server may answer anything:
// what it lists stays within the count below the search field, with no blank line.
#include "SuggestionFetcher.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QStringList suggestions = SuggestionFetcher::parse(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (suggestions.size() > SuggestionFetcher::maxSuggestions || suggestions.contains(QString()))
        std::abort();
    return 0;
}
