#include "window/fileprompts.h"

#include "document/configdocument.h"
#include "document/location.h"
#include "toolkit/toolkit.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScopeGuard>

#include <cerrno>
#include <new>

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

// A file whose rewrite was cut short: the user may see its backup instead.
void offerBackup(Toolkit &toolkit, ConfigDocument &document, ConfigData &data)
{
    const QString backup = document.backupPath();
    const Answer a = toolkit.messageBox(
        u"The cfg file at "_s + document.path()
            + u" may be incomplete: the editor was rewriting it when it stopped (a crash or a power cut).  "
              "Its backup "_s
            + backup
            + u" holds the version before that save.\n\nShow the backup instead?  Nothing changes on disk "
              "until you save, and saving keeps the backup as it is."_s,
        Buttons::YesNo, Icon::Critical, u"Incomplete cfg file"_s, Answer::Yes);
    // Withdrawing the question shows the complete version.
    if (a == Answer::No)
        return;
    Result<ConfigData> older = document.backup();
    if (!older) {
        toolkit.messageBox(u"Could not read the backup "_s + backup + u"; the cfg file is shown as it is."_s
                               + u"\n\nReason: "_s + older.reason(),
                           Buttons::Ok, Icon::Critical, u"ERROR"_s);
        return;
    }
    data = std::move(*older);
}

// Runs step (a read or a save) with the busy cursor. It may wait: for
// another copy of the editor, or for the machine the file is on; after a
// moment the user sees what for, and may stop waiting.
template <class Step> auto busy(Toolkit &toolkit, ConfigDocument &document, const QString &what, Step &&step)
{
    document.setWaiter([&toolkit, label = u"Waiting for "_s + what + u"..."_s](qint64 waited) {
        return toolkit.keepWaiting(label, waited);
    });
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([&] {
        QGuiApplication::restoreOverrideCursor();
        toolkit.doneWaiting();
        document.setWaiter({});
    });
    return step();
}

} // namespace

QString recordedConfigPath(Toolkit &toolkit)
{
    // A relative path means the same file wherever the editor was started
    // from: it is taken from the location file's folder.
    if (auto path = ConfigLocation(toolkit.files(), toolkit.dataFolder()).recorded())
        return *path;
    toolkit.messageBox(u"Could not find ini file so creating one on the fly"_s, Buttons::Ok, Icon::None,
                       u"INI File Not Found"_s);
    QString defaultPath = ConfigLocation(toolkit.files(), toolkit.writableDataFolder()).defaultConfig();
    recordConfigPath(toolkit, defaultPath);
    return defaultPath;
}

void recordConfigPath(Toolkit &toolkit, const QString &path)
{
    const ConfigLocation location(toolkit.files(), toolkit.writableDataFolder());
    const FileResult written = location.record(path);
    if (written)
        return;
    toolkit.messageBox(u"Could not record the cfg file's location in "_s + location.locationFile() + u": "_s
                           + written.reason() + u". The editor goes on with "_s + path + u'.',
                       Buttons::Ok, Icon::Critical, u"ERROR"_s);
}

std::optional<ConfigData> readConfig(Toolkit &toolkit, ConfigDocument &document, const QString &path)
{
    Result<ConfigData> loaded = busy(toolkit, document, path, [&] { return document.open(path); });
    if (!loaded) {
        toolkit.messageBox(
            u"Could not find the cfg file at "_s + path
                + u" or that file contains some type o really bad errors.  Please give me a working cfg file"_s
                + u"\n\nReason: "_s + loaded.reason(),
            Buttons::Ok, Icon::Critical, u"ERROR"_s);
        return std::nullopt;
    }
    if (document.torn())
        offerBackup(toolkit, document, *loaded);
    return std::move(*loaded);
}

bool saveConfig(Toolkit &toolkit, ConfigDocument &document, const std::function<ConfigContent()> &content)
{
    auto failed = [&](const QString &reason) {
        toolkit.messageBox(u"Could not save the cfg file at "_s + document.path() + u": "_s + reason,
                           Buttons::Ok, Icon::Critical, u"ERROR"_s);
        return false;
    };
    // A save that runs out of memory fails like any other: the editor
    // stays open with the edits, and the file on disk is untouched.
    try {
        const ConfigContent now = content();
        const QString where = document.shortName();
        SaveOutcome saved = busy(toolkit, document, where, [&] { return document.save(now); });
        // Another program's edits are overwritten only when the user says
        // so, and only the version the user was told about.
        while (saved.state == SaveState::Changed) {
            if (toolkit.messageBox(
                    u"The cfg file at "_s + document.path()
                        + u" was changed by another program since it was loaded.  Overwrite it?"_s,
                    Buttons::YesNo, Icon::None, u"File changed"_s, Answer::No)
                != Answer::Yes)
                return false;
            saved = busy(toolkit, document, where, [&] { return document.overwrite(now); });
        }
        // A file this account may not write: the administrator may.
        const bool denied = saved.failure.code == EACCES || saved.failure.code == EPERM;
        if (saved.state == SaveState::Untouched && denied && document.canElevate()
            && toolkit.messageBox(u"This account may not save the cfg file at "_s + document.path() + u" ("_s
                                      + saved.reason() + u").  Save it as administrator?"_s,
                                  Buttons::YesNo, Icon::None, u"Save as administrator"_s, Answer::No)
                   == Answer::Yes)
            saved = busy(toolkit, document, where, [&] { return document.saveElevated(now); });
        if (saved.state == SaveState::Changed)
            return failed(saved.reason());
        if (saved.state == SaveState::Unconfirmed)
            return failed(u"the new file is in place, but the system could not confirm that it reached the "
                          "disk ("_s
                          + saved.reason()
                          + u"); a crash now could bring back the previous file, so save again"_s);
        if (!saved.ok())
            return failed(saved.reason());
    } catch (const std::bad_alloc &) {
        return failed(u"Cannot allocate memory"_s);
    }
    return true;
}

} // namespace vesk
