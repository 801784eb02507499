#include "cli/commands.h"

#include "cli/agent.h"
#include "cli/runner.h"
#include "config/linediff.h"
#include "config/valuecheck.h"
#include "document/location.h"

#include <QDir>
#include <new>

using namespace Qt::StringLiterals;

namespace vesk::cli
{
namespace
{

QString tabOf(const Setting &s)
{
    return catalogue::pageCaption(s.page);
}

Printer::Fields categoryFields(size_t index, const Category &c)
{
    return {{u"number"_s, qint64(index + 1)}, {u"name"_s, c.name}, {u"image"_s, c.image}};
}

} // namespace

int Runner::run()
{
    const QString &command = m_in.command;
    if (command == u"explain")
        return m_in.args.isEmpty() ? explainAll() : explain(m_in.args[0]); // needs no file
    if (command == u"agent")
        return serveAgent(m_env.files, QDir::current().absoluteFilePath(m_in.file), 0, 1);
    if (command == u"get")
        if (Result<int> slot = slotArgument(m_in.args[0]); !slot)
            return report(slot.error());
    Result<QString> path = configPath();
    if (!path)
        return report(path.error());
    m_path = *path;
    if (command == u"list")
        return list();
    if (command == u"get")
        return get(m_in.args[0]);
    if (command == u"check")
        return check();
    if (command == u"categories")
        return categories();
    if (command == u"diff")
        return diff();
    if (command == u"set")
        return set();
    if (command == u"unset")
        return unset();
    if (command == u"apply")
        return apply();
    return category();
}

Result<QString> Runner::configPath() const
{
    if (!m_in.file.isEmpty())
        return QDir::current().absoluteFilePath(m_in.file);
    // The file the editor last opened, as the editor takes it.
    const ConfigLocation location(m_env.files, m_env.dataFolder ? m_env.dataFolder() : QString());
    const std::optional<QString> recorded = location.recorded();
    if (!recorded || recorded->isEmpty())
        return Failure::of(
            Fault::Refused,
            u"no configuration file given, and none recorded in "_s + location.locationFile()
                + u" (the editor records the file it opens there); name one with --file PATH"_s);
    return *recorded;
}

Result<ConfigData> Runner::load(bool changing)
{
    Result<ConfigData> loaded = m_document.open(m_path);
    if (!loaded)
        return Failure{loaded.fault(), loaded.code(), u"cannot read "_s + m_path + u": "_s + loaded.reason()};
    if (m_document.torn()) {
        const QString backup = m_document.backupPath();
        const QString about =
            m_path
            + u" may be incomplete: a rewrite of it in place was cut short (a crash or a power cut); its backup "_s
            + backup
            + u" holds the version before that save. Open it in veskfrontend, which offers the backup, or "
              u"put the "
              "backup back with: cp "_s
            + backup + u' ' + m_path;
        if (changing)
            return Failure::of(Fault::Refused, about + u"; nothing was changed"_s);
        m_err << kProgram << ": warning: " << about << '\n';
    }
    return loaded;
}

int Runner::list()
{
    Result<ConfigData> loaded = load();
    if (!loaded)
        return report(loaded.error());
    const ConfigContent c = contentAfterRead(std::move(*loaded));
    QList<Printer::Fields> rows;
    for (const Setting &s : catalogue::settings())
        rows.append({{u"key"_s, s.key},
                     {u"caption"_s, s.caption},
                     {u"tab"_s, tabOf(s)},
                     {u"kind"_s, ruleText(s.slot)},
                     {u"value"_s, c.values[size_t(s.slot)]}});
    m_out.object({{u"file"_s, m_path}}, QString());
    m_out.rows(u"settings"_s, rows);
    if (m_in.all) {
        QList<Printer::Fields> cats;
        for (size_t i = 0; i < c.categories.size(); ++i)
            cats.append(categoryFields(i, c.categories[i]));
        m_out.line(u"# categories: %1"_s.arg(c.categories.size()));
        m_out.rows(u"categories"_s, cats);
        const qsizetype others = c.misc.count(u'\n');
        m_out.object({{u"otherLines"_s, qint64(others)}}, u"# other lines: %1\n"_s.arg(others));
    }
    return kOk;
}

int Runner::get(const QString &key)
{
    Result<ConfigData> loaded = load();
    if (!loaded)
        return report(loaded.error());
    // The window shows an absent setting and an empty one alike, and a
    // save leaves both out.
    const QString value = loaded->values[size_t(catalogue::slotOf(key))].value_or(QString());
    m_out.object({{u"key"_s, key}, {u"value"_s, value.isEmpty() ? QJsonValue() : QJsonValue(value)}},
                 value.isEmpty() ? QString() : value + u'\n');
    if (value.isEmpty())
        return report(Failure::of(Fault::Refused, key + u" is not set in "_s + m_path));
    return kOk;
}

int Runner::check()
{
    Result<ConfigData> loaded = load();
    if (!loaded)
        return report(loaded.error());
    QList<Printer::Fields> problems;
    for (const Setting &s : catalogue::settings()) {
        const QString value = loaded->values[size_t(s.slot)].value_or(QString());
        if (const Result<void> fits = checkValue(s.slot, value); !fits)
            problems.append({{u"key"_s, s.key}, {u"value"_s, value}, {u"problem"_s, fits.reason()}});
    }
    m_out.rows(u"problems"_s, problems, [](const Printer::Fields &f) {
        return f[0].second.toString() + u": \""_s + f[1].second.toString() + u"\" "_s
               + f[2].second.toString();
    });
    return problems.isEmpty() ? kOk : kFailed;
}

int Runner::explain(const QString &key)
{
    const Result<int> slot = slotArgument(key);
    if (!slot)
        return report(slot.error());
    const Setting *s = catalogue::setting(*slot);
    m_out.object({{u"key"_s, s->key},
                  {u"caption"_s, s->caption},
                  {u"tab"_s, tabOf(*s)},
                  {u"kind"_s, ruleText(s->slot)},
                  {u"help"_s, s->help.trimmed()}},
                 u"%1 (%2, %3 tab; %4)\n%5\n"_s.arg(s->key, s->caption, tabOf(*s), ruleText(s->slot),
                                                    s->help.trimmed()));
    return kOk;
}

int Runner::explainAll()
{
    QList<Printer::Fields> rows;
    for (const Setting &s : catalogue::settings())
        rows.append({{u"key"_s, s.key},
                     {u"caption"_s, s.caption},
                     {u"tab"_s, tabOf(s)},
                     {u"kind"_s, ruleText(s.slot)}});
    m_out.rows(u"settings"_s, rows);
    return kOk;
}

int Runner::categories()
{
    Result<ConfigData> loaded = load();
    if (!loaded)
        return report(loaded.error());
    const ConfigContent c = contentAfterRead(std::move(*loaded));
    QList<Printer::Fields> rows;
    for (size_t i = 0; i < c.categories.size(); ++i)
        rows.append(categoryFields(i, c.categories[i]));
    m_out.rows(u"categories"_s, rows);
    return kOk;
}

QString Runner::diffText(const ConfigContent &content)
{
    const Changes c = m_document.changes(content);
    return unifiedDiffText(c.onDisk, c.toWrite, m_path + u"\t(on disk)"_s, m_path + u"\t(as saved)"_s);
}

int Runner::diff()
{
    Result<ConfigData> loaded = load();
    if (!loaded)
        return report(loaded.error());
    const ConfigContent content = contentAfterRead(std::move(*loaded));
    if (const Result<QByteArray> composed = composeConfig(content); !composed)
        return failed(u"the file cannot be saved as it stands: "_s + composed.reason());
    const QString text = diffText(content);
    m_out.object({{u"changed"_s, !text.isEmpty()}, {u"diff"_s, text}}, text);
    return kOk;
}

int run(const QStringList &arguments, const Environment &env, QTextStream &out, QTextStream &err)
{
    // Running out of memory fails the command like any other failure:
    // nothing is saved unless the save completes.
    try {
        const Result<Invocation> parsed = parseInvocation(arguments);
        int code = kOk;
        if (!parsed) {
            err << kProgram << ": " << parsed.reason() << "\nTry '" << kProgram
                << " --help' for more information.\n";
            code = kUsage;
        } else if (!parsed->answer.isEmpty()) {
            out << parsed->answer;
        } else {
            Runner r(env, *parsed, out, err);
            code = r.run();
            r.finish();
        }
        out.flush();
        err.flush();
        return code;
    } catch (const std::bad_alloc &) {
        err << kProgram << ": Cannot allocate memory\n";
        err.flush();
        return kFailed;
    }
}

} // namespace vesk::cli
