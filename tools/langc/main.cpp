// langc: turns a language source into a ".lang" file and back.
//
//   langc compile SOURCE OUT.lang
//   langc decompile IN.lang OUT.txt
//
// Exit code 0 on success, 1 on a bad source or file, 2 on wrong usage.

#include <cstdio>
#include <string>

#include "common/BinaryStream.h"
#include "common/SafeFile.h"
#include "lang/LangSource.h"

using namespace kestrivel;

namespace {

int Usage() {
    std::fprintf(stderr, "usage: langc compile SOURCE OUT.lang\n"
                         "       langc decompile IN.lang OUT.txt\n");
    return 2;
}

int Compile(const std::string& in, const std::string& out) {
    std::string source;
    if (!ReadWholeFile(in, source)) {
        std::fprintf(stderr, "langc: cannot read %s\n", in.c_str());
        return 1;
    }
    std::string bytes;
    TLangSourceError error;
    if (!CompileLangSource(source, bytes, error)) {
        if (error.Line > 0) {
            std::fprintf(stderr, "%s:%d: error: %s\n", in.c_str(), error.Line, error.Message.c_str());
        } else {
            std::fprintf(stderr, "%s: error: %s\n", in.c_str(), error.Message.c_str());
        }
        return 1;
    }
    if (!WriteFileAtomic(out, bytes)) {
        std::fprintf(stderr, "langc: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}

int Decompile(const std::string& in, const std::string& out) {
    std::string bytes;
    if (!ReadWholeFile(in, bytes)) {
        std::fprintf(stderr, "langc: cannot read %s\n", in.c_str());
        return 1;
    }
    std::string source, error, warning;
    if (!DecompileLangFile(bytes, source, error, warning)) {
        std::fprintf(stderr, "%s: error: %s\n", in.c_str(), error.c_str());
        return 1;
    }
    if (!warning.empty()) {
        std::fprintf(stderr, "%s: warning: %s\n", in.c_str(), warning.c_str());
    }
    if (!WriteFileAtomic(out, source)) {
        std::fprintf(stderr, "langc: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        return Usage();
    }
    const std::string command = argv[1];
    if (command == "compile") {
        return Compile(argv[2], argv[3]);
    }
    if (command == "decompile") {
        return Decompile(argv[2], argv[3]);
    }
    return Usage();
}
