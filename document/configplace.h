#pragma once

#include "base/result.h"

#include <QString>

#include <functional>

namespace vesk
{

// Where a configuration file is, as the user names it:
//   /srv/vesk/vesk.cfg, vesk.cfg, ./odd:name.cfg   this machine
//   host:/srv/vesk/vesk.cfg, user@host:vesk.cfg      another machine, over ssh
//   ssh://[user@]host[:port]/srv/vesk/vesk.cfg       the same, with a port
// and any of them after "sudo:ACCOUNT:" to act there as ACCOUNT (the file's
// owner, say). A name with a colon is this machine's when a file of that
// name exists here; "./" in front makes it so always.
struct ConfigPlace {
    QString path;          // on the machine that holds the file
    QString host;          // empty: this machine
    QString user;          // to log in as there; empty: as ssh decides
    int port = 0;          // 0: as ssh decides
    QString account;       // to act as there, through sudo; empty: the login account
    bool elevated = false; // this machine, through the elevation command

    bool local() const { return host.isEmpty(); }
    // Runs through an agent (another machine, another account, or elevated).
    bool throughAgent() const { return !local() || !account.isEmpty() || elevated; }
    // The place written out again, as the location file records it.
    QString text() const;
    // "host:path" for a file elsewhere, the path for one here.
    QString shortName() const;
};

// Understands a place as the user wrote it. exists says whether a local
// file of that name exists (a name with a colon then stays local).
Result<ConfigPlace> parsePlace(const QString &text, const std::function<bool(const QString &)> &exists);

} // namespace vesk
