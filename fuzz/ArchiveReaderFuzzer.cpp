// Feeds arbitrary bytes to the archive reader, then asks every object it returns for its
// string and array forms.
#include "Unarchiver.h"

#include <cstddef>
#include <cstdint>
#include <unordered_set>

namespace {

// Shared instances are visited once: a chain of objects each used twice would otherwise
// take exponential time.
void visit(const ArchiveObjectRef& object, std::unordered_set<const ArchiveObject*>& seen) {
    if (!object || !seen.insert(object.get()).second)
        return;
    (void)object->toString();
    (void)object->toArray();
    for (const ArchiveValue& value : object->values)
        visit(value.object, seen);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ArchiveObjectRef root = Unarchiver::unarchiveObjectWithData(
        QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    std::unordered_set<const ArchiveObject*> seen;
    visit(root, seen);
    return 0;
}
