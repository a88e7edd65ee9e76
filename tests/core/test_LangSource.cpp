#include "lang/LangSource.h"

#include "common/BinaryStream.h"
#include "common/TextCodec.h"
#include "LangBytes.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

using namespace kestrivel;

using namespace langbytes;
namespace fs = std::filesystem;

namespace {

TLangPack Parse(const std::string& source) {
    TLangPack pack;
    TLangSourceError error;
    EXPECT_TRUE(ParseLangSource(source, pack, error)) << error.ToString();
    return pack;
}

TLangSourceError ParseError(const std::string& source) {
    TLangPack pack;
    TLangSourceError error;
    EXPECT_FALSE(ParseLangSource(source, pack, error)) << source;
    EXPECT_TRUE(pack.Sections.empty());
    EXPECT_FALSE(error.Message.empty());
    return error;
}

std::string Compile(const std::string& source) {
    std::string bytes;
    TLangSourceError error;
    EXPECT_TRUE(CompileLangSource(source, bytes, error)) << error.ToString();
    return bytes;
}

std::string Decompile(const std::string& bytes) {
    std::string source, error, warning;
    EXPECT_TRUE(DecompileLangFile(bytes, source, error, warning)) << error;
    EXPECT_EQ(warning, "");
    return source;
}

} // namespace

TEST(LangSource, CompilesToTheDocumentedBytes) {
    const std::string source = "# a comment\n"
                               "language = English\n"
                               "\n"
                               "[frmMain]\n"
                               "btnDate = ...\n"
                               "PopMenu_Exit=Close\n"
                               "[messages]\n"
                               "Q1 = A scheme named \";\" already exists\n";
    const std::string expected = Header() + Lead("English", 0, 2) +
                                 Section("frmMain", {{"btnDate", "..."}, {"PopMenu_Exit", "Close"}}) +
                                 Section("messages", {{"Q1", "A scheme named \";\" already exists"}});
    EXPECT_EQ(Compile(source), expected);
    EXPECT_EQ(Compile(source).substr(0, 18), std::string("\x0C\x00\x00\x00LanguageFile\xC8\x00", 18));
}

TEST(LangSource, TextsAreVerbatimAfterTheFirstEqualsAndTrimmed) {
    TLangPack pack = Parse("language =   Deutsch  \n"
                           "[s]\n"
                           "  a  =   x = y ; z \t\n"
                           "b=\n"
                           "c = # not a comment\n"
                           "d = \\n stays a backslash\n"
                           "e = say \"hi\"\n");
    EXPECT_EQ(pack.LanguageName, "Deutsch");
    const auto& texts = pack.Sections.at(0).Texts;
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[0].Key, "a");
    EXPECT_EQ(texts[0].Text, "x = y ; z");
    EXPECT_EQ(texts[1].Text, "");
    EXPECT_EQ(texts[2].Text, "# not a comment");
    EXPECT_EQ(texts[3].Text, "\\n stays a backslash");
    EXPECT_EQ(texts[4].Text, "say \"hi\"");
    EXPECT_EQ(pack.Sections[0].Count, 5);
    EXPECT_EQ(pack.SectionCount, 1);
}

TEST(LangSource, QuotedFormsKeepBlanksAndTakeEscapes) {
    TLangPack pack = Parse("language = \"  padded \"\n"
                           "[\"odd ] name\"]\n"
                           "\"k=ey\" = \"\"\n"
                           "\"\" = \"  lead and trail  \"\n"
                           "esc = \"a\\\\b\\\"c\\nd\\re\\tf\\x00g\\xFFh\"\n"
                           "[ plain ]\n"
                           "x = \"\" \n");
    EXPECT_EQ(pack.LanguageName, "  padded ");
    ASSERT_EQ(pack.Sections.size(), 2u);
    EXPECT_EQ(pack.Sections[0].Name, "odd ] name");
    const auto& t = pack.Sections[0].Texts;
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0].Key, "k=ey");
    EXPECT_EQ(t[0].Text, "");
    EXPECT_EQ(t[1].Key, "");
    EXPECT_EQ(t[1].Text, "  lead and trail  ");
    EXPECT_EQ(t[2].Text, std::string("a\\b\"c\nd\re\tf\0g\xFFh", 15));
    EXPECT_EQ(pack.Sections[1].Name, "plain");
    EXPECT_EQ(pack.Sections[1].Texts.at(0).Text, "");
}

