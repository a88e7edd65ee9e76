#pragma once

#include <QFunctionPointer>
#include <QStringList>

namespace kestrivel {

// Parts of the program kept in shared objects of their own, so that the libraries behind them are
// loaded only when first used: the update check's network stack ("kestrivel-http") and iCalendar
// reading and writing through libical ("kestrivel-ical"). Without them the calendar still runs;
// only what they do fails.

// Where modules are looked for: beside the program (the build's program folder), then the installed
// module folder found from where the program runs, then the one it was configured for.
QStringList ModuleFolders();

// `symbol` of module `name` from the first of `folders` that holds it; null when none does or the
// symbol is missing. A module once loaded stays loaded.
QFunctionPointer ResolveModuleFunction(const char* name, const char* symbol,
                                       const QStringList& folders = ModuleFolders());

// The same, as the function type the module's header declares for it.
template <typename Function>
Function ResolveModuleFunction(const char* name, const char* symbol,
                               const QStringList& folders = ModuleFolders()) {
    return reinterpret_cast<Function>(ResolveModuleFunction(name, symbol, folders));
}

} // namespace kestrivel
