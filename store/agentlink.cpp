#include "store/agentlink.h"

#include "store/agentprotocol.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

// Without a waiter (nobody to press Cancel) a silent server is given up on
// after this long.
constexpr qint64 kDefaultPatienceMs = 120'000;
// An answer's first line is short; one this long is no answer.
constexpr qsizetype kMaxLine = qsizetype(1024) * 1024;

Failure lost(const QString &why)
{
    return Failure::of(Fault::Lost, why);
}

} // namespace

AgentLink::AgentLink(AgentCommand command, Waiter waiter)
    : m_command(std::move(command)), m_waiter(std::move(waiter))
{
    if (!m_waiter)
        m_waiter = [](qint64 waited) { return waited < kDefaultPatienceMs; };
}

AgentLink::~AgentLink()
{
    close();
}

void AgentLink::close()
{
    if (!m_process)
        return;
    // The agent ends at the end of its input.
    m_process->closeWriteChannel();
    if (!m_process->waitForFinished(2000))
        m_process->kill();
    m_process->waitForFinished(2000);
    m_process.reset();
    m_buffer.clear();
}

Result<void> AgentLink::start()
{
    close();
    m_greeted = false;
    m_process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // A password or passphrase is asked by ssh's own askpass where no
    // terminal is there to type it: the editor never sees it.
    if (!::isatty(STDIN_FILENO) && !env.contains(u"SSH_ASKPASS_REQUIRE"_s))
        env.insert(u"SSH_ASKPASS_REQUIRE"_s, u"prefer"_s);
    m_process->setProcessEnvironment(env);
    m_process->start(m_command.program, m_command.arguments);
    if (!m_process->waitForStarted(15'000))
        return whyItEnded();
    const Result<QByteArray> first = readLine();
    if (!first)
        return first.error();
    const std::optional<int> version = agent::greetingVersion(*first);
    if (!version) {
        const QString said = QString::fromUtf8(first->trimmed()).left(200);
        close();
        return Failure::of(
            Fault::Refused,
            u"%1 did not answer as veskcfg's agent does (it said \"%2\")"_s.arg(m_command.machine, said));
    }
    if (*version != agent::kProtocolVersion) {
        close();
        const bool older = *version < agent::kProtocolVersion;
        return Failure::of(
            Fault::Refused,
            u"veskcfg on %1 speaks version %2 of the editor's protocol, and this editor version %3: "
            "upgrade %4"_s.arg(m_command.machine)
                .arg(*version)
                .arg(agent::kProtocolVersion)
                .arg(older ? u"the veskcfg package on "_s + m_command.machine
                           : u"the editor on this machine"_s));
    }
    m_greeted = true;
    return {};
}

Result<void> AgentLink::waitForBytes()
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (m_process->waitForReadyRead(50))
            return {};
        if (m_process->state() == QProcess::NotRunning)
            return whyItEnded();
        if (!m_waiter(waited.elapsed())) {
            m_process->kill();
            m_process->waitForFinished(2000);
            m_process.reset();
            m_buffer.clear();
            return Failure::of(Fault::Cancelled,
                               u"the wait for "_s + m_command.machine + u" was cancelled"_s);
        }
    }
}

Result<QByteArray> AgentLink::readLine()
{
    for (;;) {
        if (const qsizetype end = m_buffer.indexOf('\n'); end >= 0) {
            QByteArray line = m_buffer.first(end + 1);
            m_buffer.remove(0, end + 1);
            return line;
        }
        if (m_buffer.size() > kMaxLine)
            return lost(m_command.machine + u" sent a line too long to be an answer"_s);
        if (Result<void> more = waitForBytes(); !more)
            return more.error();
        m_buffer += m_process->readAllStandardOutput();
    }
}

Result<QByteArray> AgentLink::readExactly(qint64 size)
{
    while (m_buffer.size() < size) {
        if (Result<void> more = waitForBytes(); !more)
            return more.error();
        m_buffer += m_process->readAllStandardOutput();
    }
    QByteArray out = m_buffer.first(qsizetype(size));
    m_buffer.remove(0, qsizetype(size));
    return out;
}

