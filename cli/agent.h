#pragma once

#include "cli/commands.h"

#include <QString>

namespace vesk
{
class FileAccess;
}

namespace vesk::cli
{

// `veskcfg agent --file PATH`: serves the editor the file at path over its
// input and output, in the messages store/agentprotocol.h describes, until
// the input ends. Every save is the safe save, with the stamp checked under
// the folder's lock.
int serveAgent(FileAccess &files, const QString &path, int in, int out);

} // namespace vesk::cli
