#include "lang/LanguagePack.h"

#include "common/BinaryStream.h"
#include "LangBytes.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <filesystem>
#include <fstream>
#include <string>

using namespace kestrivel;

using namespace langbytes;
namespace fs = std::filesystem;

namespace {

// The three sections make_lang_fixtures.py writes.
std::string FixtureSections() {
    return Section("frmMain", {{"btnDate", "..."}, {"PopMenu_Exit", "Close"}, {"Weekdays", "MTWTFSS"}}) +
           Section("frmConfig", {{"btnApply", "Apply"}, {"cmbDateFormat", "Short;Long"}}) +
           Section("messages", {{"E0", "Error"},
                                {"Q1", "A scheme named \";\" already exists, do you want to replace it?"}});
}

std::string FixtureBody() {
    return Lead("English", 0x1234, 3) + FixtureSections();
}

void ExpectFixtureSections(const TLangPack& pack) {
    ASSERT_EQ(pack.Sections.size(), 3u);
    EXPECT_EQ(pack.SectionCount, 3);
    EXPECT_EQ(pack.LanguageName, "English");
    EXPECT_EQ(pack.HeaderValue, 0x1234);
    EXPECT_EQ(pack.Sections[0].Name, "frmMain");
    EXPECT_EQ(pack.Sections[1].Name, "frmConfig");
    EXPECT_EQ(pack.Sections[2].Name, "messages");
    ASSERT_EQ(pack.Sections[0].Texts.size(), 3u);
    EXPECT_EQ(pack.Sections[0].Count, 3);
    EXPECT_EQ(pack.Sections[0].Texts[1].Key, "PopMenu_Exit");
    EXPECT_EQ(pack.Sections[0].Texts[1].Text, "Close");
    EXPECT_EQ(pack.Sections[0].Texts[2].Text, "MTWTFSS");
    ASSERT_EQ(pack.Sections[1].Texts.size(), 2u);
    EXPECT_EQ(pack.Sections[1].Texts[1].Text, "Short;Long");
    ASSERT_EQ(pack.Sections[2].Texts.size(), 2u);
    EXPECT_EQ(pack.Sections[2].Texts[1].Key, "Q1");
}

class LanguagePackFiles : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("kestrivel_langpack_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Write(const std::string& name, const std::string& data) {
        const std::string path = (m_dir / name).string();
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        return path;
    }

    fs::path m_dir;
};

} // namespace

TEST(LanguagePack, StartsEmptyWithTheAcceptedVersion) {
    TLangPack pack;
    EXPECT_EQ(pack.Header, "LanguageFile");
    EXPECT_EQ(pack.Version, 200);
    EXPECT_EQ(pack.MinVersion, 200);
    EXPECT_TRUE(pack.LanguageName.empty());
    EXPECT_EQ(pack.HeaderValue, 0);
    EXPECT_TRUE(pack.Sections.empty());
    EXPECT_EQ(pack.SectionCount, 0);
}

TEST(LanguagePack, HeaderFixtureHasTheDocumentedBytes) {
    const std::string data = ReadBytes(FixturePath("LangHeader.lang"));
    ASSERT_GE(data.size(), 22u);
    const std::string head("\x0C\x00\x00\x00LanguageFile\xC8\x00", 18);
    EXPECT_EQ(data.substr(0, 18), head);
    // The language name's count sits at offset 18.
    EXPECT_EQ(data.substr(18, 4), I32(7));
    EXPECT_EQ(data.substr(22, 7), "English");
    // The fixture comes from a second encoder; it must match the layout built here item by item.
    EXPECT_EQ(data, Header() + FixtureBody());
}

TEST(LanguagePack, LoadsAFileWithHeader) {
    TLangPack pack;
    EXPECT_TRUE(pack.Load(FixturePath("LangHeader.lang")));
    EXPECT_TRUE(pack.HasHeader);
    ExpectFixtureSections(pack);
}

TEST(LanguagePack, HeaderlessFileLoadsTheSameSections) {
    const std::string data = ReadBytes(FixturePath("LangHeaderless.lang"));
    EXPECT_EQ(data, FixtureBody());
    TLangPack pack;
    EXPECT_TRUE(pack.Load(FixturePath("LangHeaderless.lang")));
    EXPECT_FALSE(pack.HasHeader);
    ExpectFixtureSections(pack);
}

