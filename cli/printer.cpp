#include "cli/printer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>
#include <QTextStream>

using namespace Qt::StringLiterals;

namespace vesk::cli
{
namespace
{

QString textOfValue(const QJsonValue &v)
{
    if (v.isDouble())
        return QString::number(v.toInteger());
    if (v.isBool())
        return v.toBool() ? u"true"_s : u"false"_s;
    return v.toString(); // null: nothing
}

} // namespace

void Printer::object(const Fields &fields, const QString &text)
{
    if (!m_json) {
        m_out << text;
        return;
    }
    for (const auto &[name, value] : fields)
        m_object.insert(name, value);
    m_said = true;
}

void Printer::rows(const QString &name, const QList<Fields> &rows,
                   const std::function<QString(const Fields &)> &textOf)
{
    if (m_json) {
        QJsonArray array;
        for (const Fields &row : rows) {
            QJsonObject o;
            for (const auto &[field, value] : row)
                o.insert(field, value);
            array.append(o);
        }
        m_object.insert(name, array);
        m_said = true;
        return;
    }
    for (const Fields &row : rows) {
        if (textOf) {
            m_out << textOf(row) << '\n';
            continue;
        }
        QStringList values;
        for (const auto &field : row)
            values << textOfValue(field.second);
        m_out << values.join(u'\t') << '\n';
    }
}

void Printer::line(const QString &text)
{
    if (!m_json)
        m_out << text << '\n';
}

void Printer::finish()
{
    if (m_json && m_said)
        m_out << QString::fromUtf8(QJsonDocument(m_object).toJson(QJsonDocument::Compact)) << '\n';
}

} // namespace vesk::cli
