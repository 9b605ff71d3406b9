#pragma once

#include "ArchiveObject.h"

// Writes the classic sequential ("typedstream") archive, byte for byte as the platform did.
class Archiver {
public:
    static QByteArray archivedDataWithRootObject(const ArchiveObjectRef& root);
};