TEST(LanguagePack, OtherVersionsAreRejectedAndLeaveThePackEmpty) {
    for (const char* name : {"BrokenLangVersion199.lang", "BrokenLangVersion201.lang"}) {
        TLangPack pack;
        ASSERT_TRUE(pack.Load(FixturePath("LangHeader.lang")));
        EXPECT_FALSE(pack.Load(FixturePath(name))) << name;
        EXPECT_TRUE(pack.Sections.empty()) << name;
        EXPECT_TRUE(pack.LanguageName.empty()) << name;
        EXPECT_EQ(pack.SectionCount, 0) << name;
        EXPECT_FALSE(pack.ReadHeader(FixturePath(name))) << name;
    }
    for (uint16_t version : {0, 1, 199, 201, 0xFFFF}) {
        TLangPack pack;
        EXPECT_FALSE(pack.LoadFromBytes(Header(version) + FixtureBody())) << version;
        EXPECT_FALSE(pack.ReadHeaderFromBytes(Header(version) + FixtureBody())) << version;
    }
}

TEST(LanguagePack, HeaderlessFileNamedLikeTheHeaderIsReadAsHeader) {
    // Written without header: name "LanguageFile", header value 5, no sections. The value is taken
    // as the version and rejected.
    TLangPack pack;
    const std::string rejected = Lead("LanguageFile", 5, 0);
    EXPECT_FALSE(pack.LoadFromBytes(rejected));
    EXPECT_FALSE(pack.ReadHeaderFromBytes(rejected));
    // With header value 200 the version passes; what follows (the section count and nothing more)
    // is too short to be a language name.
    const std::string shortName = Lead("LanguageFile", 200, 0);
    EXPECT_FALSE(pack.LoadFromBytes(shortName));
    EXPECT_TRUE(pack.LanguageName.empty());
    // With a section count of 3 and one more pair of bytes, the name count reads as 3 and the name
    // runs into the bytes after it: a file with header, not the language "LanguageFile".
    const std::string misread = Lead("LanguageFile", 200, 3) + U16(0) + "abc" + U16(9) + U16(0);
    EXPECT_TRUE(pack.LoadFromBytes(misread));
    EXPECT_TRUE(pack.HasHeader);
    EXPECT_EQ(pack.LanguageName, "abc");
    EXPECT_EQ(pack.HeaderValue, 9);
    EXPECT_TRUE(pack.Sections.empty());
}

TEST(LanguagePack, ZeroAndNegativeCountsReadEmptyStringsWithNoBytes) {
    for (int32_t count : {0, -1, -5, INT32_MIN}) {
        // Name with that count, then the header value right after the 4 count bytes; in the section a
        // key and a text with that count, each followed at once by the next item.
        const std::string data = Header() + I32(count) + U16(77) + U16(1) + Str("s") + U16(2) + I32(count) +
                                 I32(count) + Str("k") + I32(count);
        TLangPack pack;
        ASSERT_TRUE(pack.LoadFromBytes(data)) << count;
        EXPECT_EQ(pack.LanguageName, "") << count;
        EXPECT_EQ(pack.HeaderValue, 77) << count;
        ASSERT_EQ(pack.Sections.size(), 1u);
        ASSERT_EQ(pack.Sections[0].Texts.size(), 2u);
        EXPECT_EQ(pack.Sections[0].Texts[0].Key, "");
        EXPECT_EQ(pack.Sections[0].Texts[0].Text, "");
        EXPECT_EQ(pack.Sections[0].Texts[1].Key, "k");
        EXPECT_EQ(pack.Sections[0].Texts[1].Text, "");
    }
    // A first string of count 0 is not the header: the file is read from its start as headerless.
    TLangPack pack;
    ASSERT_TRUE(pack.LoadFromBytes(I32(0) + U16(3) + U16(0)));
    EXPECT_FALSE(pack.HasHeader);
    EXPECT_EQ(pack.HeaderValue, 3);
}

