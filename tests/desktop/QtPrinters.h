#pragma once

#include <QString>

#include <ostream>

// Lets gtest show texts, and lists of them, as text in its failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