TEST(LangSource, LayoutHeaderValueBomAndLineEndings) {
    TLangPack pack = Parse("\xEF\xBB\xBFlanguage = Fran\xC3\xA7"
                           "ais\r\n"
                           "headervalue = 65535\r\n"
                           "layout = headerless\r\n"
                           "[s]\r\n"
                           "k = v\r\n");
    EXPECT_EQ(pack.LanguageName, "Fran\xC3\xA7"
                                 "ais");
    EXPECT_EQ(pack.HeaderValue, 65535);
    EXPECT_FALSE(pack.HasHeader);
    EXPECT_EQ(pack.Sections.at(0).Texts.at(0).Text, "v");
    std::string bytes, error;
    ASSERT_TRUE(EncodeLangFile(pack, bytes, error));
    EXPECT_EQ(bytes, Lead("Fran\xC3\xA7"
                          "ais",
                          65535, 1) +
                         Section("s", {{"k", "v"}}));
    EXPECT_TRUE(Parse("language = x\nlayout = header\n").HasHeader);
    EXPECT_TRUE(Parse("language = x\n").HasHeader);
    // Settings are only read before the first section; after it they are texts.
    TLangPack later = Parse("language = x\n[s]\nlayout = headerless\n");
    EXPECT_TRUE(later.HasHeader);
    EXPECT_EQ(later.Sections.at(0).Texts.at(0).Key, "layout");
}

TEST(LangSource, DuplicatesAreKeptInOrder) {
    TLangPack pack = Parse("language = x\n[a]\nk = 1\nk = 2\n[a]\nk = 3\n");
    ASSERT_EQ(pack.Sections.size(), 2u);
    EXPECT_EQ(pack.Sections[0].Texts.size(), 2u);
    EXPECT_EQ(pack.FindText("a", "k")->Text, "1");
}

TEST(LangSource, ErrorsNameTheLine) {
    struct Case {
        const char* source;
        int line;
        const char* words;
    };
    const Case cases[] = {
        {"", 1, "language"},
        {"# only a comment\n\n", 2, "language"},
        {"[frmMain]\nk = v\n", 1, "language"},
        {"headervalue = 1\nlanguage = x\n", 1, "language"},
        {"language = x\n[s]\nno equals sign\n", 3, "key = text"},
        {"language = x\n[s]\n = text\n", 3, "missing key"},
        {"language = x\n[s]\nk = \"open\n", 3, "closing quote"},
        {"language = x\n[s]\nk = \"a\" b\n", 3, "after the closing quote"},
        {"language = x\n[s]\nk = \"\\q\"\n", 3, "unknown escape"},
        {"language = x\n[s]\nk = \"\\x4\"\n", 3, "hexadecimal"},
        {"language = x\n[s]\n\"k\" v\n", 3, "\"=\""},
        {"language = x\n[s\n", 2, "]"},
        {"language = x\n[]\n", 2, "section name"},
        {"language = x\n[   ]\n", 2, "section name"},
        {"language = x\nlanguage = y\n", 2, "twice"},
        {"language = x\nheadervalue = 65536\n", 2, "headervalue"},
        {"language = x\nheadervalue = -1\n", 2, "headervalue"},
        {"language = x\nheadervalue = 1x\n", 2, "headervalue"},
        {"language = x\nheadervalue =\n", 2, "headervalue"},
        {"language = x\nheadervalue = 1\nheadervalue = 2\n", 3, "twice"},
        {"language = x\nlayout = sideways\n", 2, "layout"},
        {"language = x\nlayout = header\nlayout = header\n", 3, "twice"},
        {"language = x\nversion = 200\n", 2, "unknown setting"},
        {"language = x\n[s]\nk = caf\xE9\n", 3, "UTF-8"},
    };
    for (const auto& c : cases) {
        const TLangSourceError error = ParseError(c.source);
        EXPECT_EQ(error.Line, c.line) << c.source;
        EXPECT_NE(error.Message.find(c.words), std::string::npos) << c.source << " -> " << error.Message;
        EXPECT_EQ(error.ToString().rfind("line " + std::to_string(c.line) + ": ", 0), 0u) << error.ToString();
    }
}

TEST(LangSource, HeaderlessFileCannotBeNamedLikeTheHeader) {
    const TLangSourceError error = ParseError("language = LanguageFile\nlayout = headerless\n");
    EXPECT_EQ(error.Line, 0);
    EXPECT_EQ(error.ToString(), error.Message);
    // With a header the name is harmless.
    const std::string bytes = Compile("language = LanguageFile\n");
    TLangPack pack;
    EXPECT_TRUE(pack.LoadFromBytes(bytes));
    EXPECT_EQ(pack.LanguageName, "LanguageFile");
    TLangPack headerless;
    headerless.HasHeader = false;
    headerless.LanguageName = "LanguageFile";
    std::string out, message;
    EXPECT_FALSE(EncodeLangFile(headerless, out, message));
}