Result<AgentLink::Answer> AgentLink::ask(const QJsonObject &request, QByteArrayView payload)
{
    const bool idle = m_process && m_process->state() == QProcess::Running;
    // A conversation that ended while idle starts again; a request that read
    // nothing may then go once more, as it changes nothing.
    const bool repeatable = payload.isEmpty();
    for (int attempt = 0;; ++attempt) {
        if (!m_process || m_process->state() != QProcess::Running)
            if (Result<void> started = start(); !started)
                return started.error();
        m_process->write(agent::headerLine(request));
        if (!payload.isEmpty())
            m_process->write(payload.data(), payload.size());
        Result<QByteArray> line = readLine();
        if (!line && line.fault() == Fault::Lost && idle && repeatable && attempt == 0) {
            close();
            continue;
        }
        if (!line)
            return line.error();
        Result<QJsonObject> header = agent::parseHeader(*line);
        if (!header)
            return lost(m_command.machine + u" answered out of turn: "_s + header.reason());
        Answer answer{*header, {}};
        const qint64 size = header->value(u"size"_s).toString().toLongLong();
        if (size > 0) {
            Result<QByteArray> bytes = readExactly(size);
            if (!bytes)
                return bytes.error();
            answer.bytes = std::move(*bytes);
            if (agent::sha256(answer.bytes) != header->value(u"sha256"_s).toString())
                return lost(u"the file from "_s + m_command.machine + u" arrived damaged"_s);
        }
        return answer;
    }
}

Failure AgentLink::whyItEnded()
{
    const QString machine = m_command.machine;
    if (!m_process)
        return lost(u"the connection to "_s + machine + u" ended"_s);
    if (m_process->error() == QProcess::FailedToStart) {
        const QString why = m_process->errorString();
        m_process.reset();
        return Failure::of(Fault::Refused,
                           u"%1 could not be started (%2); install it, or name another program "
                           "with VESK_SSH or VESK_ELEVATE"_s.arg(m_command.program, why));
    }
    m_process->waitForFinished(2000);
    // What the server said, less its notes of no consequence here.
    QStringList lines = QString::fromLocal8Bit(m_process->readAllStandardError()).split(u'\n');
    lines.removeIf(
        [](const QString &l) { return l.startsWith(u"Could not chdir to home directory"_s) || l.isEmpty(); });
    const QString said = lines.join(u'\n').trimmed();
    const int code = m_process->exitStatus() == QProcess::NormalExit ? m_process->exitCode() : -1;
    m_process.reset();
    m_buffer.clear();
    const QString account = m_command.account;
    if (m_greeted)
        return lost(
            u"the connection to %1 ended%2"_s.arg(machine, said.isEmpty() ? QString() : u": "_s + said));
    if (code == 126 || said.contains(u"Not authorized"_s) || said.contains(u"dismissed"_s))
        return Failure::of(Fault::Refused, u"the administrator's permission was not given (%1)"_s.arg(
                                               said.isEmpty() ? m_command.program : said));
    if (said.contains(u"a password is required"_s) || said.contains(u"a terminal is required"_s))
        return Failure::of(
            Fault::Refused,
            u"sudo on %1 wants a password to act as %2, and the editor types none: let the login "
            "account run veskcfg as %2 without one (a sudoers rule), or log in as %2"_s.arg(machine,
                                                                                            account));
    if (code == 127 || said.contains(u"command not found"_s) || said.contains(u"not found"_s))
        return Failure::of(Fault::Refused,
                           u"veskcfg is not installed on %1: install the veskcfg package there "
                           "(the editor works through its agent, veskcfg agent)%2"_s.arg(
                               machine, said.isEmpty() ? QString() : u" ("_s + said + u')'));
    if (said.contains(u"unknown command \"agent\""_s))
        return Failure::of(Fault::Refused, u"veskcfg on %1 is too old to serve the editor (it has no agent): "
                                           "upgrade the veskcfg package there"_s.arg(machine));
    if (said.startsWith(u"sudo:"_s))
        return Failure::of(Fault::Refused, u"sudo on %1 refused: %2"_s.arg(machine, said));
    if (code == 255)
        return Failure::of(Fault::Refused, u"could not reach %1: %2"_s.arg(machine, said));
    return lost(u"the connection to %1 ended%2"_s.arg(machine, said.isEmpty() ? QString() : u": "_s + said));
}

} // namespace vesk
