#include "common/BoundedRead.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "common/DateFormat.h"
#include "config/IniFile.h"
#include "lang/LanguagePack.h"
#include "memos/UnitMemo.h"
#include "schemes/UnitSchemes.h"

#include <fstream>
#include <functional>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrivel;

namespace {

// A valid file of `size` bytes: a fixture (or text) followed by zeros, which every reader ignores.
void ValidFile(const std::string& head, const std::string& path, size_t size) {
    WriteBytes(path, head.ends_with(".dat") || head.ends_with(".lang") ? ReadBytes(FixturePath(head)) : head);
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(size)), 0);
}

// One memo whose text fills the file to `size` bytes (bytes behind the last memo would make the
// file a damaged one).
void MemoFile(const std::string&, const std::string& path, size_t size) {
    std::ofstream out(path, std::ios::binary);
    const int32_t length = static_cast<int32_t>(size - 21 - 13);
    out.write("\x0D\0\0\0CalendarMemos\x64\0\x01\0", 21);
    out.write("\0\0\0\0\0\x1E\xE6\x40\0", 9); // 45296.0 (5 January 2024), Single
    out.write(reinterpret_cast<const char*>(&length), 4);
    out << std::string(static_cast<size_t>(length), 'x');
}

// 65,535 lines of 1,024 bytes, the last one longer: a full memo list from exactly `size` bytes.
void ExchangeFile(const std::string&, const std::string& path, size_t size) {
    std::ofstream out(path, std::ios::binary);
    const std::string line = "01/02/2024|0|" + std::string(1009, 'x') + "\r\n";
    for (size_t i = 1; i < TMemoList::kMaxCount; ++i) {
        out << line;
    }
    out << "01/02/2024|0|" << std::string(size - line.size() * (TMemoList::kMaxCount - 1) - 13, 'y');
}

bool Import(const std::string& path) {
    TLocaleFormats formats;
    formats.ShortDateFormat = "dd/mm/yyyy";
    formats.DateSeparator = '/';
    return TMemoList().ImportFromFile(path, formats);
}

const struct {
    const char* Head;
    size_t Cap;
    bool HeadOnly; // reads the head of a file of any size
    void (*Make)(const std::string&, const std::string&, size_t);
    std::function<bool(const std::string&)> Read;
} kReaders[] = {
    {"memo", kDataFileCap, false, MemoFile, [](auto& p) { return TMemoList().LoadFromFile(p); }},
    {"exchange", kDataFileCap, false, ExchangeFile, Import},
    {"SchemesThree.dat", kDataFileCap, false, ValidFile,
     [](auto& p) { return TSchemeList().LoadFromFile(p); }},
    {"SchemeExported.dat", kDataFileCap, false, ValidFile,
     [](auto& p) { return TSchemeList().ImportFromFile(p); }},
    {"LangHeader.lang", kLanguageFileCap, false, ValidFile, [](auto& p) { return TLangPack().Load(p); }},
    {"LangHeader.lang", size_t{8} << 30, true, ValidFile, [](auto& p) { return TLangPack().ReadHeader(p); }},
    {"[Options]\nStartOfWeek=3\n;", kSettingsFileCap, false, ValidFile,
     [](auto& p) { return TIniFile(p).readInteger("Options", "StartOfWeek", 0) == 3; }},
};

// 1 read, 0 refused, -1 killed: out of memory under a limit a few times the cap, or still blocked
// at the alarm.
int ReadInChild(const std::function<bool(const std::string&)>& read, size_t cap, const std::string& path) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::ifstream status("/proc/self/status");
        std::string key;
        rlim_t kib = 0;
        while (status >> key && key != "VmSize:") {
        }
        status >> kib;
        const rlim_t limit = kib * 1024 + 4 * std::min(cap, kDataFileCap) + (size_t{64} << 20);
        const rlimit rl{limit, limit};
        ::setrlimit(RLIMIT_AS, &rl);
        ::alarm(20);
        try {
            ::_exit(read(path) ? 1 : 0);
        } catch (...) {
            ::_exit(2); // an exception left the reader
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(BoundedRead, EveryReaderTakesOnlyRegularFilesWithinItsCap) {
    for (const auto& r : kReaders) {
        SCOPED_TRACE(r.Head);
        TempFolder folder("kestrivel-bounded");
        const std::string atCap = folder.file("a"), overCap = folder.file("b"), fifo = folder.file("c");
        r.Make(r.Head, atCap, r.Cap);
        r.Make(r.Head, overCap, r.Cap + 1);
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        EXPECT_EQ(ReadInChild(r.Read, r.Cap, atCap), 1);
        EXPECT_EQ(ReadInChild(r.Read, r.Cap, overCap), r.HeadOnly ? 1 : 0);
        EXPECT_EQ(ReadInChild(r.Read, r.Cap, fifo), 0);
        EXPECT_EQ(ReadInChild(r.Read, r.Cap, "/dev/zero"), 0);
    }
}