TEST(LangSource, CountsAreLimitedTo65535) {
    std::string ok = "language = x\n[s]\n";
    for (int i = 0; i < 65535; ++i) {
        ok += "k = v\n";
    }
    TLangPack pack = Parse(ok);
    EXPECT_EQ(pack.Sections.at(0).Count, 65535);
    const TLangSourceError error = ParseError(ok + "k = v\n");
    EXPECT_EQ(error.Line, 65535 + 3);
    EXPECT_NE(error.Message.find("65535"), std::string::npos);

    std::string sections = "language = x\n";
    for (int i = 0; i < 65536; ++i) {
        sections += "[s]\n";
    }
    const TLangSourceError tooMany = ParseError(sections);
    EXPECT_EQ(tooMany.Line, 65536 + 1);

    TLangPack big;
    big.Sections.resize(65536);
    std::string out, message;
    EXPECT_FALSE(EncodeLangFile(big, out, message));
    EXPECT_NE(message.find("65535"), std::string::npos);
}

TEST(LangSource, FormatsReadableSource) {
    TLangPack pack = Parse(
        "language = English\n[frmMain]\nbtnDate = ...\nfrmMain = \"\"\n[messages]\nQ2 = Delete \";\"?\n");
    EXPECT_EQ(FormatLangSource(pack), "language = English\n"
                                      "\n"
                                      "[frmMain]\n"
                                      "btnDate = ...\n"
                                      "frmMain = \"\"\n"
                                      "\n"
                                      "[messages]\n"
                                      "Q2 = Delete \";\"?\n");
}

TEST(LangSource, DecompileThenCompileGivesTheSameBytes) {
    for (const char* name : {"LangHeader.lang", "LangHeaderless.lang", "LangWindows1252.lang"}) {
        const std::string bytes = ReadBytes(FixturePath(name));
        const std::string source = Decompile(bytes);
        EXPECT_EQ(Compile(source), bytes) << name;
    }
    // Windows-1252 bytes come out as escapes, so the source stays UTF-8.
    const std::string source = Decompile(ReadBytes(FixturePath("LangWindows1252.lang")));
    EXPECT_TRUE(IsValidUtf8(source));
    EXPECT_NE(source.find("\\xE7"), std::string::npos);
}

TEST(LangSource, CompileDecompileCompileIsStable) {
    const std::string source =
        "language = Test\nheadervalue = 513\n[a]\nk = v\n\"[k]\" = \" x \"\n[\"\"]\n\"#\" = \"\\r\\n\"\n";
    const std::string once = Compile(source);
    const std::string again = Compile(Decompile(once));
    EXPECT_EQ(again, once);
}

TEST(LangSource, ArbitraryPacksSurviveTheRoundTrip) {
    // Strings built from the characters that need care in the source form.
    const std::string alphabet = std::string("ab =[]#\"\\;\t\r\n\x7F\x01", 16) + "\xC3\xA9\xE9\xFF\x80";
    std::mt19937 rng(12345);
    auto randomString = [&](size_t maxLen) {
        std::string s;
        const size_t len = rng() % (maxLen + 1);
        for (size_t i = 0; i < len; ++i) {
            s.push_back(alphabet[rng() % alphabet.size()]);
        }
        return s;
    };
    for (int round = 0; round < 300; ++round) {
        TLangPack pack;
        pack.HasHeader = rng() % 2 == 0;
        do {
            pack.LanguageName = randomString(8);
        } while (!pack.HasHeader && pack.LanguageName == pack.Header);
        pack.HeaderValue = static_cast<uint16_t>(rng());
        const size_t sections = rng() % 4;
        for (size_t s = 0; s < sections; ++s) {
            TLangSect sect;
            sect.Name = randomString(6);
            const size_t pairs = rng() % 4;
            for (size_t p = 0; p < pairs; ++p) {
                sect.Texts.push_back({randomString(6), randomString(10)});
            }
            pack.Sections.push_back(sect);
        }
        std::string bytes, error;
        ASSERT_TRUE(EncodeLangFile(pack, bytes, error)) << error;
        std::string source, warning;
        ASSERT_TRUE(DecompileLangFile(bytes, source, error, warning)) << error;
        EXPECT_EQ(warning, "");
        EXPECT_TRUE(IsValidUtf8(source)) << round;
        std::string again;
        TLangSourceError parseError;
        ASSERT_TRUE(CompileLangSource(source, again, parseError)) << parseError.ToString() << "\n" << source;
        EXPECT_EQ(again, bytes) << round << "\n" << source;
    }
}

