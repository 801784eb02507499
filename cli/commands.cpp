#include "cli/commands.h"

#include "config/categorylist.h"
#include "config/configfile.h"
#include "config/diskstamp.h"
#include "config/fileaccess.h"
#include "config/linediff.h"
#include "config/locationfile.h"
#include "config/safesave.h"
#include "config/valuecheck.h"

#include <QCommandLineParser>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <algorithm>
#include <new>
#include <optional>

#ifndef VESK_VERSION
#error "VESK_VERSION must give the program's version"
#endif

using namespace Qt::StringLiterals;

namespace vesk::cli
{
namespace
{

const QString kProgram = u"veskcfg"_s;

int editDistance(QStringView a, QStringView b)
{
    std::vector<int> row(size_t(b.size()) + 1);
    for (size_t j = 0; j < row.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 0; i < a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i) + 1;
        for (qsizetype j = 0; j < b.size(); ++j) {
            const int above = row[size_t(j) + 1];
            const bool same = a[i].toLower() == b[j].toLower();
            row[size_t(j) + 1] = std::min({above + 1, row[size_t(j)] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row.back();
}

// Up to three known keys a mistyped one was probably meant as: near in
// spelling, or holding it whole (a key typed without its "vesk_" prefix).
QStringList closestKeys(QStringView typed)
{
    std::vector<std::pair<int, QString>> near;
    const int allowed = std::max<int>(2, int(typed.size()) / 4);
    for (const Setting &s : catalogue::settings()) {
        const int d = editDistance(typed, s.key);
        if (d <= allowed || (typed.size() >= 3 && s.key.contains(typed, Qt::CaseInsensitive)))
            near.emplace_back(d, s.key);
    }
    std::stable_sort(near.begin(), near.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    QStringList out;
    for (size_t i = 0; i < near.size() && i < 3; ++i)
        out << near[i].second;
    return out;
}

bool sameContent(const ConfigContent &a, const ConfigContent &b)
{
    return a.values == b.values && a.categories == b.categories && a.misc == b.misc
           && a.encoding == b.encoding && a.bom == b.bom;
}

std::vector<QString> linesOf(QByteArrayView bytes)
{
    const DecodedText text = decodeText(bytes);
    std::vector<QString> lines;
    forEachLine(text.text, [&](QStringView line) { lines.push_back(line.toString()); });
    return lines;
}

QString jsonLine(const QJsonObject &o)
{
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

class Runner
{
public:
    Runner(const Environment &env, QTextStream &out, QTextStream &err) : m_env(env), m_out(out), m_err(err) {}

    int run(const QStringList &arguments);

private:
    int usage(const QString &message)
    {
        m_err << kProgram << ": " << message << "\nTry '" << kProgram << " --help' for more information.\n";
        return kUsage;
    }
    int failed(const QString &message)
    {
        m_err << kProgram << ": " << message << '\n';
        return kFailed;
    }

    bool resolvePath(int *code);
    // A file a change is to be made to is refused while it may be
    // incomplete; a reading only warns.
    std::optional<ConfigFile> load(int *code, bool changing = false);
    int slotArgument(const QString &key);
    int runCommand(QStringList args);

    int list();
    int get(const QString &key);
    int check();
    int explain(const QString &key);
    int explainAll();
    int categories();
    int diff();
    // Applies an edit to the file's content and saves when it changed it.
    int change(const std::function<int(ConfigContent &)> &edit);
    int set(const QStringList &args);
    int unset(const QStringList &args);
    int category(const QStringList &args);

    void printChanged(bool changed, const QString &diffText = {});

    const Environment &m_env;
    QTextStream &m_out;
    QTextStream &m_err;
    QString m_path;
    bool m_json = false;
    bool m_all = false;
    bool m_dryRun = false;
    bool m_force = false;
};

QString helpText(const QCommandLineParser &parser)
{
    // The program's name, not the path it was started by.
    QString text = parser.helpText();
    const qsizetype from = text.indexOf(u' ') + 1;
    const qsizetype to = text.indexOf(u" [options]"_s);
    if (from > 0 && to > from)
        text.replace(from, to - from, kProgram);
    return text + uR"(
Commands:
  list [--all]                    every known setting: key, caption, tab, kind,
                                  value; --all adds categories and other lines
  get KEY                         the value of a setting (exit 1 when not set)
  set KEY VALUE [KEY VALUE ...]   change settings and save once
  unset KEY [KEY ...]             remove settings and save once
  categories                      the categories, numbered as a save numbers them
  category add NAME IMAGE         add a category at its sorted place
  category delete NAME            delete the first category of that name
  category rename OLD NEW [IMAGE] rename a category, keeping or replacing its image
  check                           one line for each value that does not fit
  diff                            what saving the file as it stands would change
  explain [KEY]                   the help text of a setting; without KEY,
                                  every key with its caption, tab and kind

A command that changes the file saves it once, keeping the previous file as
a backup ("vesk.cfg" -> "veskold.cfg"), and prints "changed"; one that would
change nothing leaves both files alone and prints "unchanged". Put "--"
before a value that begins with "-". Exit codes: 0 success, 1 not found,
check failed or save failed, 2 wrong usage.
)"_s;
}

QString versionText()
{
    return kProgram + u' ' + QStringLiteral(VESK_VERSION) + uR"( (veskfrontend)
Copyright 2026 The veskfrontend developers.
License GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.
This is free software: you are free to change and redistribute it.
There is NO WARRANTY, to the extent permitted by law.
)"_s;
}

int Runner::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Reads and changes the configuration file of a vesk tracker."_s);
    const QCommandLineOption help({u"h"_s, u"help"_s}, u"Show this help and exit."_s);
    const QCommandLineOption version(u"version"_s, u"Show the version and licence and exit."_s);
    const QCommandLineOption file({u"f"_s, u"file"_s},
                                  u"The configuration file; by default the one the editor last opened."_s,
                                  u"PATH"_s);
    const QCommandLineOption json(u"json"_s, u"Print results as JSON."_s);
    const QCommandLineOption all(u"all"_s, u"list: add the categories and the count of other lines."_s);
    const QCommandLineOption dryRun({u"n"_s, u"dry-run"_s},
                                    u"Print the changes as a unified diff; save nothing."_s);
    const QCommandLineOption force(u"force"_s, u"set: write values that do not fit their setting's kind."_s);
    parser.addOptions({help, version, file, json, all, dryRun, force});
    parser.addPositionalArgument(u"command"_s, u"What to do (see Commands)."_s, u"COMMAND [ARGS...]"_s);
    if (!parser.parse(arguments))
        return usage(parser.errorText() + u" (put -- before a value that begins with -)"_s);
    if (parser.isSet(help)) {
        m_out << helpText(parser);
        return kOk;
    }
    if (parser.isSet(version)) {
        m_out << versionText();
        return kOk;
    }
    m_json = parser.isSet(json);
    m_all = parser.isSet(all);
    m_dryRun = parser.isSet(dryRun);
    m_force = parser.isSet(force);
    if (parser.values(file).size() > 1 || (parser.isSet(file) && parser.value(file).isEmpty()))
        return usage(u"--file takes one PATH"_s);
    m_path = parser.value(file);

    return runCommand(parser.positionalArguments());
}

int Runner::runCommand(QStringList args)
{
    if (args.isEmpty())
        return usage(u"no command given"_s);
    const QString command = args.takeFirst();
    const bool changes = command == u"set" || command == u"unset" || command == u"category";
    if (m_all && command != u"list")
        return usage(u"--all goes with list only"_s);
    if ((m_dryRun || m_force) && !changes)
        return usage(u"--dry-run and --force go with set, unset and category only"_s);
    if (m_force && command != u"set")
        return usage(u"--force goes with set only"_s);
    auto count = [&](qsizetype n) {
        return args.size() == n
                   ? QString()
                   : u"%1 takes %2 argument%3"_s.arg(command).arg(n).arg(n == 1 ? u""_s : u"s"_s);
    };

    if (command == u"list" || command == u"check" || command == u"categories" || command == u"diff") {
        if (const QString wrong = count(0); !wrong.isEmpty())
            return usage(wrong);
    } else if (command == u"explain" && args.isEmpty()) {
        return explainAll(); // needs no file
    } else if (command == u"get" || command == u"explain") {
        if (const QString wrong = count(1); !wrong.isEmpty())
            return usage(wrong);
        if (slotArgument(args[0]) < 0)
            return kUsage;
        if (command == u"explain")
            return explain(args[0]); // needs no file
    } else if (!changes) {
        return usage(u"unknown command \""_s + command + u'"');
    }
    int code = kOk;
    if (!resolvePath(&code))
        return code;
    if (command == u"list")
        return list();
    if (command == u"get")
        return get(args[0]);
    if (command == u"check")
        return check();
    if (command == u"categories")
        return categories();
    if (command == u"diff")
        return diff();
    if (command == u"set")
        return set(args);
    if (command == u"unset")
        return unset(args);
    return category(args);
}

bool Runner::resolvePath(int *code)
{
    if (!m_path.isEmpty()) {
        m_path = QDir::current().absoluteFilePath(m_path);
        return true;
    }
    const QString folder = m_env.dataFolder ? m_env.dataFolder() : QString();
    const QString ini = folder + u'/' + QString::fromLatin1(kLocationFileName);
    const std::optional<QString> recorded = readLocationFile(m_env.files, ini);
    if (!recorded || recorded->isEmpty()) {
        *code = failed(u"no configuration file given, and none recorded in "_s + ini
                       + u" (the editor records the file it opens there); name one with --file PATH"_s);
        return false;
    }
    // A relative path is taken from the location file's folder, as the
    // editor takes it.
    m_path = QDir::isRelativePath(*recorded) ? QDir(folder).absoluteFilePath(*recorded) : *recorded;
    return true;
}

std::optional<ConfigFile> Runner::load(int *code, bool changing)
{
    Result<ConfigFile> loaded = readConfigFile(m_env.files, m_path);
    if (!loaded) {
        *code = failed(u"cannot read "_s + m_path + u": "_s + loaded.reason());
        return std::nullopt;
    }
    if (loaded->torn) {
        const QString about =
            m_path
            + u" may be incomplete: a rewrite of it in place was cut short (a crash or a power cut); its "
              "backup "_s
            + backupPathFor(m_path)
            + u" holds the version before that save. Open it in veskfrontend, which offers the backup, or "
              u"put "
              "the backup back with: cp "_s
            + backupPathFor(m_path) + u' ' + m_path;
        if (changing) {
            *code = failed(about + u"; nothing was changed"_s);
            return std::nullopt;
        }
        m_err << kProgram << ": warning: " << about << '\n';
    }
    return std::move(*loaded);
}

int Runner::slotArgument(const QString &key)
{
    const int slot = catalogue::slotOf(key);
    if (slot >= 0)
        return slot;
    const QStringList near = closestKeys(key);
    usage(u"unknown setting \""_s + key + u'"'
          + (near.isEmpty() ? u"; veskcfg list shows every setting"_s
                            : u"; did you mean "_s + near.join(u", "_s) + u'?'));
    return -1;
}

int Runner::list()
{
    int code = kOk;
    auto loaded = load(&code);
    if (!loaded)
        return code;
    const ConfigContent c = contentAfterRead(std::move(loaded->data));
    const qsizetype others = c.misc.count(u'\n');
    if (m_json) {
        QJsonArray settings;
        for (const Setting &s : catalogue::settings())
            settings.append(QJsonObject{{u"key"_s, s.key},
                                        {u"caption"_s, s.caption},
                                        {u"tab"_s, catalogue::tabCaption(catalogue::tabOf(s.slot))},
                                        {u"kind"_s, ruleText(s.slot)},
                                        {u"value"_s, c.values[size_t(s.slot)]}});
        QJsonObject o{{u"file"_s, m_path}, {u"settings"_s, settings}};
        if (m_all) {
            QJsonArray cats;
            for (size_t i = 0; i < c.categories.size(); ++i)
                cats.append(QJsonObject{{u"number"_s, qint64(i + 1)},
                                        {u"name"_s, c.categories[i].name},
                                        {u"image"_s, c.categories[i].image}});
            o[u"categories"_s] = cats;
            o[u"otherLines"_s] = qint64(others);
        }
        m_out << jsonLine(o) << '\n';
        return kOk;
    }
    for (const Setting &s : catalogue::settings())
        m_out << s.key << '\t' << s.caption << '\t' << catalogue::tabCaption(catalogue::tabOf(s.slot)) << '\t'
              << ruleText(s.slot) << '\t' << c.values[size_t(s.slot)] << '\n';
    if (m_all) {
        m_out << "# categories: " << c.categories.size() << '\n';
        for (size_t i = 0; i < c.categories.size(); ++i)
            m_out << i + 1 << '\t' << c.categories[i].name << '\t' << c.categories[i].image << '\n';
        m_out << "# other lines: " << others << '\n';
    }
    return kOk;
}

int Runner::get(const QString &key)
{
    int code = kOk;
    auto loaded = load(&code);
    if (!loaded)
        return code;
    // The window shows an absent setting and an empty one alike, and a
    // save leaves both out.
    const QString value = loaded->data.values[size_t(catalogue::slotOf(key))].value_or(QString());
    if (m_json)
        m_out << jsonLine({{u"key"_s, key}, {u"value"_s, value.isEmpty() ? QJsonValue() : QJsonValue(value)}})
              << '\n';
    else if (!value.isEmpty())
        m_out << value << '\n';
    if (value.isEmpty())
        return failed(key + u" is not set in "_s + m_path);
    return kOk;
}

int Runner::check()
{
    int code = kOk;
    auto loaded = load(&code);
    if (!loaded)
        return code;
    QJsonArray problems;
    for (const Setting &s : catalogue::settings()) {
        const QString value = loaded->data.values[size_t(s.slot)].value_or(QString());
        const QString problem = valueProblem(s.slot, value);
        if (problem.isEmpty())
            continue;
        if (m_json)
            problems.append(QJsonObject{{u"key"_s, s.key}, {u"value"_s, value}, {u"problem"_s, problem}});
        else
            m_out << s.key << ": \"" << value << "\" " << problem << '\n';
        code = kFailed;
    }
    if (m_json)
        m_out << jsonLine({{u"problems"_s, problems}}) << '\n';
    return code;
}

int Runner::explain(const QString &key)
{
    const Setting *s = catalogue::setting(catalogue::slotOf(key));
    if (m_json) {
        m_out << jsonLine({{u"key"_s, s->key},
                           {u"caption"_s, s->caption},
                           {u"tab"_s, catalogue::tabCaption(catalogue::tabOf(s->slot))},
                           {u"kind"_s, ruleText(s->slot)},
                           {u"help"_s, s->help.trimmed()}})
              << '\n';
        return kOk;
    }
    m_out << s->key << " (" << s->caption << ", " << catalogue::tabCaption(catalogue::tabOf(s->slot))
          << " tab; " << ruleText(s->slot) << ")\n"
          << s->help.trimmed() << '\n';
    return kOk;
}

int Runner::explainAll()
{
    QJsonArray keys;
    for (const Setting &s : catalogue::settings()) {
        if (m_json)
            keys.append(QJsonObject{{u"key"_s, s.key},
                                    {u"caption"_s, s.caption},
                                    {u"tab"_s, catalogue::tabCaption(catalogue::tabOf(s.slot))},
                                    {u"kind"_s, ruleText(s.slot)}});
        else
            m_out << s.key << '\t' << s.caption << '\t' << catalogue::tabCaption(catalogue::tabOf(s.slot))
                  << '\t' << ruleText(s.slot) << '\n';
    }
    if (m_json)
        m_out << jsonLine({{u"settings"_s, keys}}) << '\n';
    return kOk;
}

int Runner::categories()
{
    int code = kOk;
    auto loaded = load(&code);
    if (!loaded)
        return code;
    const ConfigContent c = contentAfterRead(std::move(loaded->data));
    QJsonArray cats;
    for (size_t i = 0; i < c.categories.size(); ++i) {
        if (m_json)
            cats.append(QJsonObject{{u"number"_s, qint64(i + 1)},
                                    {u"name"_s, c.categories[i].name},
                                    {u"image"_s, c.categories[i].image}});
        else
            m_out << i + 1 << '\t' << c.categories[i].name << '\t' << c.categories[i].image << '\n';
    }
    if (m_json)
        m_out << jsonLine({{u"categories"_s, cats}}) << '\n';
    return kOk;
}

int Runner::diff()
{
    int code = kOk;
    auto loaded = load(&code);
    if (!loaded)
        return code;
    const Result<QByteArray> composed = composeConfig(contentAfterRead(std::move(loaded->data)));
    if (!composed)
        return failed(u"the file cannot be saved as it stands: "_s + composed.reason());
    const ReadResult disk = m_env.files.read(m_path, kMaxConfigBytes);
    if (!disk.ok())
        return failed(u"cannot read "_s + m_path + u": "_s + disk.reason());
    const QString text = unifiedDiffText(linesOf(disk->bytes), linesOf(*composed), m_path + u"\t(on disk)"_s,
                                         m_path + u"\t(as saved)"_s);
    if (m_json)
        m_out << jsonLine({{u"changed"_s, !text.isEmpty()}, {u"diff"_s, text}}) << '\n';
    else
        m_out << text;
    return kOk;
}

void Runner::printChanged(bool changed, const QString &diffText)
{
    if (m_json) {
        QJsonObject o{{u"changed"_s, changed}};
        if (m_dryRun)
            o[u"diff"_s] = diffText;
        m_out << jsonLine(o) << '\n';
    } else if (m_dryRun && changed) {
        m_out << diffText;
    } else {
        m_out << (changed ? "changed\n" : "unchanged\n");
    }
}

int Runner::change(const std::function<int(ConfigContent &)> &edit)
{
    // From the read to the save no other copy of the editor saves the file,
    // so that no change of theirs is lost, nor this one refused.
    const Result<FolderLock> held = lockForSave(m_env.files, m_path);
    if (!held.ok() && held.code() == EWOULDBLOCK)
        return failed(u"cannot save "_s + m_path + u": "_s + held.reason());
    int code = kOk;
    auto loaded = load(&code, true);
    if (!loaded)
        return code;
    const ConfigContent before = contentAfterRead(std::move(loaded->data));
    ConfigContent after = before;
    if (const int refused = edit(after); refused != kOk)
        return refused;
    // Nothing to do: the file and its backup stay exactly as they are.
    if (sameContent(before, after)) {
        printChanged(false);
        return kOk;
    }
    const Result<QByteArray> composed = composeConfig(after);
    if (!composed)
        return failed(u"cannot save "_s + m_path + u": "_s + composed.reason());
    if (m_dryRun) {
        const ReadResult disk = m_env.files.read(m_path, kMaxConfigBytes);
        if (!disk.ok())
            return failed(u"cannot read "_s + m_path + u": "_s + disk.reason());
        printChanged(true, unifiedDiffText(linesOf(disk->bytes), linesOf(*composed),
                                           m_path + u"\t(on disk)"_s, m_path + u"\t(as saved)"_s));
        return kOk;
    }
    const SaveOutcome saved =
        saveWithBackup(m_env.files, m_path, backupPathFor(m_path), *composed, kMaxConfigBytes, loaded->stamp);
    switch (saved.state) {
    case SaveState::Saved: printChanged(true); return kOk;
    case SaveState::Changed:
        // Nobody to ask whether another program's edits may go: refuse.
        return failed(
            m_path + u" changed on disk while it was being read; nothing was saved, run the command again"_s);
    case SaveState::Unconfirmed:
        return failed(m_path + u" was saved, but the system could not confirm that it reached the disk ("_s
                      + saved.reason() + u"); a crash now could bring back the previous file"_s);
    case SaveState::Damaged: return failed(u"cannot save "_s + m_path + u": "_s + saved.reason());
    case SaveState::Untouched: break;
    }
    return failed(u"cannot save "_s + m_path + u": "_s + saved.reason() + u"; the file was left as it was"_s);
}

int Runner::set(const QStringList &args)
{
    if (args.isEmpty() || args.size() % 2 != 0)
        return usage(u"set takes pairs of KEY VALUE"_s);
    std::vector<std::pair<int, QString>> edits;
    for (qsizetype i = 0; i < args.size(); i += 2) {
        const int slot = slotArgument(args[i]);
        if (slot < 0)
            return kUsage;
        const QString &value = args[i + 1];
        if (value.contains(u'\r') || value.contains(u'\n'))
            return usage(u"the value for "_s + args[i]
                         + u" holds a line break, which would make a line of its own in the file"_s);
        if (const QString problem = valueProblem(slot, value); !problem.isEmpty() && !m_force)
            return usage(args[i] + u": \""_s + value + u"\" "_s + problem + u" (--force writes it anyway)"_s);
        edits.emplace_back(slot, value);
    }
    return change([&](ConfigContent &c) {
        for (const auto &[slot, value] : edits)
            c.values[size_t(slot)] = value;
        return kOk;
    });
}

int Runner::unset(const QStringList &args)
{
    if (args.isEmpty())
        return usage(u"unset takes at least one KEY"_s);
    std::vector<int> chosen;
    for (const QString &key : args) {
        const int slot = slotArgument(key);
        if (slot < 0)
            return kUsage;
        chosen.push_back(slot);
    }
    return change([&](ConfigContent &c) {
        for (int slot : chosen)
            c.values[size_t(slot)].clear();
        return kOk;
    });
}

int Runner::category(const QStringList &args)
{
    const QString action = args.value(0);
    const qsizetype n = args.size() - 1;
    const bool fits = (action == u"add" && n == 2) || (action == u"delete" && n == 1)
                      || (action == u"rename" && (n == 2 || n == 3));
    if (!fits)
        return usage(
            u"use: category add NAME IMAGE | category delete NAME | category rename OLD NEW [IMAGE]"_s);
    const QString &name = args[1];
    if (action == u"add") {
        // The window's dialog takes neither part empty.
        if (name.isEmpty() || args[2].isEmpty())
            return usage(u"a category needs a name and an image file"_s);
        if (const QString problem = Category{name, args[2]}.problem(); !problem.isEmpty())
            return usage(problem);
    } else if (action == u"rename") {
        if (const QString problem = Category{args[2], args.value(3)}.problem(); !problem.isEmpty())
            return usage(problem);
    }
    return change([&](ConfigContent &c) {
        // The window's list keeps the order and numbering rules: an added
        // item goes to its sorted place, a renamed one keeps its row.
        CategoryList list;
        list.addMany(std::move(c.categories));
        int row = -1;
        if (action != u"add") {
            for (int r = 0; r < list.count() && row < 0; ++r)
                if (list.at(r).name == name)
                    row = r;
            if (row < 0) {
                c.categories = list.items();
                return failed(u"no category named \""_s + name + u"\" in "_s + m_path);
            }
        }
        if (action == u"add")
            list.add({name, args[2]});
        else if (action == u"delete")
            list.remove(row);
        else
            list.replace(row, {args[2], n == 3 ? args[3] : list.at(row).image});
        c.categories = list.items();
        return kOk;
    });
}

} // namespace

int run(const QStringList &arguments, const Environment &env, QTextStream &out, QTextStream &err)
{
    // Running out of memory fails the command like any other failure:
    // nothing is saved unless the save completes.
    try {
        Runner r(env, out, err);
        const int code = r.run(arguments);
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
