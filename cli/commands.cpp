#include "cli/commands.h"

#include "cli/agent.h"
#include "cli/apply.h"
#include "cli/invocation.h"
#include "cli/printer.h"
#include "config/categorylist.h"
#include "config/linediff.h"
#include "config/valuecheck.h"
#include "document/configdocument.h"
#include "document/location.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTextStream>

#include <functional>
#include <new>

using namespace Qt::StringLiterals;

namespace vesk::cli
{
namespace
{

// A change to the content as read; its failure stops the command.
using Edit = std::function<Result<void>(ConfigContent &)>;

QString tabOf(const Setting &s)
{
    return catalogue::pageCaption(s.page);
}

Printer::Fields categoryFields(size_t index, const Category &c)
{
    return {{u"number"_s, qint64(index + 1)}, {u"name"_s, c.name}, {u"image"_s, c.image}};
}

class Runner
{
public:
    Runner(const Environment &env, const Invocation &in, QTextStream &out, QTextStream &err)
        : m_env(env), m_in(in), m_out(out, in.json), m_err(err), m_document(env.files)
    {
    }

    int run();
    void finish() { m_out.finish(); }

private:
    // The exit code a failure stands for, its message on standard error.
    int report(const Failure &why)
    {
        m_err << kProgram << ": " << why.reason << '\n';
        if (why.fault != Fault::BadValue)
            return kFailed;
        m_err << "Try '" << kProgram << " --help' for more information.\n";
        return kUsage;
    }
    int failed(const QString &message) { return report(Failure::of(Fault::Refused, message)); }

    Result<QString> configPath() const;
    // A file a change is to be made to is refused while it may be
    // incomplete; a reading only warns.
    Result<ConfigData> load(bool changing = false);

    int list();
    int get(const QString &key);
    int check();
    int explain(const QString &key);
    int explainAll();
    int categories();
    int diff();
    // Applies an edit to the file's content and saves when it changed it.
    // told: what the command tells of its change, in JSON.
    int change(const Edit &edit, const std::function<Printer::Fields()> &told = {});
    int apply();
    int set();
    int unset();
    int category();
    QString diffText(const ConfigContent &content);

