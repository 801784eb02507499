#include "document/placestore.h"

#include "store/diskstore.h"
#include "store/remotestore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

QStringList commandFrom(const char *variable, const QString &fallback)
{
    const QString set = QProcessEnvironment::systemEnvironment().value(QString::fromLatin1(variable));
    QStringList words = QProcess::splitCommand(set.isEmpty() ? fallback : set);
    return words.isEmpty() ? QStringList{fallback} : words;
}

// A word for the remote shell, which ssh hands the command to as a line.
QString quoted(QString word)
{
    return u'\'' + word.replace(u'\'', u"'\\''"_s) + u'\'';
}

// The veskcfg that came with this editor, or the one on the PATH.
QStringList localVeskcfg()
{
    const QString beside = QCoreApplication::applicationDirPath() + u"/veskcfg"_s;
    return commandFrom("VESKCFG", QFileInfo(beside).isExecutable() ? beside : u"veskcfg"_s);
}

QString backupOf(const QString &path)
{
    return backupPathFor(path);
}

} // namespace

AgentCommand agentCommand(const ConfigPlace &place)
{
    AgentCommand c;
    c.account = place.account;
    const QStringList sudo = place.account.isEmpty()
                                 ? QStringList()
                                 : QStringList{u"sudo"_s, u"-n"_s, u"-u"_s, place.account, u"--"_s};
    if (place.local()) {
        QStringList words = place.elevated ? commandFrom("VESK_ELEVATE", u"pkexec"_s) : sudo;
        words << localVeskcfg() << u"agent"_s << u"--file"_s << place.path;
        c.program = words.takeFirst();
        c.arguments = words;
        c.machine = u"this machine"_s;
        return c;
    }
    QStringList words = commandFrom("VESK_SSH", u"ssh"_s);
    c.program = words.takeFirst();
    // An unknown or changed host key stops the connection, in ssh's words;
    // a dropped connection shows within a minute.
    c.arguments = words
                  + QStringList{u"-T"_s,
                                u"-o"_s,
                                u"StrictHostKeyChecking=yes"_s,
                                u"-o"_s,
                                u"ConnectTimeout=15"_s,
                                u"-o"_s,
                                u"ServerAliveInterval=15"_s,
                                u"-o"_s,
                                u"ServerAliveCountMax=3"_s};
    if (place.port != 0)
        c.arguments << u"-p"_s << QString::number(place.port);
    if (!place.user.isEmpty())
        c.arguments << u"-l"_s << place.user;
    QStringList remote;
    for (const QString &w : sudo)
        remote << quoted(w);
    for (const QString &w : commandFrom("VESKCFG", u"veskcfg"_s))
        remote << quoted(w);
    remote << u"agent"_s << u"--file"_s << quoted(place.path);
    c.arguments << u"--"_s << place.host << remote.join(u' ');
    c.machine = place.host;
    return c;
}

std::unique_ptr<ConfigStore> storeFor(FileAccess &files, const ConfigPlace &place, const Waiter &waiter)
{
    if (!place.throughAgent())
        return std::make_unique<DiskStore>(files, place.path);
    const QString where = place.local() ? place.path : place.shortName();
    ConfigPlace backup = place;
    backup.path = backupOf(place.path);
    return std::make_unique<RemoteStore>(agentCommand(place), where,
                                         place.local() ? backup.path : backup.shortName(), waiter);
}

} // namespace vesk
