// A file on another machine: a real OpenSSH server on 127.0.0.1, started for
// this suite with its own host key and configuration, a login account that
// may act as the file's owner through a sudo rule of the suite's own, and
// the faults a connection meets, driven for real where they can be.

#include "document/configdocument.h"
#include "store/agentprotocol.h"
#include "windowfixture.h"

#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#ifndef VESKCFG_PATH
#error "VESKCFG_PATH must name the veskcfg program"
#endif

using namespace vesk;
using namespace vesk::test;
using namespace Qt::StringLiterals;

namespace
{

const QString kLogin = u"vesklogin"_s; // logs in over ssh
const QString kOwner = u"vesktest"_s;  // owns the tracker's file
const QString kSudoers = u"/etc/sudoers.d/veskfrontend-test"_s;

bool run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool account(const QString &name, bool shell)
{
    if (!::getpwnam(name.toLocal8Bit().constData())
        && !run(u"useradd"_s, {u"--system"_s, u"--no-create-home"_s, u"--shell"_s,
                               shell ? u"/bin/sh"_s : u"/usr/sbin/nologin"_s, name}))
        return false;
    // Without a password, but not locked: sshd lets no locked account in.
    return !shell || run(u"usermod"_s, {u"-p"_s, u"*"_s, name});
}

void giveTo(const QString &path, const QString &name, uint mode)
{
    const passwd *pw = ::getpwnam(name.toLocal8Bit().constData());
    QVERIFY(pw && ::chown(QFile::encodeName(path).constData(), pw->pw_uid, pw->pw_gid) == 0);
    QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0);
}

// A port on 127.0.0.1 that nobody listens on now.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0
                    && ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &size) == 0;
    ::close(fd);
    return ok ? ntohs(a.sin_port) : 0;
}

struct stat statOf(const QString &path)
{
    struct stat st {
    };
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

} // namespace

class TstRemote : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void roundTripAsTheOwner();
    void faults_data();
    void faults();
    void killedDuringSave();
    void cancelDuringSave();
    void agentInputCutShort_data();
    void agentInputCutShort();
    void saveAsAdministrator();

private:
    QString place(const QString &path, const QString &as = kOwner) const
    {
        return (as.isEmpty() ? QString() : u"sudo:"_s + as + u':') + u"ssh://"_s + kLogin + u"@127.0.0.1:"_s
               + QString::number(m_port) + path;
    }
    void useSsh(const QString &config) { qputenv("VESK_SSH", (u"ssh -F "_s + config).toLocal8Bit()); }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    QString script(const QString &name, const QByteArray &body);

    QTemporaryDir m_dir;
    QString m_srv; // the tracker's folder, the owner's
    QString m_sshConfig;
    int m_port = 0;
    QProcess m_sshd;
    bool m_ready = false;
};

