#include "config/IniFile.h"

#include "common/BinaryStream.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace kestrivel;

namespace fs = std::filesystem;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    TempFolder m_temp{"kestrivel-ini"};

    void SetUp() override {
        m_folder = m_temp.path();
        m_path = (m_folder / "Settings.ini").string();
    }

    void writeRaw(const std::string& text) const { WriteBytes(m_path, text); }
    std::string readRaw() const { return ReadBytes(m_path); }

    fs::path m_folder;
    std::string m_path;
};

TEST_F(IniFileTest, MissingFileReadsAsEmptyAndDefaultsApply) {
    const TIniFile ini(m_path);
    EXPECT_TRUE(ini.readable());
    EXPECT_EQ(ini.readString("Options", "DateFormat", "ddddd"), "ddddd");
    EXPECT_EQ(ini.readInteger("Settings", "Left", 40), 40);
    EXPECT_EQ(ini.text(), "");
}

TEST_F(IniFileTest, SectionsAndKeysAreCaseInsensitive) {
    writeRaw("[OPTIONS]\nlanguagefile=KestriFr.lang\n");
    const TIniFile ini(m_path);
    EXPECT_TRUE(ini.valueExists("Options", "LanguageFile"));
    EXPECT_EQ(ini.readString("Options", "LANGUAGEFILE", "x"), "KestriFr.lang");
    EXPECT_EQ(ini.readString("Settings", "LanguageFile", "x"), "x");
}

TEST_F(IniFileTest, NamesAndValuesAreTrimmedAndOnePairOfQuotesRemoved) {
    writeRaw("  [ Options ]  \n"
             "\tKey1 =  value with  inner blanks \t\n"
             "Key2=\"  quoted  \"\n"
             "Key3='single'\n"
             "Key4=\"\"twice\"\"\n"
             "Key5=\"unbalanced'\n"
             "Key6=\"\n"
             "Key7=\n");
    const TIniFile ini(m_path);
    EXPECT_EQ(ini.readString("Options", "Key1", ""), "value with  inner blanks");
    EXPECT_EQ(ini.readString("Options", "Key2", ""), "  quoted  ");
    EXPECT_EQ(ini.readString("Options", "Key3", ""), "single");
    EXPECT_EQ(ini.readString("Options", "Key4", ""), "\"twice\"");
    EXPECT_EQ(ini.readString("Options", "Key5", ""), "\"unbalanced'");
    EXPECT_EQ(ini.readString("Options", "Key6", ""), "\"");
    // Present but empty is not missing.
    EXPECT_EQ(ini.readString("Options", "Key7", "default"), "");
}

TEST_F(IniFileTest, CrLfAndLfBothRead) {
    writeRaw("[A]\r\nx=1\r\ny=two\r\n[B]\nz=3");
    const TIniFile ini(m_path);
    EXPECT_EQ(ini.readString("A", "y", ""), "two");
    EXPECT_EQ(ini.readInteger("A", "x", 0), 1);
    EXPECT_EQ(ini.readInteger("B", "z", 0), 3);
    // Written back with LF only.
    EXPECT_EQ(ini.text(), "[A]\nx=1\ny=two\n[B]\nz=3\n");
}

TEST_F(IniFileTest, FirstSectionAndFirstKeyWin) {
    writeRaw("[A]\nk=first\nk=second\n[a]\nk=third\nonly=here\n");
    TIniFile ini(m_path);
    EXPECT_EQ(ini.readString("A", "k", ""), "first");
    EXPECT_EQ(ini.readString("A", "only", "missing"), "missing");
    ini.setString("a", "K", "new");
    EXPECT_EQ(ini.text(), "[A]\nk=new\nk=second\n[a]\nk=third\nonly=here\n");
}

TEST_F(IniFileTest, ReadIsCutAt2047Bytes) {
    const std::string longValue(3000, 'v');
    const std::string exact(2047, 'e');
    writeRaw("[S]\nlong=" + longValue + "\nexact=" + exact + "\n");
    const TIniFile ini(m_path);
    EXPECT_EQ(ini.readString("S", "long", ""), std::string(2047, 'v'));
    EXPECT_EQ(ini.readString("S", "exact", ""), exact);
    // The line itself is kept whole on rewrite.
    EXPECT_NE(ini.text().find(longValue), std::string::npos);
}

