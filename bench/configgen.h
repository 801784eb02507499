#pragma once

// Generated configuration files for the benchmarks and the large-file
// tests: every one of the 72 settings once, every tenth line a category,
// all other lines unknown to the editor (comments and foreign keys), as a
// grown tracker configuration looks.

#include "config/catalogue.h"

#include <QByteArray>

namespace vesk::gen
{

inline QByteArray configLines(qsizetype lines)
{
    QByteArray out;
    out.reserve(lines * 40);
    qsizetype written = 0;
    for (const Setting &s : catalogue::settings()) {
        if (written == lines)
            return out;
        out += s.key.toLatin1() + " = value of " + QByteArray::number(s.slot) + "\r\n";
        ++written;
    }
    for (qsizetype i = written; i < lines; ++i) {
        if (i % 10 == 0)
            out += "vesk_tag" + QByteArray::number(i / 10) + " = Category "
                   + QByteArray::number(i * 7919 % 100003) + "|images/cat" + QByteArray::number(i)
                   + ".png\r\n";
        else if (i % 3 == 0)
            out += "tracker_option_" + QByteArray::number(i) + " = some value\r\n";
        else
            out += "# note " + QByteArray::number(i) + ": kept as written by the editor\r\n";
    }
    return out;
}

} // namespace vesk::gen
