#include "doubles.h"

#include <QFile>

#include <new>

namespace vesk::test
{

namespace
{

using Op = FaultyFiles::Op;

class FaultySaveFile : public SaveFile
{
public:
    FaultySaveFile(FaultyFiles &owner, QString path, bool rewrite, std::unique_ptr<SaveFile> real)
        : m_owner(owner), m_path(std::move(path)), m_rewrite(rewrite), m_real(std::move(real))
    {
    }
    FileResult open(uint mode) override
    {
        return check(m_rewrite ? Op::OpenInPlace : Op::Open, [&] { return m_real->open(mode); });
    }
    FileResult openAsNameOf(const QString &existing) override
    {
        return check(Op::Name, [&] { return m_real->openAsNameOf(existing); });
    }
    FileResult setOwner(uint owner, uint group) override
    {
        return check(Op::Chown, [&] { return m_real->setOwner(owner, group); });
    }
    FileResult setPermissions(uint mode) override
    {
        return check(Op::SetPermissions, [&] { return m_real->setPermissions(mode); });
    }
    FileResult copyAttributes(const QString &from) override
    {
        return check(Op::CopyAttributes, [&] { return m_real->copyAttributes(from); });
    }
    FileResult reserve(qint64 size) override
    {
        return check(Op::Reserve, [&] { return m_real->reserve(size); });
    }
    FileResult write(QByteArrayView data) override
    {
        qint64 allowed = 0;
        if (auto failure = m_owner.fault(Op::Write, m_path, 0, data.size(), &allowed)) {
            // The bytes before the fault point go through, like a disk
            // that fills up part way.
            if (allowed > 0)
                m_real->write(data.first(allowed));
            return *failure;
        }
        return m_real->write(data);
    }
    FileResult truncate(qint64 size) override
    {
        return check(Op::Truncate, [&] { return m_real->truncate(size); });
    }
    FileResult flush() override
    {
        return check(Op::Flush, [&] { return m_real->flush(); });
    }
    FileResult commit() override
    {
        return check(Op::Commit, [&] { return m_real->commit(); });
    }
    void cancel() override { m_real->cancel(); }

private:
    template <class Call> FileResult check(Op op, Call call)
    {
        if (auto failure = m_owner.fault(op, m_path))
            return *failure;
        return call();
    }

    FaultyFiles &m_owner;
    QString m_path;
    bool m_rewrite;
    std::unique_ptr<SaveFile> m_real;
};

} // namespace

const char *FaultyFiles::name(Op op)
{
    switch (op) {
    case Op::Status: return "status";
    case Op::Read: return "read";
    case Op::Open: return "open";
    case Op::Write: return "write";
    case Op::Flush: return "flush";
    case Op::SetPermissions: return "chmod";
    case Op::Commit: return "commit";
    case Op::Rename: return "rename";
    case Op::Remove: return "remove";
    case Op::Chown: return "chown";
    case Op::CopyAttributes: return "xattrs";
    case Op::Reserve: return "reserve";
    case Op::Truncate: return "truncate";
    case Op::Link: return "link";
    case Op::SyncFolder: return "syncfolder";
    case Op::OpenInPlace: return "openinplace";
    case Op::Name: return "name";
    }
    return "?";
}

std::optional<FileResult> FaultyFiles::fault(Op op, const QString &path, qint64 bytesSoFar, qint64 chunk,
                                             qint64 *allowed)
{
    const QString entry = QString::fromLatin1(name(op)) + QLatin1Char(' ') + path;
    m_log.push_back(entry);
    if (beforeEach)
        beforeEach(entry);
    // Every armed fault on this operation and path counts the call; the
    // first one due fires.
    Armed *due = nullptr;
    for (Armed &a : m_faults) {
        const Fault &f = a.fault;
        if (a.spent || f.op != op || (!f.pathContains.isEmpty() && !path.contains(f.pathContains)))
            continue;
        bool now = false;
        if (op == Op::Write && f.atByte >= 0) {
            now = bytesSoFar + chunk > f.atByte;
            if (now && !due && allowed)
                *allowed = std::max<qint64>(0, f.atByte - bytesSoFar);
        } else {
            now = ++a.calls == f.occurrence;
        }
        if (now && !due)
            due = &a;
    }
    if (due) {
        due->spent = true;
        m_fired = true;
        if (due->fault.outOfMemory)
            throw std::bad_alloc();
        return FileResult::failure(due->fault.code, due->fault.reason);
    }
    return std::nullopt;
}

FileStatus FaultyFiles::status(const QString &path)
{
    FileStatus failed;
    if (auto failure = fault(Op::Status, path)) {
        failed.error = failure->reason();
        return failed;
    }
    return m_disk.status(path);
}

ReadResult FaultyFiles::read(const QString &path, qint64 maxBytes)
{
    if (auto failure = fault(Op::Read, path))
        return failure->error();
    return m_disk.read(path, maxBytes);
}

std::unique_ptr<SaveFile> FaultyFiles::saveFile(const QString &path)
{
    return std::make_unique<FaultySaveFile>(*this, path, false, m_disk.saveFile(path));
}

std::unique_ptr<SaveFile> FaultyFiles::rewriteFile(const QString &path, quint64 device, quint64 inode)
{
    return std::make_unique<FaultySaveFile>(*this, path, true, m_disk.rewriteFile(path, device, inode));
}

FileResult FaultyFiles::rename(const QString &from, const QString &to)
{
    if (auto failure = fault(Op::Rename, from))
        return *failure;
    return m_disk.rename(from, to);
}

FileResult FaultyFiles::remove(const QString &path)
{
    if (auto failure = fault(Op::Remove, path))
        return *failure;
    return m_disk.remove(path);
}

FileResult FaultyFiles::link(const QString &from, const QString &to)
{
    if (auto failure = fault(Op::Link, from))
        return *failure;
    return m_disk.link(from, to);
}

FileResult FaultyFiles::syncFolder(const QString &path)
{
    if (auto failure = fault(Op::SyncFolder, path))
        return *failure;
    return m_disk.syncFolder(path);
}

Answer ScriptedToolkit::messageBox(const QString &prompt, Buttons buttons, Icon icon, const QString &title,
                                   Answer defaultButton)
{
    Prompt p{Prompt::Message, title, prompt,
             buttons,         icon,  buttons == Buttons::Ok ? Answer::Ok : defaultButton,
             QString()};
    m_prompts.push_back(p);
    if (onPrompt)
        onPrompt(p);
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    if (m_answers.empty()) {
        ++m_unanswered;
        return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
    const Answer a = m_answers.front();
    m_answers.pop_front();
    return a;
}

QString ScriptedToolkit::inputBox(const QString &prompt, const QString &title, const QString &defaultText)
{
    Prompt p{Prompt::Input, title, prompt, Buttons::Ok, Icon::None, Answer::Ok, defaultText};
    m_prompts.push_back(p);
    if (onPrompt)
        onPrompt(p);
    if (m_inputs.empty()) {
        ++m_unanswered;
        return QString();
    }
    const QString t = m_inputs.front();
    m_inputs.pop_front();
    return t;
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

} // namespace vesk::test
