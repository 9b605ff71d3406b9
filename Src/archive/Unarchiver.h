#pragma once

#include "ArchiveObject.h"

#include <QByteArrayView>

// Reads a sequential archive. Damaged input of any kind gives null: never a crash, a hang or
// an allocation beyond what the input's size can justify.
class Unarchiver {
public:
    static ArchiveObjectRef unarchiveObjectWithData(QByteArrayView data);
};