TEST(LangSource, DecompileRefusesBrokenFilesAndWarnsAboutLostBytes) {
    for (const char* name : {"BrokenLangVersion199.lang", "BrokenLangVersion201.lang",
                             "BrokenLangCutThird.lang", "BrokenLangHugeCount.lang"}) {
        std::string source, error, warning;
        EXPECT_FALSE(DecompileLangFile(ReadBytes(FixturePath(name)), source, error, warning)) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
    std::string source, error, warning;
    EXPECT_FALSE(DecompileLangFile("", source, error, warning));
    EXPECT_NE(error.find("not a language file"), std::string::npos);
    EXPECT_FALSE(
        DecompileLangFile(ReadBytes(FixturePath("BrokenLangCutThird.lang")), source, error, warning));
    EXPECT_NE(error.find("2 complete"), std::string::npos) << error;

    const std::string good = ReadBytes(FixturePath("LangHeader.lang"));
    ASSERT_TRUE(DecompileLangFile(good + "tail", source, error, warning));
    EXPECT_FALSE(warning.empty());
    EXPECT_EQ(Compile(source), good);
    // A negative count reads as empty but compiles back as 0.
    ASSERT_TRUE(DecompileLangFile(Header() + I32(-3) + U16(0) + U16(0), source, error, warning));
    EXPECT_FALSE(warning.empty());
    EXPECT_EQ(Compile(source), Header() + I32(0) + U16(0) + U16(0));
}

namespace {

std::string LangcPath() {
    return std::string(KESTRIVEL_BIN_DIR) + "/langc";
}

// Runs a command, returning its exit status and what it printed on stderr and stdout.
int RunCommand(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    char buf[512];
    size_t n = 0;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) {
        output.append(buf, n);
    }
    return pclose(pipe);
}

class LangcTool : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("kestrivel_langc_" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        if (!fs::exists(LangcPath())) {
            GTEST_SKIP() << "langc not built";
        }
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Path(const char* name) { return (m_dir / name).string(); }
    void Write(const char* name, const std::string& data) {
        std::ofstream out(Path(name), std::ios::binary);
        out << data;
    }

    fs::path m_dir;
};

} // namespace

TEST_F(LangcTool, CompilesAndDecompiles) {
    Write("src.txt", "language = Test\n[s]\nk = v\n");
    std::string out;
    ASSERT_EQ(RunCommand(LangcPath() + " compile " + Path("src.txt") + " " + Path("out.lang"), out), 0)
        << out;
    EXPECT_EQ(ReadBytes(Path("out.lang")), Header() + Lead("Test", 0, 1) + Section("s", {{"k", "v"}}));
    ASSERT_EQ(RunCommand(LangcPath() + " decompile " + Path("out.lang") + " " + Path("back.txt"), out), 0)
        << out;
    ASSERT_EQ(RunCommand(LangcPath() + " compile " + Path("back.txt") + " " + Path("again.lang"), out), 0)
        << out;
    EXPECT_EQ(ReadBytes(Path("again.lang")), ReadBytes(Path("out.lang")));
}

TEST_F(LangcTool, ReportsTheLineOfABadSourceAndWritesNothing) {
    Write("bad.txt", "language = Test\n[s]\nk = v\nbroken\n");
    std::string out;
    EXPECT_NE(RunCommand(LangcPath() + " compile " + Path("bad.txt") + " " + Path("out.lang"), out), 0);
    EXPECT_NE(out.find("bad.txt:4: error:"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(Path("out.lang")));
    EXPECT_NE(
        RunCommand(LangcPath() + " decompile " + FixturePath("BrokenLangCutThird.lang") + " " + Path("x.txt"),
                   out),
        0);
    EXPECT_NE(out.find("error"), std::string::npos);
    EXPECT_NE(RunCommand(LangcPath() + " compile " + Path("missing.txt") + " " + Path("out.lang"), out), 0);
    EXPECT_NE(RunCommand(LangcPath() + " frobnicate a b", out), 0);
    EXPECT_NE(out.find("usage"), std::string::npos);
    EXPECT_NE(RunCommand(LangcPath(), out), 0);
}
