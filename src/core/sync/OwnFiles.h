#pragma once

#include <string>
#include <vector>

namespace kestrivel {

class TConfigData;

// The files the program keeps in its folder: Settings.ini, Memos.dat, Schemes.dat, the sync's state
// and the folder's lock. An export onto one of them would destroy it, so exports refuse them.
std::vector<std::string> ProgramOwnFiles(const TConfigData& config);

} // namespace kestrivel
