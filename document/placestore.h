#pragma once

#include "document/configplace.h"
#include "store/agentlink.h"
#include "store/configstore.h"

#include <memory>

namespace vesk
{

class FileAccess;

// The store for a place: the disk for a file of this machine, an agent for
// one elsewhere, as another account, or elevated.
std::unique_ptr<ConfigStore> storeFor(FileAccess &files, const ConfigPlace &place, const Waiter &waiter);

// How the agent for a place is started. Another machine: `ssh` (VESK_SSH,
// split into words, names another command) runs `veskcfg agent` there
// (VESKCFG names another), through `sudo -n -u ACCOUNT` where the
// place names an account. This machine: `sudo -n -u ACCOUNT`, or the
// elevation command (VESK_ELEVATE, by default pkexec), runs the veskcfg
// beside the editor.
AgentCommand agentCommand(const ConfigPlace &place);

} // namespace vesk