TEST(LanguagePack, CutInTheThirdSectionKeepsTheFirstTwo) {
    TLangPack pack;
    EXPECT_FALSE(pack.Load(FixturePath("BrokenLangCutThird.lang")));
    ASSERT_EQ(pack.Sections.size(), 2u);
    EXPECT_EQ(pack.SectionCount, 3);
    EXPECT_EQ(pack.Sections[0].Name, "frmMain");
    EXPECT_EQ(pack.Sections[1].Name, "frmConfig");
    ASSERT_NE(pack.FindText("frmConfig", "btnApply"), nullptr);
    EXPECT_EQ(pack.FindText("messages", "E0"), nullptr);
}

TEST(LanguagePack, EveryCutKeepsExactlyTheCompleteSections) {
    const std::string lead = Header() + Lead("English", 0x1234, 3);
    const std::string s1 =
        Section("frmMain", {{"btnDate", "..."}, {"PopMenu_Exit", "Close"}, {"Weekdays", "MTWTFSS"}});
    const std::string s2 = Section("frmConfig", {{"btnApply", "Apply"}, {"cmbDateFormat", "Short;Long"}});
    const std::string full = Header() + FixtureBody();
    for (size_t cut = 0; cut < full.size(); ++cut) {
        TLangPack pack;
        EXPECT_FALSE(pack.LoadFromBytes(full.substr(0, cut))) << cut;
        size_t expected = 0;
        if (cut >= lead.size() + s1.size()) {
            expected = 1;
        }
        if (cut >= lead.size() + s1.size() + s2.size()) {
            expected = 2;
        }
        EXPECT_EQ(pack.Sections.size(), expected) << cut;
    }
    TLangPack pack;
    EXPECT_TRUE(pack.LoadFromBytes(full));
    EXPECT_EQ(pack.Sections.size(), 3u);
}

TEST(LanguagePack, BytesAfterTheLastSectionAreIgnored) {
    TLangPack pack;
    EXPECT_TRUE(pack.LoadFromBytes(Header() + FixtureBody() + "trailing garbage\xFF"));
    ExpectFixtureSections(pack);
}

TEST(LanguagePack, HugeCountFailsCleanly) {
    TLangPack pack;
    EXPECT_FALSE(pack.Load(FixturePath("BrokenLangHugeCount.lang")));
    ASSERT_EQ(pack.Sections.size(), 1u);
    EXPECT_EQ(pack.Sections[0].Name, "first");
    // The same count as the first string, as the language name and as a section name.
    EXPECT_FALSE(pack.LoadFromBytes(I32(0x7FFFFFFF) + "abc"));
    EXPECT_FALSE(pack.LoadFromBytes(Header() + I32(0x7FFFFFFF) + "abc"));
    EXPECT_FALSE(pack.ReadHeaderFromBytes(Header() + I32(0x7FFFFFFF) + "abc"));
    EXPECT_FALSE(pack.LoadFromBytes(Header() + Lead("x", 0, 1) + I32(0x7FFFFFFF)));
    EXPECT_TRUE(pack.Sections.empty());
    // A section claiming 65535 pairs with none behind it.
    EXPECT_FALSE(pack.LoadFromBytes(Header() + Lead("x", 0, 65535) + Str("s") + U16(65535)));
    EXPECT_TRUE(pack.Sections.empty());
}

TEST(LanguagePack, DuplicatesFindTheFirstInFileOrder) {
    const std::string data = Header() + Lead("Dup", 0, 3) +
                             Section("frmMain", {{"btnDate", "first"}, {"btnDate", "second"}}) +
                             Section("frmMain", {{"btnDate", "other section"}, {"only", "here"}}) +
                             Section("messages", {{"E0", "Error"}});
    TLangPack pack;
    ASSERT_TRUE(pack.LoadFromBytes(data));
    ASSERT_EQ(pack.FindSection("frmMain"), &pack.Sections[0]);
    ASSERT_NE(pack.FindText("frmMain", "btnDate"), nullptr);
    EXPECT_EQ(pack.FindText("frmMain", "btnDate")->Text, "first");
    // Only the first section of a name is searched.
    EXPECT_EQ(pack.FindText("frmMain", "only"), nullptr);
    EXPECT_EQ(pack.FindSection("messages"), &pack.Sections[2]);
}

