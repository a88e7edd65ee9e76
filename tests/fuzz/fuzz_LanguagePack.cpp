// Language files: Load and ReadHeader must never crash, leak or allocate past what the file holds;
// whatever a file yields must decompile and compile again to the same contents.
#include <cstddef>
#include <cstdint>

#include "FuzzFile.h"
#include "lang/LangSource.h"
#include "lang/LanguagePack.h"

using namespace kestrivel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = WriteFuzzInput(data, size);
    TLangPack pack;
    pack.Load(path);
    for (const TLangSect& section : pack.Sections) {
        if (pack.FindSection(section.Name) == nullptr && !section.Name.empty()) {
            __builtin_trap();
        }
    }
    pack.ReadHeader(path);

    // A file read completely must come back from the compiler with the same contents (the bytes
    // may differ: a negative string count is written back as 0).
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TLangPack raw;
    if (raw.LoadFromBytes(bytes, false) && raw.HasHeader) {
        std::string source, error, warning;
        if (DecompileLangFile(bytes, source, error, warning)) {
            std::string again;
            TLangSourceError sourceError;
            if (!CompileLangSource(source, again, sourceError)) {
                __builtin_trap();
            }
            TLangPack back;
            if (!back.LoadFromBytes(again, false) || back.LanguageName != raw.LanguageName ||
                back.HeaderValue != raw.HeaderValue || back.Sections.size() != raw.Sections.size()) {
                __builtin_trap();
            }
            for (size_t i = 0; i < raw.Sections.size(); ++i) {
                const TLangSect& a = raw.Sections[i];
                const TLangSect& b = back.Sections[i];
                if (a.Name != b.Name || a.Texts.size() != b.Texts.size()) {
                    __builtin_trap();
                }
                for (size_t k = 0; k < a.Texts.size(); ++k) {
                    if (a.Texts[k].Key != b.Texts[k].Key || a.Texts[k].Text != b.Texts[k].Text) {
                        __builtin_trap();
                    }
                }
            }
        }
    }
    return 0;
}
