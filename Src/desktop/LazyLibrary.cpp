#include "LazyLibrary.h"

#include <dlfcn.h>

LazyLibrary::LazyLibrary(const char* soname)
    : soname(soname)
    , handle(dlopen(soname, RTLD_LAZY | RTLD_LOCAL)) {
    if (!handle)
        missing = QStringLiteral("%1 is not installed").arg(QString::fromLatin1(soname));
}

LazyLibrary::Function LazyLibrary::function(const char* name) {
    void* address = handle ? dlsym(handle, name) : nullptr;
    if (handle && !address && missing.isEmpty())
        missing = QStringLiteral("%1 lacks %2")
                      .arg(QString::fromLatin1(soname), QString::fromLatin1(name));
    return {address};
}
