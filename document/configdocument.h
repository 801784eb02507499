#pragma once

#include "base/result.h"
#include "config/configreader.h"
#include "config/configwriter.h"
#include "document/configplace.h"
#include "store/configstore.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace vesk
{

class FileAccess;

// What saving some content would change, line by line.
struct Changes {
    std::vector<QString> onDisk;  // the file's lines now; none where it cannot be read
    std::vector<QString> toWrite; // the lines a save would write
    // The file is there but could not be read: it is compared as empty.
    std::optional<Failure> unreadable;
    // A save would stop for this.
    std::optional<Failure> unsaveable;
    // The lines are the same, but a save would rewrite how they end.
    bool lineEndsOnly = false;
    // Another program changed the file since it was read or saved here.
    bool changedElsewhere = false;
};

// One configuration file as the window and veskcfg see it: where it is,
// what it held when read, its stamp, and its save. Both call it; neither
// composes, stamps or saves itself.
class ConfigDocument
{
public:
    explicit ConfigDocument(FileAccess &files);
    ~ConfigDocument();
    ConfigDocument(const ConfigDocument &) = delete;
    ConfigDocument &operator=(const ConfigDocument &) = delete;

    // Told while the document waits for another machine; may cancel.
    void setWaiter(Waiter waiter) { m_waiter = std::move(waiter); }

    // Where the file the document is about is, as the location file records
    // it (see ConfigPlace); empty before the first open().
    QString path() const;
    // Where it is, for a title or a message: the path, or "host:path".
    QString shortName() const;
    QString backupPath() const;
    // The file is on another machine.
    bool remote() const { return !m_place.local(); }

    // Reads the file at `where`. On success the document is about that file:
    // what it held comes back, and a save overwrites that version only
    // without asking. On failure the document is left as it was.
    Result<ConfigData> open(const QString &where);
    // Makes the document about a file that could not be read: a save then
    // overwrites whatever is there at this moment (nothing, say).
    Result<void> adopt(const QString &where);
    // The file read was a rewrite in place that a crash cut short: it may be
    // incomplete, and its backup holds the version before.
    bool torn() const { return m_torn; }
    // What the file's backup holds.
    Result<ConfigData> backup();

    // Saves content over the file, keeping the file that was there as the
    // backup. When another program changed the file since it was read or
    // saved here, nothing is written and the state is Changed: overwrite()
    // then saves over the version that was reported, and only that one.
    // Without rotateBackup the backup stays as it is.
    SaveOutcome save(const ConfigContent &content, bool rotateBackup = true);
    SaveOutcome overwrite(const ConfigContent &content);
    // Whether a save refused for lack of permission could go through as the
    // administrator: a file of this machine, saved by this account so far.
    bool canElevate() const { return m_store && m_place.local() && !m_place.throughAgent(); }
    // Saves as save() does, through the elevation command, which this
    // document then keeps using.
    SaveOutcome saveElevated(const ConfigContent &content);

    // What saving content would change.
    Changes changes(const ConfigContent &content);

    // Keeps every other copy of the editor from saving the file at path
    // until the lock goes: for a change that reads, edits and saves it
    // with nobody to ask whether another's edit may go.
    Result<FolderLock> hold(const QString &where);

private:
    Result<std::pair<ConfigPlace, std::unique_ptr<ConfigStore>>> storeAt(const QString &where) const;
    SaveOutcome write(const ConfigContent &content, const std::optional<DiskStamp> &expected,
                      bool rotateBackup = true);

    FileAccess &m_files;
    Waiter m_waiter;
    ConfigPlace m_place;
    std::unique_ptr<ConfigStore> m_store;
    std::optional<DiskStamp> m_stamp;    // the file as read or last saved here
    std::optional<DiskStamp> m_reported; // another program's version, last reported
    bool m_torn = false;
};

} // namespace vesk
