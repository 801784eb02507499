#include "document/configdocument.h"

#include "store/diskstore.h"

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

std::unique_ptr<ConfigStore> ConfigDocument::storeFor(const QString &path) const
{
    return std::make_unique<DiskStore>(m_files, path);
}

QString ConfigDocument::path() const
{
    return m_store ? m_store->where() : QString();
}

QString ConfigDocument::backupPath() const
{
    return m_store ? m_store->backupWhere() : QString();
}

Result<ConfigData> ConfigDocument::open(const QString &path)
{
    try {
        std::unique_ptr<ConfigStore> store = storeFor(path);
        Result<StoredFile> read = store->read();
        if (!read)
            return read.error();
        Result<ConfigData> data = parsed(read->bytes);
        if (!data)
            return data;
        m_store = std::move(store);
        m_stamp = read->stamp;
        m_reported.reset();
        m_torn = read->torn;
        return data;
    } catch (const std::bad_alloc &) {
        return Failure::system(ENOMEM);
    }
}

void ConfigDocument::adopt(const QString &path)
{
    m_store = storeFor(path);
    m_stamp = m_store->stampNow();
    m_reported.reset();
    m_torn = false;
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

SaveOutcome ConfigDocument::write(const ConfigContent &content, const std::optional<DiskStamp> &expected)
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
        out = m_store->write(*composed, expected);
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

SaveOutcome ConfigDocument::save(const ConfigContent &content)
{
    return write(content, m_stamp);
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

Result<FolderLock> ConfigDocument::hold(const QString &path)
{
    return storeFor(path)->hold();
}

} // namespace vesk
