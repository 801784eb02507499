#include "document/configdocument.h"

#include "document/placestore.h"

#include <QFileInfo>

#include <new>

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

std::vector<QString> splitLines(QStringView text)
{
    std::vector<QString> lines;
    forEachLine(text, [&](QStringView line) { lines.push_back(line.toString()); });
    return lines;
}

Failure noFile()
{
    return Failure::of(Fault::Refused, u"no cfg file is open"_s);
}

Result<ConfigData> parsed(const QByteArray &bytes)
{
    if (Result<void> text = checkEncoding(bytes); !text)
        return text.error();
    return parseConfigBytes(bytes);
}

} // namespace

ConfigDocument::ConfigDocument(FileAccess &files) : m_files(files) {}
ConfigDocument::~ConfigDocument() = default;

Result<std::pair<ConfigPlace, std::unique_ptr<ConfigStore>>>
ConfigDocument::storeAt(const QString &where) const
{
    Result<ConfigPlace> place = parsePlace(where, [](const QString &p) { return QFileInfo::exists(p); });
    if (!place)
        return place.error();
    std::unique_ptr<ConfigStore> store = storeFor(m_files, *place, m_waiter);
    return std::pair{std::move(*place), std::move(store)};
}

QString ConfigDocument::path() const
{
    return m_store ? m_place.text() : QString();
}

QString ConfigDocument::shortName() const
{
    return m_store ? m_store->where() : QString();
}

QString ConfigDocument::backupPath() const
{
    return m_store ? m_store->backupWhere() : QString();
}

Result<ConfigData> ConfigDocument::open(const QString &where)
{
    try {
        auto at = storeAt(where);
        if (!at)
            return at.error();
        auto &[place, store] = *at;
        Result<StoredFile> read = store->read();
        if (!read)
            return read.error();
        Result<ConfigData> data = parsed(read->bytes);
        if (!data)
            return data;
        m_place = std::move(place);
        m_store = std::move(store);
        m_stamp = read->stamp;
        m_reported.reset();
        m_torn = read->torn;
        return data;
    } catch (const std::bad_alloc &) {
        return Failure::system(ENOMEM);
    }
}

Result<void> ConfigDocument::adopt(const QString &where)
{
    auto at = storeAt(where);
    if (!at)
        return at.error();
    m_place = std::move(at->first);
    m_store = std::move(at->second);
    m_stamp = m_store->stampNow();
    m_reported.reset();
    m_torn = false;
    return {};
}

Result<ConfigData> ConfigDocument::backup()
{
    if (!m_store)
        return noFile();
    try {
        const Result<QByteArray> bytes = m_store->readBackup();
        if (!bytes)
            return bytes.error();
        return parsed(*bytes);
    } catch (const std::bad_alloc &) {
        return Failure::system(ENOMEM);
    }
}

SaveOutcome ConfigDocument::write(const ConfigContent &content, const std::optional<DiskStamp> &expected,
                                  bool rotateBackup)
{
    SaveOutcome out;
    if (!m_store) {
        out.failure = noFile();
        return out;
    }
    try {
        const Result<QByteArray> composed = composeConfig(content);
        if (!composed) {
            out.failure = composed.error();
            return out;
        }
        out = m_store->write(*composed, expected, rotateBackup);
    } catch (const std::bad_alloc &) {
        out.failure = Failure::system(ENOMEM);
        return out;
    }
    // The editor's own steps, even a failed save's, are no outside edit.
    if (out.state == SaveState::Changed)
        m_reported = out.stamp;
    else if (out.stamp)
        m_stamp = out.stamp;
    if (out.state == SaveState::Saved)
        m_torn = false;
    return out;
}

SaveOutcome ConfigDocument::save(const ConfigContent &content, bool rotateBackup)
{
    return write(content, m_stamp, rotateBackup);
}

SaveOutcome ConfigDocument::overwrite(const ConfigContent &content)
{
    return write(content, m_reported ? m_reported : m_stamp);
}

Changes ConfigDocument::changes(const ConfigContent &content)
{
    Changes c;
    QByteArray disk;
    if (m_store) {
        if (Result<StoredFile> read = m_store->read(); read.ok()) {
            disk = std::move(read->bytes);
            c.onDisk = splitLines(decodeText(disk).text);
            c.changedElsewhere = m_stamp && !m_stamp->matches(read->stamp, disk);
        } else if (const DiskStamp now = m_store->stampNow(); now.exists) {
            c.unreadable = read.error();
        }
    }
    // The text a save would encode: decoding its bytes again could take a
    // character U+FEFF that opens the text for a byte order mark.
    c.toWrite = splitLines(composeText(content));
    const Result<QByteArray> composed = composeConfig(content);
    if (!composed)
        c.unsaveable = composed.error();
    else
        c.lineEndsOnly = !c.unreadable && c.toWrite == c.onDisk && *composed != disk;
    return c;
}

SaveOutcome ConfigDocument::saveElevated(const ConfigContent &content)
{
    if (!canElevate())
        return save(content);
    ConfigPlace elevated = m_place;
    elevated.elevated = true;
    std::unique_ptr<ConfigStore> previous = std::exchange(m_store, storeFor(m_files, elevated, m_waiter));
    SaveOutcome out = save(content);
    // Refused there too: this account goes on saving, as before.
    if (out.state == SaveState::Untouched && out.failure.fault != Fault::Changed) {
        m_store = std::move(previous);
        return out;
    }
    m_place = elevated;
    return out;
}

Result<FolderLock> ConfigDocument::hold(const QString &where)
{
    auto at = storeAt(where);
    if (!at)
        return at.error();
    return at->second->hold();
}

} // namespace vesk
