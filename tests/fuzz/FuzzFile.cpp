#include "FuzzFile.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace kestrivel {

namespace {

// A private folder: the loaders look for leftovers of interrupted saves beside the file they read.
const std::string& ScratchFolder() {
    static const std::string folder = [] {
        const char* dir = std::getenv("TMPDIR");
        std::string path =
            std::string(dir && *dir ? dir : "/tmp") + "/kestrivel-fuzz-" + std::to_string(::getpid());
        ::mkdir(path.c_str(), 0700);
        return path;
    }();
    return folder;
}

const std::string& ScratchPath() {
    static const std::string path = ScratchFolder() + "/input";
    return path;
}

} // namespace

const std::string& WriteFuzzInput(const uint8_t* data, size_t size) {
    const std::string& path = ScratchPath();
    // Registered after the path exists, so it runs before the path is destroyed.
    static const bool removedAtExit = (std::atexit([] {
                                           std::remove(ScratchPath().c_str());
                                           ::rmdir(ScratchFolder().c_str());
                                       }),
                                       true);
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