TEST(LanguagePack, NamesAndKeysAreCaseSensitive) {
    TLangPack pack;
    ASSERT_TRUE(pack.Load(FixturePath("LangHeader.lang")));
    EXPECT_NE(pack.FindSection("frmMain"), nullptr);
    EXPECT_EQ(pack.FindSection("FrmMain"), nullptr);
    EXPECT_EQ(pack.FindSection("frmmain"), nullptr);
    EXPECT_EQ(pack.FindSection("frmMain "), nullptr);
    EXPECT_EQ(pack.FindText("frmMain", "btndate"), nullptr);
    EXPECT_EQ(pack.FindText("FRMMAIN", "btnDate"), nullptr);
    ASSERT_NE(pack.FindText("frmMain", "btnDate"), nullptr);
    EXPECT_EQ(pack.FindText("frmMain", "btnDate")->Text, "...");
    EXPECT_EQ(pack.FindText("nosuch", "btnDate"), nullptr);
}

TEST(LanguagePack, EmptyNamesFindNothing) {
    const std::string data = Header() + Lead("E", 0, 2) + Section("", {{"k", "in unnamed"}}) +
                             Section("s", {{"", "empty key"}, {"k", "v"}});
    TLangPack pack;
    ASSERT_TRUE(pack.LoadFromBytes(data));
    EXPECT_EQ(pack.FindSection(""), nullptr);
    EXPECT_EQ(pack.FindText("", "k"), nullptr);
    EXPECT_EQ(pack.FindText("s", ""), nullptr);
    ASSERT_NE(pack.FindText("s", "k"), nullptr);
}

TEST_F(LanguagePackFiles, ReadHeaderOnAReusedPackReplacesNameAndValueOnly) {
    const std::string other =
        Write("Other.lang", Header() + Lead("Deutsch", 42, 1) + Section("x", {{"a", "b"}}));
    TLangPack pack;
    ASSERT_TRUE(pack.Load(FixturePath("LangHeader.lang")));
    EXPECT_TRUE(pack.ReadHeader(other));
    EXPECT_EQ(pack.LanguageName, "Deutsch");
    EXPECT_EQ(pack.HeaderValue, 42);
    // The sections of the loaded file stay.
    EXPECT_EQ(pack.Sections.size(), 3u);
    EXPECT_EQ(pack.SectionCount, 3);
    EXPECT_NE(pack.FindText("frmMain", "btnDate"), nullptr);

    // Only the leading items are needed: a file cut right after the header value has a header.
    const std::string cut = Write("Cut.lang", Header() + Str("Espanol") + U16(7));
    EXPECT_TRUE(pack.ReadHeader(cut));
    EXPECT_EQ(pack.LanguageName, "Espanol");
    EXPECT_EQ(pack.HeaderValue, 7);
    TLangPack fresh;
    EXPECT_FALSE(fresh.Load(cut));

    // A failed read leaves what the pack had.
    const std::string broken = Write("Broken.lang", Header() + Str("Italiano") + "\x01");
    EXPECT_FALSE(pack.ReadHeader(broken));
    EXPECT_EQ(pack.LanguageName, "Espanol");
    EXPECT_EQ(pack.HeaderValue, 7);
    EXPECT_FALSE(pack.ReadHeader((m_dir / "missing.lang").string()));
    EXPECT_FALSE(pack.ReadHeader(m_dir.string()));
    EXPECT_EQ(pack.Sections.size(), 3u);
}

TEST_F(LanguagePackFiles, MissingOrUnreadableFileEmptiesThePack) {
    TLangPack pack;
    ASSERT_TRUE(pack.Load(FixturePath("LangHeader.lang")));
    EXPECT_FALSE(pack.Load((m_dir / "missing.lang").string()));
    EXPECT_TRUE(pack.Sections.empty());
    EXPECT_TRUE(pack.LanguageName.empty());
    EXPECT_EQ(pack.HeaderValue, 0);
    ASSERT_TRUE(pack.Load(FixturePath("LangHeader.lang")));
    // A folder is not a file.
    EXPECT_FALSE(pack.Load(m_dir.string()));
    EXPECT_TRUE(pack.Sections.empty());
    // An empty file has not even a language name.
    EXPECT_FALSE(pack.Load(Write("Empty.lang", "")));
}