    const Environment &m_env;
    const Invocation &m_in;
    Printer m_out;
    QTextStream &m_err;
    ConfigDocument m_document;
    QString m_path;
};

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

int Runner::change(const Edit &edit, const std::function<Printer::Fields()> &told)
{
    // From the read to the save no other copy of the editor saves the file,
    // so that no change of theirs is lost, nor this one refused.
    const Result<FolderLock> held = m_document.hold(m_path);
    if (!held.ok() && held.fault() == Fault::Busy)
        return report(Failure::of(Fault::Busy, u"cannot save "_s + m_path + u": "_s + held.reason()));
    Result<ConfigData> loaded = load(true);
    if (!loaded)
        return report(loaded.error());
    const ConfigContent before = contentAfterRead(std::move(*loaded));
    ConfigContent after = before;
    if (const Result<void> edited = edit(after); !edited)
        return report(edited.error());
    // What the command tells of its change, in JSON; apply also the diff.
    Printer::Fields fields = told ? told() : Printer::Fields();
    const bool changed = before != after;
    fields.prepend({u"changed"_s, changed});
    if (m_in.dryRun || told)
        fields.append({u"diff"_s, changed ? diffText(after) : QString()});
    // Nothing to do: the file and its backup stay exactly as they are.
    if (!changed) {
        m_out.object(fields, u"unchanged\n"_s);
        return kOk;
    }
    if (const Result<QByteArray> composed = composeConfig(after); !composed)
        return failed(u"cannot save "_s + m_path + u": "_s + composed.reason());
    if (m_in.dryRun) {
        m_out.object(fields, fields.last().second.toString());
        return kOk;
    }
    const SaveOutcome saved = m_document.save(after, !m_in.noBackup);
    switch (saved.state) {
    case SaveState::Saved: m_out.object(fields, u"changed\n"_s); return kOk;
    case SaveState::Changed:
        // Nobody to ask whether another program's edits may go: refuse.
        return failed(
            m_path + u" changed on disk while it was being read; nothing was saved, run the command again"_s);
    case SaveState::Unconfirmed:
        return failed(m_path + u" was saved, but the system could not confirm that it reached the disk ("_s
                      + saved.reason() + u"); a crash now could bring back the previous file"_s);
    case SaveState::Damaged:
    case SaveState::Unknown: return failed(u"cannot save "_s + m_path + u": "_s + saved.reason());
    case SaveState::Untouched: break;
    }
    return failed(u"cannot save "_s + m_path + u": "_s + saved.reason() + u"; the file was left as it was"_s);
}

int Runner::apply()
{
    const QString &from = m_in.args[0];
    QFile in;
    const bool opened = from == u"-" ? in.open(stdin, QIODevice::ReadOnly)
                                     : (in.setFileName(from), in.open(QIODevice::ReadOnly));
    if (!opened)
        return failed(u"cannot read "_s + from + u": "_s + in.errorString());
    // A wanted state is a few kilobytes; this much is no document.
    constexpr qint64 kMaxDocument = 16 * 1024 * 1024;
    const QByteArray json = in.read(kMaxDocument + 1);
    if (json.size() > kMaxDocument)
        return report(Failure::of(Fault::BadValue, u"the document is larger than 16 MiB"_s));
    const Result<WantedState> wanted = parseWantedState(json, m_in.force);
    if (!wanted)
        return report(wanted.error());
    Applied done;
    QStringList problems;
    return change(
        [&](ConfigContent &c) {
            done = applyWantedState(*wanted, c);
            for (const Setting &s : catalogue::settings())
                if (const Result<void> fits = checkValue(s.slot, c.values[size_t(s.slot)]); !fits)
                    problems << s.key + u": "_s + fits.reason();
            return Result<void>();
        },
        [&] {
            return Printer::Fields{
                {u"settings"_s, QJsonArray::fromStringList(done.settings)},
                {u"categoriesAdded"_s, QJsonArray::fromStringList(done.categoriesAdded)},
                {u"categoriesChanged"_s, QJsonArray::fromStringList(done.categoriesChanged)},
                {u"categoriesRemoved"_s, QJsonArray::fromStringList(done.categoriesRemoved)},
                {u"problems"_s, QJsonArray::fromStringList(problems)}};
        });
}

int Runner::set()
{
    const QStringList &args = m_in.args;
    if (args.isEmpty() || args.size() % 2 != 0)
        return report(Failure::of(Fault::BadValue, u"set takes pairs of KEY VALUE"_s));
    std::vector<std::pair<int, QString>> edits;
    for (qsizetype i = 0; i < args.size(); i += 2) {
        const Result<int> slot = slotArgument(args[i]);
        if (!slot)
            return report(slot.error());
        const QString &value = args[i + 1];
        if (value.contains(u'\r') || value.contains(u'\n'))
            return report(
                Failure::of(Fault::BadValue, u"the value for "_s + args[i]
                                                 + u" holds a line break, which would make a line of "
                                                   "its own in the file"_s));
        if (const Result<void> fits = checkValue(*slot, value); !fits && !m_in.force)
            return report(Failure::of(Fault::BadValue, args[i] + u": \""_s + value + u"\" "_s + fits.reason()
                                                           + u" (--force writes it anyway)"_s));
        edits.emplace_back(*slot, value);
    }
    return change([&](ConfigContent &c) {
        for (const auto &[slot, value] : edits)
            c.values[size_t(slot)] = value;
        return Result<void>();
    });
}

int Runner::unset()
{
    if (m_in.args.isEmpty())
        return report(Failure::of(Fault::BadValue, u"unset takes at least one KEY"_s));
    std::vector<int> chosen;
    for (const QString &key : m_in.args) {
        const Result<int> slot = slotArgument(key);
        if (!slot)
            return report(slot.error());
        chosen.push_back(*slot);
    }
    return change([&](ConfigContent &c) {
        for (int slot : chosen)
            c.values[size_t(slot)].clear();
        return Result<void>();
    });
}

int Runner::category()
{
    const QStringList &args = m_in.args;
    const QString action = args.value(0);
    const qsizetype n = args.size() - 1;
    const bool fits = (action == u"add" && n == 2) || (action == u"delete" && n == 1)
                      || (action == u"rename" && (n == 2 || n == 3));
    if (!fits)
        return report(Failure::of(Fault::BadValue, u"use: category add NAME IMAGE | category delete NAME | "
                                                   "category rename OLD NEW [IMAGE]"_s));
    const QString &name = args[1];
    // The window's dialog takes neither part empty.
    if (action == u"add" && (name.isEmpty() || args[2].isEmpty()))
        return report(Failure::of(Fault::BadValue, u"a category needs a name and an image file"_s));
    if (action != u"delete")
        if (const Result<void> ok =
                Category{args[action == u"add" ? 1 : 2], args.value(action == u"add" ? 2 : 3)}.check();
            !ok)
            return report(ok.error());
    return change([&](ConfigContent &c) -> Result<void> {
        // The window's list keeps the order and numbering rules: an added
        // item goes to its sorted place, a renamed one keeps its row.
        CategoryList list;
        list.addMany(std::move(c.categories));
        int row = -1;
        for (int r = 0; action != u"add" && r < list.count() && row < 0; ++r)
            if (list.at(r).name == name)
                row = r;
        if (action != u"add" && row < 0)
            return Failure::of(Fault::Refused, u"no category named \""_s + name + u"\" in "_s + m_path);
        if (action == u"add")
            list.add({name, args[2]});
        else if (action == u"delete")
            list.remove(row);
        else
            list.replace(row, {args[2], n == 3 ? args[3] : list.at(row).image});
        c.categories = list.items();
        return {};
    });
}

} // namespace

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
