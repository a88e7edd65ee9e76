#include "FuzzFile.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

const std::string& WriteFuzzInput(const uint8_t* data, size_t size) {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/kestrivel-fuzz-" + std::to_string(::getpid());
    }();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        if (size > 0) {
            std::fwrite(data, 1, size, f);
        }
        std::fclose(f);
    }
    return path;
}
