#include "cli/agent.h"

#include "base/limits.h"
#include "store/agentprotocol.h"
#include "store/diskstore.h"

#include <QJsonObject>

#include <cerrno>
#include <csignal>
#include <optional>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace vesk::cli
{
namespace
{

// A message's first line is short; anything longer is no message.
constexpr qsizetype kMaxHeader = qsizetype(64) * 1024;

// The agent's input, read in blocks: lines and exact byte counts.
class Input
{
public:
    explicit Input(int fd) : m_fd(fd) {}

    // A whole line; nothing at the end of input or past the limit.
    std::optional<QByteArray> line()
    {
        for (;;) {
            if (const qsizetype end = m_buffer.indexOf('\n'); end >= 0) {
                QByteArray l = m_buffer.first(end);
                m_buffer.remove(0, end + 1);
                return l;
            }
            if (m_buffer.size() > kMaxHeader || !more())
                return std::nullopt;
        }
    }
    // Exactly size bytes; nothing when the input ends before.
    std::optional<QByteArray> exactly(qint64 size)
    {
        while (m_buffer.size() < size)
            if (!more())
                return std::nullopt;
        QByteArray out = m_buffer.first(qsizetype(size));
        m_buffer.remove(0, qsizetype(size));
        return out;
    }

private:
    bool more()
    {
        char block[65536];
        for (;;) {
            const ssize_t n = ::read(m_fd, block, sizeof block);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            m_buffer.append(block, qsizetype(n));
            return true;
        }
    }

    int m_fd;
    QByteArray m_buffer;
};

bool writeAll(int fd, QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

QJsonObject failed(const Failure &why)
{
    QJsonObject o = agent::toJson(why);
    o[u"ok"_s] = false;
    return o;
}

// An answer that carries a file: its size and SHA-256 in the header.
QJsonObject withBytes(QJsonObject header, const QByteArray &bytes)
{
    header[u"ok"_s] = true;
    header[u"size"_s] = QString::number(bytes.size());
    header[u"sha256"_s] = agent::sha256(bytes);
    return header;
}

class Agent
{
public:
    Agent(FileAccess &files, const QString &path, int out) : m_store(files, path), m_out(out) {}

    bool answer(const QJsonObject &header, const QByteArray &bytes = {})
    {
        return writeAll(m_out, agent::headerLine(header)) && (bytes.isEmpty() || writeAll(m_out, bytes));
    }
    bool read()
    {
        const Result<StoredFile> r = m_store.read();
        if (!r)
            return answer(failed(r.error()));
        return answer(withBytes({{u"stamp"_s, agent::toJson(r->stamp)},
                                 {u"torn"_s, r->torn},
                                 {u"owner"_s, qint64(r->owner)},
                                 {u"mode"_s, qint64(r->mode)}},
                                r->bytes),
                      r->bytes);
    }
    bool backup()
    {
        const Result<QByteArray> r = m_store.readBackup();
        return r ? answer(withBytes({}, *r), *r) : answer(failed(r.error()));
    }
    bool stamp() { return answer({{u"ok"_s, true}, {u"stamp"_s, agent::toJson(m_store.stampNow())}}); }
    // False ends the conversation: the input ended in the middle of the
    // bytes (nothing was written), or the editor can no longer be told.
    bool write(const QJsonObject &request, Input &in)
    {
        const qint64 size = request[u"size"_s].toString().toLongLong();
        if (size < 0 || size > kMaxConfigBytes) {
            answer(failed(
                Failure::of(Fault::Refused, u"a file of %1 bytes is no configuration file"_s.arg(size))));
            return false; // the bytes cannot be skipped
        }
        const std::optional<QByteArray> bytes = in.exactly(size);
        if (!bytes)
            return false;
        QJsonObject out{{u"state"_s, agent::stateName(SaveState::Untouched)}};
        if (agent::sha256(*bytes) != request[u"sha256"_s].toString()) {
            out = failed(Failure::of(Fault::Lost, u"the file arrived damaged, and nothing was saved"_s));
            out[u"state"_s] = agent::stateName(SaveState::Untouched);
            return answer(out);
        }
        std::optional<DiskStamp> expected;
        if (request.contains(u"expected"_s))
            expected = agent::stampFromJson(request[u"expected"_s].toObject());
        // The save goes to its end even when the editor has gone meanwhile.
        const SaveOutcome saved = m_store.write(*bytes, expected, request.value(u"backup"_s).toBool(true));
        out = saved.ok() ? QJsonObject{{u"ok"_s, true}} : failed(saved.failure);
        out[u"state"_s] = agent::stateName(saved.state);
        if (saved.stamp)
            out[u"stamp"_s] = agent::toJson(*saved.stamp);
        return answer(out);
    }

private:
    DiskStore m_store;
    int m_out;
};

} // namespace

int serveAgent(FileAccess &files, const QString &path, int in, int out)
{
    // A write to an editor that went away fails; it must not end a save.
    std::signal(SIGPIPE, SIG_IGN);
    Agent agent(files, path, out);
    Input input(in);
    if (!writeAll(out, agent::greeting()))
        return kFailed;
    for (;;) {
        const std::optional<QByteArray> line = input.line();
        if (!line)
            return kOk; // the end of input: the editor is done
        const Result<QJsonObject> header = agent::parseHeader(*line);
        if (!header) {
            agent.answer(failed(header.error()));
            return kFailed; // where the next message starts is unknown
        }
        const QString op = header->value(u"op"_s).toString();
        bool goOn = false;
        if (op == u"read")
            goOn = agent.read();
        else if (op == u"backup")
            goOn = agent.backup();
        else if (op == u"stamp")
            goOn = agent.stamp();
        else if (op == u"write")
            goOn = agent.write(*header, input);
        else
            goOn = agent.answer(failed(Failure::of(Fault::Refused, u"no such request: "_s + op)));
        if (!goOn)
            return kFailed;
    }
}

} // namespace vesk::cli
