// Schemes.dat and exported scheme files: loading and importing must never crash, leak or
// allocate past what the file holds, and a loaded list must save again.
#include <cstddef>
#include <cstdint>

#include "FuzzFile.h"
#include "schemes/UnitSchemes.h"

using namespace kestrivel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = WriteFuzzInput(data, size);
    TSchemeList list;
    list.LoadFromFile(path);
    for (uint16_t i = 0; i < list.Count(); ++i) {
        if (list.Get(i) == nullptr) {
            __builtin_trap();
        }
    }
    list.ImportFromFile(path);
    TScheme working = DefaultScheme();
    ImportNamedScheme(list, working, path);
    return 0;
}