void TstRemote::initTestCase()
{
    if (::geteuid() != 0 || !QFileInfo::exists(u"/usr/sbin/sshd"_s))
        QSKIP("needs root and OpenSSH's server");
    QVERIFY(account(kLogin, true) && account(kOwner, false));
    QVERIFY(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                    | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                                                    | QFile::ExeOther));
    for (const char *key : {"host_key", "client_key", "other_key"})
        QVERIFY(run(u"ssh-keygen"_s, {u"-q"_s, u"-t"_s, u"ed25519"_s, u"-N"_s, QString(), u"-f"_s,
                                      file(QLatin1StringView(key))}));
    QVERIFY(QFile::copy(file(u"client_key.pub"_s), file(u"authorized_keys_"_s + kLogin)));
    m_port = freePort();
    QVERIFY(m_port > 0);
    writeBytes(file(u"sshd_config"_s), QStringList{u"ListenAddress 127.0.0.1"_s, u"Port %1"_s.arg(m_port),
                                                   u"HostKey "_s + file(u"host_key"_s),
                                                   u"AuthorizedKeysFile "_s + file(u"authorized_keys_%u"_s),
                                                   u"PidFile "_s + file(u"sshd.pid"_s), u"UsePAM no"_s,
                                                   u"StrictModes no"_s, u"PasswordAuthentication no"_s,
                                                   u"KbdInteractiveAuthentication no"_s, u"LogLevel ERROR"_s}
                                               .join(u'\n')
                                               .toUtf8()
                                           + '\n');
    writeBytes(file(u"known_hosts"_s),
               u"[127.0.0.1]:%1 "_s.arg(m_port).toUtf8() + readBytes(file(u"host_key.pub"_s)));
    m_sshConfig = file(u"ssh_config"_s);
    writeBytes(m_sshConfig,
               (u"Host *\n  IdentityFile "_s + file(u"client_key"_s) + u"\n  UserKnownHostsFile "_s
                + file(u"known_hosts"_s) + u"\n  IdentitiesOnly yes\n  BatchMode yes\n"_s)
                   .toUtf8());
    // The login account may act as the owner for veskcfg, and for nothing else.
    writeBytes(
        kSudoers,
        (kLogin + u" ALL=("_s + kOwner + u") NOPASSWD: "_s + QStringLiteral(VESKCFG_PATH) + u'\n').toUtf8());
    QVERIFY(QFile::setPermissions(kSudoers, QFile::ReadOwner | QFile::ReadGroup));
    QDir().mkpath(u"/run/sshd"_s);
    m_sshd.start(u"/usr/sbin/sshd"_s,
                 {u"-D"_s, u"-f"_s, file(u"sshd_config"_s), u"-E"_s, file(u"sshd.log"_s)});
    QVERIFY(m_sshd.waitForStarted());
    for (int i = 0; i < 100
                    && !run(u"ssh"_s, {u"-F"_s, m_sshConfig, u"-p"_s, QString::number(m_port),
                                       kLogin + u"@127.0.0.1"_s, u"true"_s});
         ++i)
        QTest::qWait(50);
    qputenv("VESKCFG", QStringLiteral(VESKCFG_PATH).toLocal8Bit());
    m_srv = file(u"srv"_s);
    QVERIFY(QDir().mkdir(m_srv));
    giveTo(m_srv, kOwner, 0755);
    m_ready = true;
}

void TstRemote::cleanupTestCase()
{
    QFile::remove(kSudoers);
    m_sshd.terminate();
    m_sshd.waitForFinished(5000);
}

void TstRemote::init()
{
    if (!m_ready)
        QSKIP("no server");
    useSsh(m_sshConfig);
    qputenv("VESKCFG", QStringLiteral(VESKCFG_PATH).toLocal8Bit());
    for (const QString &name : QDir(m_srv).entryList(QDir::Files | QDir::Hidden))
        QFile::remove(m_srv + u'/' + name);
}

QString TstRemote::script(const QString &name, const QByteArray &body)
{
    const QString path = file(name);
    writeBytes(path, "#!/bin/sh\n" + body + '\n');
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                    | QFile::ExeOther);
    return path;
}

// Through the window, as the file's owner: the same bytes as the same edit
// made to a local copy, and the owner and mode stay the owner's.
void TstRemote::roundTripAsTheOwner()
{
    const QByteArray original = readBytes(QFINDTESTDATA("../sample/vesk.cfg"));
    const QString remote = m_srv + u"/vesk.cfg"_s;
    writeBytes(remote, original);
    giveTo(remote, kOwner, 0640);
    Session here, there;
    here.load(original);
    there.w.load(place(remote));
    QCOMPARE(shown(there.tk), QStringList());
    QVERIFY2(there.w.windowTitle().endsWith(u" - 127.0.0.1:"_s + remote), qPrintable(there.w.windowTitle()));
    for (Session *s : {&here, &there}) {
        s->w.valueBox(catalogue::slotOf(u"port"))->setText(u"7001"_s);
        s->w.rawText()->appendPlainText(u"# added over ssh"_s);
        QVERIFY(s->w.save());
    }
    QCOMPARE(readBytes(remote), readBytes(here.cfg()));
    QCOMPARE(readBytes(m_srv + u"/veskold.cfg"_s), original);
    const struct stat st = statOf(remote);
    QCOMPARE(st.st_uid, ::getpwnam("vesktest")->pw_uid);
    QCOMPARE(st.st_mode & 07777, mode_t(0640));
    QCOMPARE(statOf(m_srv + u"/veskold.cfg"_s).st_uid, ::getpwnam("vesktest")->pw_uid);
}