TEST_F(IniFileTest, LimitCountsCharactersOfTheDecodedText) {
    const struct {
        std::string Raw, Expected;
    } cases[] = {
        // 2046 ASCII characters then a two-byte character: it is the 2047th and stays whole.
        {std::string(2046, 'a') + "\xC3\xA9tail", std::string(2046, 'a') + "\xC3\xA9"},
        // Windows-1252 0x84 is U+201E, three bytes of UTF-8: 2047 of them.
        {std::string(3000, '\x84'),
         [] {
             std::string s;
             for (int i = 0; i < 2047; ++i) {
                 s += "\xE2\x80\x9E";
             }
             return s;
         }()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Raw.substr(0, 4));
        writeRaw("[S]\nk=" + c.Raw + "\n");
        EXPECT_EQ(TIniFile(m_path).readString("S", "k", ""), c.Expected);
    }
}

TEST_F(IniFileTest, IntegersFollowTheProfileRules) {
    writeRaw("[S]\ndec= -12 \nhex=0x1F\nHEX=0X10\ndollar=$ff\nshort=0x\nword=yes\nmixed=12abc\n"
             "empty=\nbig=99999999999\n");
    const TIniFile ini(m_path);
    EXPECT_EQ(ini.readInteger("S", "dec", 0), -12);
    EXPECT_EQ(ini.readInteger("S", "hex", 0), 31);
    EXPECT_EQ(ini.readInteger("S", "short", 5), 5);
    EXPECT_EQ(ini.readInteger("S", "dollar", 0), 255);
    EXPECT_EQ(ini.readInteger("S", "word", 7), 7);
    EXPECT_EQ(ini.readInteger("S", "mixed", 7), 7);
    EXPECT_EQ(ini.readInteger("S", "empty", 7), 7);
    EXPECT_EQ(ini.readInteger("S", "big", 7), 7);
    EXPECT_EQ(ini.readInteger("S", "missing", -3), -3);
}

TEST_F(IniFileTest, ExistingKeyIsReplacedInPlaceKeepingItsSpellingAndComments) {
    writeRaw("; written by hand\n[Options]\n  AUTORUN = 0\n# "
             "note\nLanguageFile=KestriEn.lang\n\n[Settings]\nLeft=5\n");
    TIniFile ini(m_path);
    ini.setString("options", "autorun", "1");
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(readRaw(), "; written by hand\n[Options]\nAUTORUN=1\n# note\nLanguageFile=KestriEn.lang\n\n"
                         "[Settings]\nLeft=5\n");
}

TEST_F(IniFileTest, NewKeyGoesAfterTheLastKeyOfItsSection) {
    writeRaw("[Options]\nAutorun=1\n; trailing comment\n\n[Settings]\nLeft=5\n");
    TIniFile ini(m_path);
    ini.setString("Options", "AutoUpdate", "0");
    ini.setInteger("Settings", "Top", 7);
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(readRaw(),
              "[Options]\nAutorun=1\nAutoUpdate=0\n; trailing comment\n\n[Settings]\nLeft=5\nTop=7\n");
}

TEST_F(IniFileTest, NewKeyInEmptySectionFollowsItsHeader) {
    writeRaw("[Empty]\n\n[Other]\na=1\n");
    TIniFile ini(m_path);
    ini.setString("empty", "k", "v");
    EXPECT_EQ(ini.text(), "[Empty]\nk=v\n\n[Other]\na=1\n");
}

TEST_F(IniFileTest, NewSectionGoesToTheEndAfterABlankLine) {
    writeRaw("[Options]\nAutorun=1");
    TIniFile ini(m_path);
    ini.setInteger("Settings", "Left", -50);
    ini.setInteger("Settings", "Top", 30000);
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(readRaw(), "[Options]\nAutorun=1\n\n[Settings]\nLeft=-50\nTop=30000\n");

    const TIniFile again(m_path);
    EXPECT_EQ(again.readInteger("Settings", "Left", 0), -50);
    EXPECT_EQ(again.readInteger("Settings", "Top", 0), 30000);
}

TEST_F(IniFileTest, FirstWriteCreatesTheFile) {
    TIniFile ini(m_path);
    ini.setString("Options", "DateFormat", "dddddd");
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(readRaw(), "[Options]\nDateFormat=dddddd\n");
}

