#include "store/remotestore.h"

#include "store/agentprotocol.h"

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

Failure failureOf(const QJsonObject &answer)
{
    return agent::failureFromJson(answer);
}

} // namespace

RemoteStore::RemoteStore(AgentCommand command, QString where, QString backupWhere, Waiter waiter)
    : m_link(std::move(command), std::move(waiter)), m_where(std::move(where)),
      m_backupWhere(std::move(backupWhere))
{
}

Result<StoredFile> RemoteStore::read()
{
    Result<AgentLink::Answer> a = m_link.ask({{u"op"_s, u"read"_s}});
    if (!a)
        return a.error();
    if (!a->header[u"ok"_s].toBool())
        return failureOf(a->header);
    StoredFile out;
    out.bytes = std::move(a->bytes);
    out.stamp = agent::stampFromJson(a->header[u"stamp"_s].toObject());
    out.torn = a->header[u"torn"_s].toBool();
    out.owner = uint(a->header[u"owner"_s].toInteger());
    out.mode = uint(a->header[u"mode"_s].toInteger());
    return out;
}

Result<QByteArray> RemoteStore::readBackup()
{
    Result<AgentLink::Answer> a = m_link.ask({{u"op"_s, u"backup"_s}});
    if (!a)
        return a.error();
    if (!a->header[u"ok"_s].toBool())
        return failureOf(a->header);
    return std::move(a->bytes);
}

DiskStamp RemoteStore::stampNow()
{
    const Result<AgentLink::Answer> a = m_link.ask({{u"op"_s, u"stamp"_s}});
    return a && a->header[u"ok"_s].toBool() ? agent::stampFromJson(a->header[u"stamp"_s].toObject())
                                            : DiskStamp();
}

SaveOutcome RemoteStore::write(const QByteArray &bytes, const std::optional<DiskStamp> &expected,
                               bool rotateBackup)
{
    const QString sha = agent::sha256(bytes);
    QJsonObject request{
        {u"op"_s, u"write"_s}, {u"size"_s, QString::number(bytes.size())}, {u"sha256"_s, sha}};
    if (expected)
        request[u"expected"_s] = agent::toJson(*expected);
    if (!rotateBackup)
        request[u"backup"_s] = false;
    const Result<AgentLink::Answer> a = m_link.ask(request, bytes);
    if (!a) {
        // Refused before anything went: untouched. Cut off after the bytes
        // went: the agent either saved them wholly or not at all.
        if (a.fault() != Fault::Lost && a.fault() != Fault::Cancelled) {
            SaveOutcome out;
            out.failure = a.error();
            return out;
        }
        return settle(sha, a.error());
    }
    SaveOutcome out;
    out.state = agent::stateFromName(a->header[u"state"_s].toString()).value_or(SaveState::Unknown);
    if (!a->header[u"ok"_s].toBool())
        out.failure = failureOf(a->header);
    if (a->header.contains(u"stamp"_s))
        out.stamp = agent::stampFromJson(a->header[u"stamp"_s].toObject());
    return out;
}

SaveOutcome RemoteStore::settle(const QString &sentSha, const Failure &why)
{
    // A new conversation reads the file under the folder's lock, so a save
    // the old agent is still finishing is finished first.
    m_link.close();
    SaveOutcome out;
    const Result<StoredFile> now = read();
    if (!now) {
        out.state = SaveState::Unknown;
        out.failure =
            Failure::of(why.fault, why.reason + u"; whether the save went through could not be found out ("_s
                                       + now.reason() + u"): look at "_s + m_where);
        return out;
    }
    if (agent::sha256(now->bytes) == sentSha) {
        out.state = SaveState::Saved;
        out.stamp = now->stamp;
        return out;
    }
    out.failure = Failure::of(why.fault, why.reason + u"; the file on "_s + m_link.command().machine
                                             + u" was left as it was"_s);
    return out;
}

} // namespace vesk