// Each fault a user can meet opening or saving over ssh, with what the
// user is told; the file on the server stays as it was.
enum class Setup {
    Plain,
    ClosedPort,
    UnknownKey,
    ChangedKey,
    WrongAccount,
    NoVeskcfg,
    OldVeskcfg,
    OtherVersion,
    SudoPassword,
    NotWritable,
    ChangedOnServer,
    FullDisk
};

void TstRemote::faults_data()
{
    QTest::addColumn<int>("setup");
    QTest::addColumn<bool>("atOpen");
    QTest::addColumn<QString>("told");
    QTest::newRow("unreachable host") << int(Setup::ClosedPort) << true << u"Connection refused"_s;
    QTest::newRow("unknown host key") << int(Setup::UnknownKey) << true << u"Host key verification failed"_s;
    QTest::newRow("changed host key") << int(Setup::ChangedKey) << true << u"IDENTIFICATION HAS CHANGED"_s;
    QTest::newRow("refused authentication") << int(Setup::WrongAccount) << true << u"Permission denied"_s;
    QTest::newRow("veskcfg missing") << int(Setup::NoVeskcfg) << true
                                     << u"install the veskcfg package there"_s;
    QTest::newRow("veskcfg too old") << int(Setup::OldVeskcfg) << true << u"too old to serve the editor"_s;
    QTest::newRow("another protocol version") << int(Setup::OtherVersion) << true << u"speaks version 99"_s;
    QTest::newRow("sudo wants a password") << int(Setup::SudoPassword) << true << u"wants a password"_s;
    QTest::newRow("permission denied") << int(Setup::NotWritable) << false << u"Permission denied"_s;
    QTest::newRow("changed on the server") << int(Setup::ChangedOnServer) << false << u"File changed"_s;
    QTest::newRow("full disk on the server") << int(Setup::FullDisk) << false << u"No space left on device"_s;
}

