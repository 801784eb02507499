#pragma once

#include "base/result.h"

#include <QString>
#include <QStringList>

namespace vesk::cli
{

inline const QString kProgram = QStringLiteral("veskcfg");

// A command line, understood.
struct Invocation {
    QString file; // --file, as given
    bool json = false;
    bool all = false;
    bool dryRun = false;
    bool force = false;
    bool noBackup = false;
    QString command;
    QStringList args;
    // Printed instead of running a command: the help or the version.
    QString answer;

    // The commands that change the file.
    bool changes() const;
};

// The command line understood, or why it is wrong (Fault::BadValue, with
// the message).
Result<Invocation> parseInvocation(const QStringList &arguments);

// The slot of a setting named on the command line; an unknown key fails
// with up to three known keys it was probably meant as.
Result<int> slotArgument(const QString &key);

} // namespace vesk::cli
