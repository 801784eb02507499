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
    FileResult openAsNameOf(Folder &from, const QString &name, const FileStatus &expected) override
    {
        return check(Op::Name, [&] { return m_real->openAsNameOf(from, name, m_owner.unaged(expected)); });
    }
    FileResult setOwner(uint owner, uint group) override
    {
        return check(Op::Chown, [&] { return m_real->setOwner(owner, group); });
    }
    FileResult setPermissions(uint mode) override
    {
        return check(Op::SetPermissions, [&] { return m_real->setPermissions(mode); });
    }
    FileResult copyAttributes(Folder &from, const QString &name) override
    {
        return check(Op::CopyAttributes, [&] { return m_real->copyAttributes(from, name); });
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
                (void)m_real->write(data.first(allowed));
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
    FileResult commitReplacing(const FileStatus &expected) override
    {
        return check(Op::Commit, [&] { return m_real->commitReplacing(m_owner.unaged(expected)); });
    }
    FileStatus written() const override { return m_owner.aged(m_real->written()); }
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

// A real folder whose every operation can be made to fail, logged with the
// whole path of the name it is about.
class FaultyFolder : public Folder
{
public:
    FaultyFolder(FaultyFiles &owner, std::unique_ptr<Folder> real)
        : Folder(real->path(), real->self(), real->pathControlledBy()), m_owner(owner),
          m_real(std::move(real))
    {
    }
    Result<FileStatus> status(const QString &name) override
    {
        if (auto failure = m_owner.fault(Op::Status, pathOf(name)))
            return failure->error();
        Result<FileStatus> s = m_real->status(name);
        if (s.ok())
            *s = aged(*s);
        return s;
    }
    ReadResult read(const QString &name, qint64 maxBytes) override
    {
        if (auto failure = m_owner.fault(Op::Read, pathOf(name)))
            return failure->error();
        ReadResult r = m_real->read(name, maxBytes);
        if (r.ok())
            r->status = aged(r->status);
        return r;
    }
    Result<QString> linkTarget(const QString &name) override { return m_real->linkTarget(name); }
    std::unique_ptr<SaveFile> saveFile(const QString &name) override
    {
        return std::make_unique<FaultySaveFile>(m_owner, pathOf(name), false, m_real->saveFile(name));
    }
    std::unique_ptr<SaveFile> rewriteFile(const QString &name, const FileStatus &expected) override
    {
        return std::make_unique<FaultySaveFile>(m_owner, pathOf(name), true,
                                                m_real->rewriteFile(name, m_owner.unaged(expected)));
    }
    FileResult rename(const QString &from, const QString &to) override
    {
        return check(Op::Rename, from, [&] { return m_real->rename(from, to); });
    }
    FileResult remove(const QString &name) override
    {
        return check(Op::Remove, name, [&] { return m_real->remove(name); });
    }
    FileResult link(const QString &from, const QString &to) override
    {
        return check(Op::Link, from, [&] { return m_real->link(from, to); });
    }
    FileResult sync() override
    {
        if (auto failure = m_owner.fault(Op::SyncFolder, path()))
            return *failure;
        return m_real->sync();
    }
    Result<QStringList> names() override
    {
        if (auto failure = m_owner.fault(Op::Names, path()))
            return failure->error();
        return m_real->names();
    }
    Result<FolderLock> lock(int waitMs) override
    {
        if (auto failure = m_owner.fault(Op::Lock, path()))
            return failure->error();
        return m_real->lock(waitMs);
    }
    FileResult setRewriteMark(const QString &name, const QByteArray &note) override
    {
        return check(Op::Mark, name, [&] { return m_real->setRewriteMark(name, note); });
    }
    Result<std::optional<QByteArray>> rewriteMark(const QString &name) override
    {
        return m_real->rewriteMark(name);
    }
    FileResult clearRewriteMark(const QString &name) override { return m_real->clearRewriteMark(name); }
    int descriptor() const override { return m_real->descriptor(); }

private:
    FileStatus aged(const FileStatus &s) const { return m_owner.aged(s); }
    template <class Call> FileResult check(Op op, const QString &name, Call call)
    {
        if (auto failure = m_owner.fault(op, pathOf(name)))
            return *failure;
        return call();
    }

    FaultyFiles &m_owner;
    std::unique_ptr<Folder> m_real;
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
    case Op::OpenFolder: return "openfolder";
    case Op::Lock: return "lock";
    case Op::Names: return "names";
    case Op::Mark: return "mark";
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

FileStatus FaultyFiles::aged(FileStatus s) const
{
    if (s.exists) {
        s.modifiedNs -= ageNs;
        s.changedNs -= ageNs;
    }
    return s;
}

FileStatus FaultyFiles::unaged(FileStatus s) const
{
    if (s.exists) {
        s.modifiedNs += ageNs;
        s.changedNs += ageNs;
    }
    return s;
}

Result<std::unique_ptr<Folder>> FaultyFiles::openFolder(const QString &path)
{
    if (auto failure = fault(Op::OpenFolder, path))
        return failure->error();
    Result<std::unique_ptr<Folder>> real = m_disk.openFolder(path);
    if (!real.ok())
        return real.error();
    return std::unique_ptr<Folder>(std::make_unique<FaultyFolder>(*this, std::move(*real)));
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
