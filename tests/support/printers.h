#pragma once
// Readable failure messages for the types the tests compare.
#include "base/error.h"

#include <QString>
#include <QStringList>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

inline void PrintTo(const QStringList &list, std::ostream *os)
{
    *os << "{ ";
    for (const QString &s : list)
        *os << '"' << s.toStdString() << "\" ";
    *os << '}';
}

namespace vadrelon {
inline void PrintTo(const Error &e, std::ostream *os)
{
    *os << "Error{" << static_cast<int>(e.code) << ", \"" << e.detail.toStdString() << "\"}";
}
} // namespace vadrelon
