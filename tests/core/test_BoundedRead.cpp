#include "common/BoundedRead.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "common/DateFormat.h"
#include "config/IniFile.h"
#include "lang/LanguagePack.h"
#include "memos/UnitMemo.h"
#include "schemes/UnitSchemes.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrivel;

namespace {

// Every reader of the program against files it must not read whole: each case runs in a child
// under an address-space limit and an alarm, so an unbounded read or a hang fails the case.
struct Reader {
    const char* Name;
    size_t Cap;
    bool HeadOnly; // reads the head of any large file
    std::function<void(const std::string& path, size_t size)> MakeValid;
    std::function<bool(const std::string& path)> Read;
};

void FixtureWithZeros(const char* fixture, const std::string& path, size_t size) {
    WriteBytes(path, ReadBytes(FixturePath(fixture)));
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(size)), 0);
}

void ExchangeLines(const std::string& path, size_t size) {
    // 65,535 lines of 1,024 bytes, the last one longer: a full list from exactly `size` bytes.
    std::ofstream out(path, std::ios::binary);
    const std::string line = "01/02/2024|0|" + std::string(1024 - 15, 'x') + "\r\n";
    for (size_t i = 0; i + 1 < TMemoList::kMaxCount; ++i) {
        out << line;
    }
    out << "01/02/2024|0|" << std::string(size - line.size() * (TMemoList::kMaxCount - 1) - 13, 'y');
}

TLocaleFormats Formats() {
    TLocaleFormats f;
    f.ShortDateFormat = "dd/mm/yyyy";
    f.DateSeparator = '/';
    return f;
}

const Reader kReaders[] = {
    {"memo file", kDataFileCap, false, [](auto& p, size_t n) { FixtureWithZeros("MemosTwo.dat", p, n); },
     [](auto& p) { return TMemoList().LoadFromFile(p); }},
    {"exchange import", kDataFileCap, false, ExchangeLines,
     [](auto& p) { return TMemoList().ImportFromFile(p, Formats()); }},
    {"scheme file", kDataFileCap, false,
     [](auto& p, size_t n) { FixtureWithZeros("SchemesThree.dat", p, n); },
     [](auto& p) { return TSchemeList().LoadFromFile(p); }},
    {"scheme import", kDataFileCap, false,
     [](auto& p, size_t n) { FixtureWithZeros("SchemeExported.dat", p, n); },
     [](auto& p) { return TSchemeList().ImportFromFile(p); }},
    {"language file", kLanguageFileCap, false,
     [](auto& p, size_t n) { FixtureWithZeros("LangHeader.lang", p, n); },
     [](auto& p) { return TLangPack().Load(p); }},
    {"language head", size_t{8} << 30, true,
     [](auto& p, size_t n) { FixtureWithZeros("LangHeader.lang", p, n); },
     [](auto& p) { return TLangPack().ReadHeader(p); }},
    {"settings", kSettingsFileCap, false,
     [](auto& p, size_t n) {
         WriteBytes(p, "[Options]\nStartOfWeek=3\n;");
         ASSERT_EQ(::truncate(p.c_str(), static_cast<off_t>(n)), 0);
     },
     [](auto& p) { return TIniFile(p).readInteger("Options", "StartOfWeek", 0) == 3; }},
};

size_t AddressSpaceNow() {
    std::ifstream status("/proc/self/status");
    std::string key;
    size_t kib = 0;
    while (status >> key && key != "VmSize:") {
    }
    status >> kib;
    return kib * 1024;
}

// 1 read, 0 refused; -1 when the child was killed (out of memory, or still blocked at the alarm).
int ReadInChild(const Reader& reader, const std::string& path) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlim_t limit =
            AddressSpaceNow() + 4 * std::min<size_t>(reader.Cap, kDataFileCap) + (size_t{64} << 20);
        const rlimit rl{limit, limit};
        ::setrlimit(RLIMIT_AS, &rl);
        ::alarm(20);
        ::_exit(reader.Read(path) ? 1 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(BoundedRead, EveryReaderTakesOnlyRegularFilesWithinItsCap) {
    for (const Reader& reader : kReaders) {
        SCOPED_TRACE(reader.Name);
        TempFolder folder("kestrivel-bounded");
        const std::string atCap = folder.file("at-cap"), overCap = folder.file("over-cap"),
                          fifo = folder.file("fifo");
        reader.MakeValid(atCap, reader.Cap);
        reader.MakeValid(overCap, reader.Cap + 1);
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        EXPECT_EQ(ReadInChild(reader, atCap), 1);
        EXPECT_EQ(ReadInChild(reader, overCap), reader.HeadOnly ? 1 : 0);
        EXPECT_EQ(ReadInChild(reader, fifo), 0);
        EXPECT_EQ(ReadInChild(reader, "/dev/zero"), 0);
    }
}
