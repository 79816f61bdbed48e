#pragma once

#include <QString>
#include <ostream>

// Lets failed expectations show texts rather than bytes.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
