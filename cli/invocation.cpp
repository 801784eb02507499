#include "cli/invocation.h"

#include "config/catalogue.h"

#include <QCommandLineParser>

#include <algorithm>
#include <vector>

#ifndef VESK_VERSION
#error "VESK_VERSION must give the program's version"
#endif

using namespace Qt::StringLiterals;

namespace vesk::cli
{
namespace
{

Failure wrong(QString why)
{
    return Failure::of(Fault::BadValue, std::move(why));
}

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
  apply FILE|-                    bring the file to the state a JSON document
                                  describes (settings, categories), saving once
  check                           one line for each value that does not fit
  diff                            what saving the file as it stands would change
  explain [KEY]                   the help text of a setting; without KEY,
                                  every key with its caption, tab and kind
  agent --file PATH               serve the editor this file over standard
                                  input and output (it runs this over ssh)

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

// Whether the options and the number of arguments suit the command.
Result<void> checkShape(const Invocation &in)
{
    const QString &c = in.command;
    if (in.all && c != u"list")
        return wrong(u"--all goes with list only"_s);
    if ((in.dryRun || in.force || in.noBackup) && !in.changes())
        return wrong(u"--dry-run, --force and --no-backup go with set, unset, category and apply only"_s);
    if (in.force && c != u"set" && c != u"apply")
        return wrong(u"--force goes with set and apply only"_s);
    auto count = [&](qsizetype n) -> Result<void> {
        if (in.args.size() == n)
            return {};
        return wrong(u"%1 takes %2 argument%3"_s.arg(c).arg(n).arg(n == 1 ? u""_s : u"s"_s));
    };
    if (c == u"list" || c == u"check" || c == u"categories" || c == u"diff")
        return count(0);
    if (c == u"get" || c == u"apply" || (c == u"explain" && !in.args.isEmpty()))
        return count(1);
    if (c == u"agent") {
        if (in.file.isEmpty())
            return wrong(u"agent needs --file PATH"_s);
        return count(0);
    }
    if (c == u"explain" || in.changes())
        return {};
    return wrong(u"unknown command \""_s + c + u'"');
}

} // namespace

bool Invocation::changes() const
{
    return command == u"set" || command == u"unset" || command == u"category" || command == u"apply";
}

Result<Invocation> parseInvocation(const QStringList &arguments)
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
    const QCommandLineOption force(u"force"_s,
                                   u"set, apply: write values that do not fit their setting's kind."_s);
    const QCommandLineOption noBackup(u"no-backup"_s, u"Leave the backup as it is when saving."_s);
    parser.addOptions({help, version, file, json, all, dryRun, force, noBackup});
    parser.addPositionalArgument(u"command"_s, u"What to do (see Commands)."_s, u"COMMAND [ARGS...]"_s);
    if (!parser.parse(arguments))
        return wrong(parser.errorText() + u" (put -- before a value that begins with -)"_s);
    Invocation in;
    if (parser.isSet(help) || parser.isSet(version)) {
        in.answer = parser.isSet(help) ? helpText(parser) : versionText();
        return in;
    }
    in.json = parser.isSet(json);
    in.all = parser.isSet(all);
    in.dryRun = parser.isSet(dryRun);
    in.force = parser.isSet(force);
    in.noBackup = parser.isSet(noBackup);
    if (parser.values(file).size() > 1 || (parser.isSet(file) && parser.value(file).isEmpty()))
        return wrong(u"--file takes one PATH"_s);
    in.file = parser.value(file);
    in.args = parser.positionalArguments();
    if (in.args.isEmpty())
        return wrong(u"no command given"_s);
    in.command = in.args.takeFirst();
    if (Result<void> shape = checkShape(in); !shape)
        return shape.error();
    return in;
}

Result<int> slotArgument(const QString &key)
{
    const int slot = catalogue::slotOf(key);
    if (slot >= 0)
        return slot;
    const QStringList near = closestKeys(key);
    return wrong(u"unknown setting \""_s + key + u'"'
                 + (near.isEmpty() ? u"; veskcfg list shows every setting"_s
                                   : u"; did you mean "_s + near.join(u", "_s) + u'?'));
}

} // namespace vesk::cli
