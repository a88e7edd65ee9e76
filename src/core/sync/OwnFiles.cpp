#include "sync/OwnFiles.h"

#include "common/FolderLock.h"
#include "config/ConfigData.h"
#include "sync/SyncState.h"

namespace kestrivel {

std::vector<std::string> ProgramOwnFiles(const TConfigData& config) {
    return {config.SettingsPath(), config.MemosPath(), config.SchemesPath(),
            SyncStatePath(config.ProgramFolder()), config.ProgramFolder() + "/" + FolderLock::kFileName};
}

} // namespace kestrivel
