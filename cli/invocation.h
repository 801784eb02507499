#pragma once

#include "base/result.h"

#include <QString>
#include <QStringList>

#include <variant>

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

    // The commands that change the file.
    bool changes() const;
};

// What to print instead of running a command: the help or the version.
struct Answer {
    QString text;
};

// The command line understood, the answer it asks for, or why it is wrong
// (Fault::BadValue, with the message).
Result<std::variant<Invocation, Answer>> parseInvocation(const QStringList &arguments);

// The slot of a setting named on the command line; an unknown key fails
// with up to three known keys it was probably meant as.
Result<int> slotArgument(const QString &key);

} // namespace vesk::cli