TEST(LanguagePack, ClearEmptiesEverything) {
    TLangPack pack;
    ASSERT_TRUE(pack.Load(FixturePath("LangHeader.lang")));
    pack.Clear();
    EXPECT_TRUE(pack.LanguageName.empty());
    EXPECT_EQ(pack.HeaderValue, 0);
    EXPECT_TRUE(pack.Sections.empty());
    EXPECT_EQ(pack.SectionCount, 0);
    EXPECT_EQ(pack.FindSection("frmMain"), nullptr);
    EXPECT_EQ(pack.Header, "LanguageFile");
}

TEST(LanguagePack, TextsAreUtf8AfterLoadAndBytesOnRequest) {
    TLangPack pack;
    ASSERT_TRUE(pack.Load(FixturePath("LangWindows1252.lang")));
    EXPECT_EQ(pack.LanguageName, "Fran\xC3\xA7"
                                 "ais");
    ASSERT_NE(pack.FindText("frmMemo", "cmbMonth"), nullptr);
    const std::string months = pack.FindText("frmMemo", "cmbMonth")->Text;
    EXPECT_EQ(months.substr(0, 16), "Janvier;F\xC3\xA9vrier");
    EXPECT_NE(months.find("Ao\xC3\xBBt"), std::string::npos);

    // UTF-8 texts are kept as they are.
    const std::string utf8 = Header() +
                             Lead("Fran\xC3\xA7"
                                  "ais",
                                  0, 1) +
                             Section("s", {{"k", "\xC3\xA9t\xC3\xA9"}});
    ASSERT_TRUE(pack.LoadFromBytes(utf8));
    EXPECT_EQ(pack.LanguageName, "Fran\xC3\xA7"
                                 "ais");
    EXPECT_EQ(pack.FindText("s", "k")->Text, "\xC3\xA9t\xC3\xA9");

    // Raw mode keeps the bytes, for the compiler.
    ASSERT_TRUE(pack.LoadFromBytes(ReadBytes(FixturePath("LangWindows1252.lang")), false));
    EXPECT_EQ(pack.LanguageName, "Fran\xE7"
                                 "ais");
    ASSERT_TRUE(pack.ReadHeaderFromBytes(ReadBytes(FixturePath("LangWindows1252.lang"))));
    EXPECT_EQ(pack.LanguageName, "Fran\xC3\xA7"
                                 "ais");
}

TEST(LanguagePack, LoadingAgainReplacesTheWholePack) {
    TLangPack pack;
    ASSERT_TRUE(pack.Load(FixturePath("LangHeader.lang")));
    ASSERT_TRUE(pack.LoadFromBytes(Header() + Lead("Two", 0, 1) + Section("only", {{"a", "b"}})));
    EXPECT_EQ(pack.Sections.size(), 1u);
    EXPECT_EQ(pack.FindSection("frmMain"), nullptr);
    EXPECT_EQ(pack.LanguageName, "Two");
}

TEST(LanguagePack, TextsAreCappedAndALongerNameIsDamage) {
    const auto repeat = [](const char* s, int n) {
        std::string out;
        while (n-- > 0) {
            out += s;
        }
        return out;
    };
    // Windows-1252 é and € take two and three bytes once decoded; a cut never splits one.
    const std::pair<std::string, std::string> texts[] = {
        {std::string(70000, '\xE9'), repeat("\xC3\xA9", 32768)},
        {"ab" + std::string(30000, '\x80'), "ab" + repeat("\xE2\x82\xAC", 21844)},
    };
    TLangPack pack;
    for (const auto& [raw, expected] : texts) {
        ASSERT_TRUE(pack.LoadFromBytes(Header() + Lead("L", 0, 1) + Section("s", {{"k", raw}})));
        EXPECT_TRUE(pack.FindText("s", "k")->Text == expected) << raw.size();
    }
    for (const size_t length : {size_t{65536}, size_t{65537}}) {
        const std::string bytes = Header() + Lead(std::string(length, 'n'), 0, 0);
        EXPECT_EQ(pack.LoadFromBytes(bytes), length <= TLangPack::MaxTextLength) << length;
        EXPECT_EQ(pack.ReadHeaderFromBytes(bytes), length <= TLangPack::MaxTextLength) << length;
    }
}