TEST_F(IniFileTest, OddLinesAreKeptAndAreNotKeys) {
    writeRaw("stray text before any section\n[S]\njust words\n;k=commented\n=no name\n[broken\nx=1\n");
    TIniFile ini(m_path);
    EXPECT_FALSE(ini.valueExists("S", "just words"));
    EXPECT_FALSE(ini.valueExists("S", ";k"));
    EXPECT_FALSE(ini.valueExists("S", "k"));
    // A header without its bracket still opens a section.
    EXPECT_EQ(ini.readInteger("broken", "x", 0), 1);
    ini.setString("S", "k", "v");
    EXPECT_EQ(ini.text(),
              "stray text before any section\n[S]\njust words\n;k=commented\n=no name\nk=v\n[broken\nx=1\n");
}

TEST_F(IniFileTest, ValueCannotInjectLines) {
    TIniFile ini(m_path);
    ini.setString("S", "k", "one\n[Evil]\nx=1");
    EXPECT_EQ(ini.text(), "[S]\nk=one\n");
    EXPECT_EQ(ini.readString("S", "k", ""), "one");
    EXPECT_FALSE(ini.valueExists("Evil", "x"));
}

TEST_F(IniFileTest, ByteOrderMarkIsSkippedAndKept) {
    writeRaw("\xEF\xBB\xBF[S]\nk=1\n");
    TIniFile ini(m_path);
    EXPECT_EQ(ini.readInteger("S", "k", 0), 1);
    ini.setInteger("S", "k", 2);
    EXPECT_EQ(ini.text(), "\xEF\xBB\xBF[S]\nk=2\n");
}

TEST_F(IniFileTest, WrittenValueReadsBackTrimmed) {
    TIniFile ini(m_path);
    ini.setString("S", "k", "  'x'  ");
    EXPECT_EQ(ini.readString("S", "k", ""), "x");
    EXPECT_EQ(ini.text(), "[S]\nk=  'x'  \n");
}

TEST_F(IniFileTest, FailedSaveLeavesTheOldFileWhole) {
    writeRaw("[S]\nk=old\n");
    // The settings path names a file inside a regular file: no folder to write into.
    const std::string blocked = (m_folder / "Settings.ini" / "Settings.ini").string();
    TIniFile ini(blocked);
    ini.setString("S", "k", "new");
    EXPECT_FALSE(ini.save());
    EXPECT_EQ(readRaw(), "[S]\nk=old\n");

    const std::string noFolder = (m_folder / "missing" / "Settings.ini").string();
    TIniFile other(noFolder);
    other.setString("S", "k", "new");
    EXPECT_FALSE(other.save());
    EXPECT_FALSE(fs::exists(noFolder));
}

TEST_F(IniFileTest, UnreadableFileIsNeverReplaced) {
    // A folder where the file should be cannot be read, so it must not be overwritten either.
    fs::create_directory(m_path);
    TIniFile ini(m_path);
    EXPECT_FALSE(ini.readable());
    EXPECT_EQ(ini.readString("S", "k", "d"), "d");
    ini.setString("S", "k", "v");
    EXPECT_FALSE(ini.save());
    EXPECT_TRUE(fs::is_directory(m_path));
}

TEST_F(IniFileTest, SaveLeavesNoTemporaryFilesBehind) {
    TIniFile ini(m_path);
    ini.setString("S", "k", "v");
    ASSERT_TRUE(ini.save());
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(m_folder)) {
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST_F(IniFileTest, HugeFileIsReadAndLookupsStillWork) {
    std::string data = "[Big]\n";
    for (int i = 0; i < 40000; ++i) {
        data += "key" + std::to_string(i) + "=value" + std::to_string(i) + "\n";
    }
    data += "[Options]\nStartOfWeek=3\n";
    data += "Huge=" + std::string(200 * 1024, 'h') + "\n";
    writeRaw(data);
    TIniFile ini(m_path);
    EXPECT_EQ(ini.readString("Big", "KEY39999", ""), "value39999");
    EXPECT_EQ(ini.readInteger("Options", "StartOfWeek", 0), 3);
    EXPECT_EQ(ini.readString("Options", "Huge", "").size(), TIniFile::MaxValueLength);
    ini.setString("Options", "StartOfWeek", "4");
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(readRaw().size(), data.size());
}

} // namespace
