#include "cli/apply.h"
#include "cli/runner.h"
#include "config/categorylist.h"
#include "config/valuecheck.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

namespace vesk::cli
{

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
    const Result<WantedState> wanted = readWantedState(m_in.args[0], m_in.force);
    if (!wanted)
        return report(wanted.error());
    Applied done;
    return change(
        [&](ConfigContent &c) {
            done = applyWantedState(*wanted, c);
            return Result<void>();
        },
        [&] {
            auto list = [](const QStringList &l) { return QJsonArray::fromStringList(l); };
            return Printer::Fields{{u"settings"_s, list(done.settings)},
                                   {u"categoriesAdded"_s, list(done.categoriesAdded)},
                                   {u"categoriesChanged"_s, list(done.categoriesChanged)},
                                   {u"categoriesRemoved"_s, list(done.categoriesRemoved)},
                                   {u"problems"_s, list(done.problems)}};
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

} // namespace vesk::cli
