#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>

class QTextStream;

namespace vesk::cli
{

// What veskcfg prints on its standard output, said once for both forms:
// lines of text, or (--json) one JSON object on one line.
class Printer
{
public:
    using Fields = QList<QPair<QString, QJsonValue>>;

    Printer(QTextStream &out, bool json) : m_out(out), m_json(json) {}

    // Members of the JSON object; in text, the lines given (none when empty).
    void object(const Fields &fields, const QString &text);
    // Rows: in JSON the array `name` of objects; in text a line each, its
    // values joined by TABs, or as textOf writes it.
    void rows(const QString &name, const QList<Fields> &rows,
              const std::function<QString(const Fields &)> &textOf = {});
    // A line of text, not in JSON.
    void line(const QString &text);
    // Writes the JSON object; nothing for text, which went out as it came.
    void finish();

private:
    QTextStream &m_out;
    bool m_json;
    QJsonObject m_object;
    bool m_said = false; // anything for the JSON object
};

} // namespace vesk::cli
