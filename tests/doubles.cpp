#include "doubles.h"

#include <QFile>

namespace vesk::test {

namespace {

class FaultySaveFile : public SaveFile {
public:
    FaultySaveFile(FaultyFiles &owner, QString path, std::unique_ptr<SaveFile> real)
        : m_owner(owner), m_path(std::move(path)), m_real(std::move(real))
    {
    }
    bool open() override
    {
        if (m_owner.shouldFail(FaultyFiles::Op::Open, m_path, 0, 0, nullptr, &m_error))
            return false;
        return m_real->open();
    }
    qint64 write(QByteArrayView data) override
    {
        qint64 allowed = -1;
        if (m_owner.shouldFail(FaultyFiles::Op::Write, m_path, m_written, data.size(), &allowed, &m_error)) {
            // The bytes before the fault point go through, like a disk
            // that fills up part way.
            if (allowed > 0) {
                const qint64 n = m_real->write(data.first(allowed));
                m_written += n;
                return n;
            }
            return -1;
        }
        const qint64 n = m_real->write(data);
        if (n > 0)
            m_written += n;
        return n;
    }
    bool flush() override
    {
        if (m_owner.shouldFail(FaultyFiles::Op::Flush, m_path, 0, 0, nullptr, &m_error))
            return false;
        return m_real->flush();
    }
    bool setPermissions(QFileDevice::Permissions p) override
    {
        if (m_owner.shouldFail(FaultyFiles::Op::SetPermissions, m_path, 0, 0, nullptr, &m_error))
            return false;
        return m_real->setPermissions(p);
    }
    bool commit() override
    {
        if (m_owner.shouldFail(FaultyFiles::Op::Commit, m_path, 0, 0, nullptr, &m_error)) {
            m_real->cancel();
            return false;
        }
        return m_real->commit();
    }
    void cancel() override { m_real->cancel(); }
    QString errorString() const override { return m_error.isEmpty() ? m_real->errorString() : m_error; }

private:
    FaultyFiles &m_owner;
    QString m_path;
    std::unique_ptr<SaveFile> m_real;
    qint64 m_written = 0;
    QString m_error;
};

const char *opName(FaultyFiles::Op op)
{
    switch (op) {
    case FaultyFiles::Op::Status: return "status";
    case FaultyFiles::Op::Read: return "read";
    case FaultyFiles::Op::Open: return "open";
    case FaultyFiles::Op::Write: return "write";
    case FaultyFiles::Op::Flush: return "flush";
    case FaultyFiles::Op::SetPermissions: return "chmod";
    case FaultyFiles::Op::Commit: return "commit";
    case FaultyFiles::Op::Rename: return "rename";
    case FaultyFiles::Op::Remove: return "remove";
    }
    return "?";
}

} // namespace

bool FaultyFiles::shouldFail(Op op, const QString &path, qint64 bytesSoFar, qint64 chunk, qint64 *allowed,
                             QString *reason)
{
    m_log.push_back(QString::fromLatin1(opName(op)) + QLatin1Char(' ') + path);
    for (Fault &f : m_faults) {
        if (f.op != op || (!f.pathContains.isEmpty() && !path.contains(f.pathContains)))
            continue;
        if (op == Op::Write && f.atByte >= 0) {
            if (bytesSoFar + chunk <= f.atByte)
                continue;
            if (allowed)
                *allowed = std::max<qint64>(0, f.atByte - bytesSoFar);
        } else {
            auto it = std::find_if(m_counts.begin(), m_counts.end(), [&](auto &c) { return c.first == &f; });
            if (it == m_counts.end()) {
                m_counts.emplace_back(&f, 0);
                it = m_counts.end() - 1;
            }
            if (++it->second != f.occurrence)
                continue;
        }
        m_fired = true;
        if (reason)
            *reason = f.reason;
        return true;
    }
    return false;
}

FileStatus FaultyFiles::status(const QString &path)
{
    FileStatus failed;
    if (shouldFail(Op::Status, path, 0, 0, nullptr, &failed.error))
        return failed;
    return m_disk.status(path);
}

ReadResult FaultyFiles::read(const QString &path, qint64 maxBytes)
{
    QString reason;
    if (shouldFail(Op::Read, path, 0, 0, nullptr, &reason)) {
        ReadResult r;
        r.error = reason;
        return r;
    }
    return m_disk.read(path, maxBytes);
}

std::unique_ptr<SaveFile> FaultyFiles::saveFile(const QString &path)
{
    return std::make_unique<FaultySaveFile>(*this, path, m_disk.saveFile(path));
}

bool FaultyFiles::rename(const QString &from, const QString &to, QString *error)
{
    QString reason;
    if (shouldFail(Op::Rename, from, 0, 0, nullptr, &reason)) {
        if (error)
            *error = reason;
        return false;
    }
    return m_disk.rename(from, to, error);
}

bool FaultyFiles::remove(const QString &path, QString *error)
{
    QString reason;
    if (shouldFail(Op::Remove, path, 0, 0, nullptr, &reason)) {
        if (error)
            *error = reason;
        return false;
    }
    return m_disk.remove(path, error);
}

Answer ScriptedToolkit::messageBox(const QString &prompt, Buttons buttons, Icon icon, const QString &title,
                                   Answer defaultButton)
{
    Prompt p{Prompt::Message, title, prompt, buttons, icon,
             buttons == Buttons::Ok ? Answer::Ok : defaultButton, QString()};
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
