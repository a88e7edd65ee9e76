#include "FuzzFile.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace kestrivel {

namespace {

const std::string& ScratchPath() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/kestrivel-fuzz-" + std::to_string(::getpid());
    }();
    return path;
}

} // namespace

const std::string& WriteFuzzInput(const uint8_t* data, size_t size) {
    const std::string& path = ScratchPath();
    // Registered after the path exists, so it runs before the path is destroyed.
    static const bool removedAtExit = (std::atexit([] { std::remove(ScratchPath().c_str()); }), true);
    (void)removedAtExit;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        if (size > 0) {
            std::fwrite(data, 1, size, f);
        }
        std::fclose(f);
    }
    return path;
}

} // namespace kestrivel
