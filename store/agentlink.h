#pragma once

#include "base/result.h"
#include "store/configstore.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <memory>

class QProcess;

namespace vesk
{

// How to start an agent for one file: the program and its arguments (ssh to
// another machine, sudo to another account, an elevation command), and the
// names messages use.
struct AgentCommand {
    QString program;
    QStringList arguments;
    QString machine; // "server", or "this machine"
    QString account; // acted as through sudo; empty for none
};

// One conversation with an agent: started at the first message and kept
// for every later one. An agent that went away while nobody spoke to it is
// started again, once and silently; one that goes away in the middle of a
// message fails that message (Fault::System, code EPIPE: "the connection
// ended"). Cancelling through the waiter ends the conversation the same way.
class AgentLink
{
public:
    AgentLink(AgentCommand command, Waiter waiter);
    ~AgentLink();
    AgentLink(const AgentLink &) = delete;
    AgentLink &operator=(const AgentLink &) = delete;

    struct Answer {
        QJsonObject header;
        QByteArray bytes;
    };
    // Sends a request (with its bytes) and reads the answer (with its).
    // Nothing is sent twice: a request that may have reached the agent is
    // never repeated.
    Result<Answer> ask(const QJsonObject &request, QByteArrayView payload = {});
    // Ends the conversation; the next message starts a new one.
    void close();
    const AgentCommand &command() const { return m_command; }

private:
    Result<void> start();
    Result<QByteArray> readLine();
    Result<QByteArray> readExactly(qint64 size);
    Result<void> waitForBytes();
    // Why the agent went away or would not start, in words the user can act on.
    Failure whyItEnded();

    AgentCommand m_command;
    Waiter m_waiter;
    std::unique_ptr<QProcess> m_process;
    QByteArray m_buffer;    // what the agent said that was not read yet
    bool m_greeted = false; // the agent answered: a connection was made
};

} // namespace vesk