void TstRemote::faults()
{
    QFETCH(int, setup);
    QFETCH(bool, atOpen);
    QFETCH(QString, told);
    QString folder = m_srv, as = kOwner;
    QTemporaryDir other;
    auto config = [&](const QString &knownHosts) {
        const QString c = other.filePath(u"ssh_config"_s);
        writeBytes(c, readBytes(m_sshConfig).replace(file(u"known_hosts"_s).toUtf8(), knownHosts.toUtf8()));
        useSsh(c);
    };
    QString target = place(m_srv + u"/vesk.cfg"_s);
    switch (Setup(setup)) {
    case Setup::ClosedPort: target.replace(u":%1/"_s.arg(m_port), u":%1/"_s.arg(m_port == 1 ? 2 : 1)); break;
    case Setup::UnknownKey: config(other.filePath(u"none"_s)); break;
    case Setup::ChangedKey:
        writeBytes(other.filePath(u"known"_s),
                   u"[127.0.0.1]:%1 "_s.arg(m_port).toUtf8() + readBytes(file(u"other_key.pub"_s)));
        config(other.filePath(u"known"_s));
        break;
    case Setup::WrongAccount: target.replace(kLogin + u'@', u"nobody@"_s); break;
    case Setup::NoVeskcfg:
        target = place(m_srv + u"/vesk.cfg"_s, QString());
        qputenv("VESKCFG", "/nonexistent/veskcfg");
        break;
    case Setup::OldVeskcfg:
        target = place(m_srv + u"/vesk.cfg"_s, QString());
        qputenv("VESKCFG",
                script(u"old"_s, "echo 'veskcfg: unknown command \"agent\"' >&2; exit 2").toLocal8Bit());
        break;
    case Setup::OtherVersion:
        target = place(m_srv + u"/vesk.cfg"_s, QString());
        qputenv("VESKCFG", script(u"future"_s, "echo 'VESK-AGENT 99'; cat >/dev/null").toLocal8Bit());
        break;
    case Setup::SudoPassword: target = place(m_srv + u"/vesk.cfg"_s, u"nobody"_s); break;
    case Setup::NotWritable: target = place(m_srv + u"/vesk.cfg"_s, QString()); break;
    case Setup::FullDisk:
        folder = other.filePath(u"small"_s);
        QVERIFY(QDir().mkdir(folder));
        if (!run(u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=64k"_s, u"tmpfs"_s, folder}))
            QSKIP("cannot mount a tmpfs here");
        giveTo(folder, kOwner, 0755);
        QVERIFY(QFile::setPermissions(other.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                        | QFile::ReadOther | QFile::ExeOther));
        target = place(folder + u"/vesk.cfg"_s);
        break;
    case Setup::Plain:
    case Setup::ChangedOnServer: break;
    }
    auto unmount = qScopeGuard([&] {
        if (Setup(setup) == Setup::FullDisk)
            run(u"umount"_s, {folder});
    });
    const QString remote = folder + u"/vesk.cfg"_s;
    const QByteArray before = "port = 6969\r\n# a note\r\n";
    writeBytes(remote, before);
    giveTo(remote, kOwner, 0644);

    Session s;
    s.tk.type(QString()); // the question for another path, answered with Cancel
    s.w.load(target);
    if (atOpen) {
        QVERIFY2(shown(s.tk).join(u'\n').contains(told), qPrintable(shown(s.tk).join(u'\n')));
    } else {
        QCOMPARE(shown(s.tk), QStringList());
        s.w.rawText()->appendPlainText(QString(Setup(setup) == Setup::FullDisk ? 70000 : 10, u'x'));
        if (Setup(setup) == Setup::ChangedOnServer) {
            writeBytes(remote + u".new"_s, "port = 1\r\n");
            QCOMPARE(::rename(QFile::encodeName(remote + u".new"_s).constData(),
                              QFile::encodeName(remote).constData()),
                     0);
            s.tk.answer(Answer::No);
        }
        QVERIFY(!s.w.save());
        QVERIFY2(shown(s.tk).join(u'\n').contains(told), qPrintable(shown(s.tk).join(u'\n')));
        if (Setup(setup) == Setup::ChangedOnServer) {
            QCOMPARE(readBytes(remote), QByteArray("port = 1\r\n"));
            return;
        }
    }
    QCOMPARE(readBytes(remote), before);
    QVERIFY(!QFile::exists(folder + u"/veskold.cfg"_s));
}

// The editor's ssh killed at a random moment of a save, twenty times: the
// file on the server is each time the old bytes or the new, never a mix,
// and the backup a complete earlier version.
void TstRemote::killedDuringSave()
{
    const QString remote = m_srv + u"/vesk.cfg"_s;
    QByteArray content = "port = 1\r\n";
    writeBytes(remote, content);
    giveTo(remote, kOwner, 0644);
    std::vector<QByteArray> versions{content};
    FaultyFiles files;
    ConfigDocument doc(files);
    QVERIFY(doc.open(place(remote)).ok());
    int oldCount = 0, newCount = 0;
    for (int round = 0; round < 20; ++round) {
        ConfigContent next;
        next.values[size_t(catalogue::slotOf(u"port"))] = QString::number(2 + round);
        next.misc = QString(2'000'000, QChar(u'a' + round)) + u'\n';
        const QByteArray bytes = *composeConfig(next);
        const pid_t self = ::getpid();
        std::thread killer([self, delay = QRandomGenerator::global()->bounded(250)] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            QProcess::execute(u"pkill"_s, {u"-KILL"_s, u"-P"_s, QString::number(self), u"-x"_s, u"ssh"_s});
        });
        const SaveOutcome out = doc.save(next);
        killer.join();
        const QByteArray now = readBytes(remote);
        QVERIFY2(now == bytes || now == versions.back(),
                 qPrintable(u"round %1: neither old nor new"_s.arg(round)));
        QVERIFY(std::find(versions.begin(), versions.end(), readBytes(m_srv + u"/veskold.cfg"_s))
                    != versions.end()
                || !QFile::exists(m_srv + u"/veskold.cfg"_s));
        // What the editor says is what happened.
        QCOMPARE(out.ok(), now == bytes);
        (now == bytes ? newCount : oldCount) += 1;
        if (now == bytes)
            versions.push_back(bytes);
        else if (const auto again = doc.open(place(remote)); !again) // start again from what is there
            QFAIL(qPrintable(u"round %1: %2"_s.arg(round).arg(again.reason())));
    }
    qInfo("killed during a save: %d old, %d new, 0 partial", oldCount, newCount);
}

// Cancel during a save leaves the file untouched or wholly saved, and the
// outcome says which.
void TstRemote::cancelDuringSave()
{
    const QString remote = m_srv + u"/vesk.cfg"_s;
    writeBytes(remote, "port = 1\r\n");
    giveTo(remote, kOwner, 0644);
    Session s;
    s.w.load(place(remote));
    s.w.rawText()->appendPlainText(QString(30'000'000, u'x'));
    int waits = 0;
    // Cancel at the third wait of the save, and only then.
    s.tk.onWait = [&](const QString &, qint64) { return ++waits != 3; };
    const bool saved = s.w.save();
    QVERIFY(waits >= 3);
    QCOMPARE(saved, readBytes(remote).contains("xxxx"));
    if (!saved)
        QVERIFY2(shown(s.tk).last().contains(u"left as it was"_s), qPrintable(shown(s.tk).last()));
}

// The agent's input cut short or damaged: nothing on the disk changes.
void TstRemote::agentInputCutShort_data()
{
    QTest::addColumn<QByteArray>("input");
    const QByteArray bytes = "port = 2\r\n";
    const QByteArray sha = agent::sha256(bytes).toLatin1();
    const QByteArray header = R"({"op":"write","size":"10","sha256":")" + sha + R"("})";
    QTest::newRow("header cut short") << header.first(20);
    QTest::newRow("header without its line end") << header;
    QTest::newRow("bytes cut short") << header + '\n' + bytes.first(5);
    QTest::newRow("bytes damaged") << header + '\n' + "port = 3\r\n";
    QTest::newRow("no JSON") << QByteArray("write everything\n") + bytes;
    QTest::newRow("size too large") << QByteArray(R"({"op":"write","size":"99999999999"})") + '\n';
}

void TstRemote::agentInputCutShort()
{
    QFETCH(QByteArray, input);
    const QString cfg = file(u"agent.cfg"_s);
    writeBytes(cfg, "port = 1\r\n");
    QFile::remove(backupPathFor(cfg));
    QProcess agent;
    agent.start(QStringLiteral(VESKCFG_PATH), {u"agent"_s, u"--file"_s, cfg});
    agent.write(input);
    agent.closeWriteChannel();
    QVERIFY(agent.waitForFinished(10000));
    QCOMPARE(readBytes(cfg), QByteArray("port = 1\r\n"));
    QVERIFY(!QFile::exists(backupPathFor(cfg)));
    QVERIFY(agent.readAllStandardOutput().startsWith("VESK-AGENT 1\n"));
}

// A local file this account may not write: the refused save offers the
// administrator, who saves through the same agent (here without asking
// anyone: VESK_ELEVATE is the plain env program).
void TstRemote::saveAsAdministrator()
{
    qputenv("VESK_ELEVATE", "env");
    Session s;
    s.load("port = 1\r\n");
    s.w.valueBox(catalogue::slotOf(u"port"))->setText(u"2"_s);
    for (FaultyFiles::Op op : {FaultyFiles::Op::Open, FaultyFiles::Op::OpenInPlace})
        s.tk.faultyFiles().failOn({op, 1, -1, u"vesk.cfg"_s, u"Permission denied"_s, EACCES});
    s.tk.answer(Answer::Yes);
    QVERIFY2(s.w.save(), qPrintable(shown(s.tk).join(u'\n')));
    QVERIFY2(shown(s.tk).first().contains(u"Save as administrator"_s), qPrintable(shown(s.tk).first()));
    QCOMPARE(readBytes(s.cfg()), QByteArray("port = 2\r\n"));
    QCOMPARE(readBytes(s.backup()), QByteArray("port = 1\r\n"));
    qunsetenv("VESK_ELEVATE");
}

QTEST_MAIN(TstRemote)
#include "tst_remote.moc"
