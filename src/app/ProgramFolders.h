#pragma once

#include "config/ProgramPaths.h"

namespace kestrivel {

// Where the program keeps its files (beside itself, or for an installed or read-only copy in the
// user's configuration folder) and the folders searched for language files and shipped schemes;
// the program folder is created (0700) when missing. Needs the application object (it asks where the
// executable lies).
ProgramPaths FindProgramPaths();

} // namespace kestrivel
