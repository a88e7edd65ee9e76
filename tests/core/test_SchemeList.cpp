#include "schemes/UnitSchemes.h"

#include "common/BinaryStream.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/resource.h>

using namespace kestrivel;

namespace fs = std::filesystem;

namespace {

// The values make_scheme_fixtures.py gives its styled zones.
TScheme Styled(const std::string& name, int seed) {
    TScheme s;
    s.Name = name;
    for (int z = 0; z < kZoneCount; ++z) {
        const int k = seed * 16 + z;
        TSettings& t = s.Settings[z];
        t.FontName = "Font" + std::to_string(k);
        t.FontSize = static_cast<uint16_t>(8 + z);
        t.TextColor = 0x010203u * static_cast<uint32_t>(z + 1);
        t.TextStyle = static_cast<uint8_t>(1 << (z % 4));
        t.Outline = z & 1;
        t.Shadow = (z >> 1) & 1;
        t.EffectColor = 0x00A0B0C0u + k;
        t.BackSolid = true;
        t.BackColor = 0x00112233u + k;
        t.Frame = true;
        t.RoundCorners = z & 1;
        t.FrameColor = 0x00445566u + k;
        t.Padding = static_cast<uint16_t>(z + 1);
        t.Spacing = static_cast<uint16_t>(2 * z + 3);
    }
    return s;
}

TScheme Named(const std::string& name, uint16_t marker = 0) {
    TScheme s = DefaultScheme();
    s.Name = name;
    s.Settings[zoneTitle].Padding = marker;
    return s;
}

std::vector<std::string> Names(const TSchemeList& list) {
    std::vector<std::string> names;
    for (uint16_t i = 0; i < list.Count(); ++i) {
        names.push_back(list.Get(i)->Name);
    }
    return names;
}

// Makes writes beyond `bytes` fail (EFBIG), even for root, until the scope ends.
class FileSizeLimit {
public:
    explicit FileSizeLimit(size_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        ::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    sighandler_t m_oldHandler = SIG_DFL;
};

class SchemeFiles : public ::testing::Test {
protected:
    TempFolder m_temp{"kestrivel-schemes"};

    void SetUp() override { m_dir = m_temp.path(); }
    std::string Path(const char* name) const { return (m_dir / name).string(); }
    size_t FilesInDir() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()));
    }

    fs::path m_dir;
};

} // namespace

// --- In memory ---

TEST(SchemeList, NewListIsEmptyWithHeaderAndVersions) {
    TSchemeList list;
    EXPECT_EQ(list.Header, "CalendarSchemes");
    EXPECT_EQ(list.Version, 110);
    EXPECT_EQ(list.MinVersion, 110);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Get(0), nullptr);
}

TEST(SchemeList, AddKeepsByteOrderBehindActiveRecord) {
    TSchemeList list;
    ASSERT_TRUE(list.Add(Named("-1")));
    list.Add(Named("beta"));
    list.Add(Named("Alpha"));
    list.Add(Named("alpha"));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"-1", "Alpha", "alpha", "beta"}));

    list.Add(Named("apple"));
    list.Add(Named("Zebra"));
    list.Add(Named("alp"));       // a prefix sorts first
    list.Add(Named("\xE9t\xE9")); // bytes above 127 sort after ASCII
    EXPECT_EQ(Names(list), (std::vector<std::string>{"-1", "Alpha", "Zebra", "alp", "alpha", "apple", "beta",
                                                     "\xE9t\xE9"}));
    EXPECT_EQ(list.Count(), 8);
}

TEST(SchemeList, FirstAddBecomesActiveRecordWhateverItsName) {
    TSchemeList list;
    list.Add(Named("zzz"));
    list.Add(Named("aaa"));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"zzz", "aaa"}));
}

TEST(SchemeList, NameBelowDigitsStillGoesBehindActiveRecord) {
    TSchemeList list;
    list.Add(Named("3"));
    list.Add(Named("b"));
    list.Add(Named("(paren)"));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"3", "(paren)", "b"}));
}

TEST(SchemeList, EqualNameGoesInFront) {
    TSchemeList list;
    list.Add(Named("-1"));
    list.Add(Named("same", 1));
    list.Add(Named("same", 2));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Get(1)->Settings[zoneTitle].Padding, 2);
    EXPECT_EQ(list.Get(2)->Settings[zoneTitle].Padding, 1);
    EXPECT_EQ(list.Find("same"), list.Get(1));
}

TEST(SchemeList, AddCopiesAndIgnoresMissingOrUnnamed) {
    TSchemeList list;
    EXPECT_FALSE(list.Add(nullptr));
    EXPECT_FALSE(list.Add(Named("")));
    EXPECT_EQ(list.Count(), 0);
    TScheme mine = Styled("mine", 1);
    list.Add(mine);
    mine.Settings[4].FontName = "changed";
    mine.Name = "other";
    EXPECT_EQ(list.Get(0)->Name, "mine");
    EXPECT_EQ(list.Get(0)->Settings, Styled("mine", 1).Settings);
    EXPECT_NE(list.Get(0), &mine);
}

TEST(SchemeList, FindIsExactAndStartsAtPositionZero) {
    TSchemeList list;
    list.Add(Named("x"));
    list.Add(Named("Night"));
    list.Add(Named("x"));
    ASSERT_EQ(Names(list), (std::vector<std::string>{"x", "Night", "x"}));
    EXPECT_EQ(list.Find("x"), list.Get(0));
    EXPECT_EQ(list.Find("Night"), list.Get(1));
    EXPECT_EQ(list.Find("night"), nullptr);
    EXPECT_EQ(list.Find("Nigh"), nullptr);
    EXPECT_EQ(list.Find(""), nullptr);
    list.Rename(1, "");
    EXPECT_EQ(list.Find(""), nullptr); // even when a scheme bears the empty name
}

TEST(SchemeList, PositionsAtOrBeyondCountDoNothing) {
    TSchemeList list;
    list.Add(Named("-1"));
    list.Add(Named("a"));
    EXPECT_EQ(list.Get(2), nullptr);
    EXPECT_EQ(list.Get(65535), nullptr);
    list.Rename(2, "new");
    list.Delete(2);
    list.Delete(65535);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"-1", "a"}));
}

TEST(SchemeList, RenameDeleteClear) {
    TSchemeList list;
    for (const char* n : {"-1", "a", "b", "c"}) {
        list.Add(Named(n));
    }
    list.Rename(2, "B!");
    EXPECT_EQ(Names(list), (std::vector<std::string>{"-1", "a", "B!", "c"})); // no re-sorting
    list.Delete(1);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"-1", "B!", "c"}));
    list.Delete(2);
    list.Delete(0);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"B!"}));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Get(0), nullptr);
}

TEST(SchemeList, ReplaceByNameKeepsPosition) {
    TSchemeList list;
    list.Add(Named("-1"));
    list.Add(Named("a", 1));
    list.Add(Named("b", 2));
    list.Replace(Styled("unknown", 3));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"-1", "a", "b"}));
    EXPECT_EQ(list.Get(1)->Settings, Named("a", 1).Settings);
    EXPECT_EQ(list.Get(2)->Settings, Named("b", 2).Settings);
    EXPECT_EQ(list.Get(0)->Settings, Named("-1").Settings);

    list.Replace(Styled("a", 3));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"-1", "a", "b"}));
    EXPECT_EQ(list.Get(1)->Settings, Styled("a", 3).Settings);
}

TEST(SchemeList, CountStopsAtSixteenBitLimit) {
    TSchemeList list;
    const TScheme s = Named("n");
    for (size_t i = 0; i < TSchemeList::kMaxCount; ++i) {
        ASSERT_TRUE(list.Append(s));
    }
    EXPECT_EQ(list.Count(), 65535);
    EXPECT_FALSE(list.Add(s));
    EXPECT_FALSE(list.Append(s));
    EXPECT_FALSE(AddNamedScheme(list, DefaultScheme(), s));
    EXPECT_FALSE(ImportNamedScheme(list, DefaultScheme(), FixturePath("SchemeExported.dat")));
    EXPECT_FALSE(list.ImportFromFile(FixturePath("SchemeExported.dat")));
    EXPECT_EQ(list.Count(), 65535);
}

// --- Schemes.dat ---

TEST_F(SchemeFiles, DefaultSchemeSavesTo320ByteFile) {
    TSchemeList list;
    TScheme s = DefaultScheme();
    s.Name = "-1";
    list.Add(s);
    const std::string path = Path("Schemes.dat");
    ASSERT_TRUE(list.SaveToFile(path));
    const std::string d = ReadBytes(path);
    ASSERT_EQ(d.size(), 320u);
    EXPECT_EQ(d.substr(0, 4), std::string("\x0F\0\0\0", 4));
    EXPECT_EQ(d.substr(4, 15), "CalendarSchemes");
    EXPECT_EQ(d.substr(19, 4), std::string("\x6E\0\x01\0", 4));
    EXPECT_EQ(U32At(d, 23), 2u);
    EXPECT_EQ(d.substr(27, 2), "-1");
    size_t at = 29;
    for (int z = 0; z < kZoneCount; ++z) {
        const size_t L = z == 0 ? 0 : 5;
        SCOPED_TRACE(z);
        EXPECT_EQ(U32At(d, at), L);
        EXPECT_EQ(d.substr(at + 4, L), z == 0 ? "" : "Arial");
        EXPECT_EQ(U16At(d, at + 4 + L), z == 0 ? 0 : 10);
        // Every remaining field of the default is zero: colours, style, flags, padding, spacing.
        EXPECT_EQ(d.substr(at + 6 + L, 26), std::string(26, '\0'));
        at += 32 + L;
    }
    EXPECT_EQ(at, d.size());
    EXPECT_EQ(d, ReadBytes(FixturePath("SchemesDefault.dat")));
}

TEST_F(SchemeFiles, SaveMatchesIndependentEncodingAndLoadsBack) {
    TSchemeList list;
    list.Add(Styled("2", 1));
    list.Add(Styled("Blue", 2));
    list.Add(Styled("Gr\xFCn", 3));
    const std::string path = Path("Schemes.dat");
    ASSERT_TRUE(list.SaveToFile(path));
    EXPECT_EQ(ReadBytes(path), ReadBytes(FixturePath("SchemesThree.dat")));

    TSchemeList back;
    back.Add(Named("old"));
    ASSERT_TRUE(back.LoadFromFile(path));
    // The fixture's name is Windows-1252, as older programs wrote it; it reads as UTF-8.
    ASSERT_EQ(Names(back), (std::vector<std::string>{"2", "Blue", "Gr\xC3\xBCn"}));
    for (uint16_t i = 0; i < 3; ++i) {
        EXPECT_EQ(back.Get(i)->Settings, list.Get(i)->Settings) << i;
    }
}

TEST_F(SchemeFiles, EmptyListSavesHeadOnlyAndLoadsEmpty) {
    TSchemeList list;
    const std::string path = Path("Schemes.dat");
    ASSERT_TRUE(list.SaveToFile(path));
    EXPECT_EQ(ReadBytes(path), std::string("\x0F\0\0\0CalendarSchemes\x6E\0\0\0", 23));
    TSchemeList back;
    back.Add(Named("x"));
    EXPECT_TRUE(back.LoadFromFile(path));
    EXPECT_EQ(back.Count(), 0);
}

TEST_F(SchemeFiles, LoadKeepsFileOrderWithoutSorting) {
    const std::string path = Path("Schemes.dat");
    TSchemeList list;
    list.Append(Named("5"));
    list.Append(Named("zeta"));
    list.Append(Named("alpha"));
    list.Append(Named("zeta"));
    ASSERT_TRUE(list.SaveToFile(path));
    TSchemeList back;
    ASSERT_TRUE(back.LoadFromFile(path));
    EXPECT_EQ(Names(back), (std::vector<std::string>{"5", "zeta", "alpha", "zeta"}));
}

TEST_F(SchemeFiles, OtherVersionsAreRejectedWithListUntouched) {
    TSchemeList list;
    list.Add(Styled("-1", 1));
    list.Add(Named("mine"));
    EXPECT_FALSE(list.LoadFromFile(FixturePath("BrokenSchemesVersion111.dat")));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"-1", "mine"}));
    EXPECT_EQ(list.Get(0)->Settings, Styled("-1", 1).Settings);

    std::string d = ReadBytes(FixturePath("SchemesDefault.dat"));
    d[19] = 109;
    WriteBytes(Path("v109.dat"), d);
    EXPECT_FALSE(list.LoadFromFile(Path("v109.dat")));
    EXPECT_EQ(list.Count(), 2);
    // A header with the version cut off is rejected just as whole.
    WriteBytes(Path("noversion.dat"), d.substr(0, 20));
    EXPECT_FALSE(list.LoadFromFile(Path("noversion.dat")));
    EXPECT_EQ(list.Count(), 2);
}

TEST_F(SchemeFiles, MissingOrEmptyFileLeavesListAlone) {
    TSchemeList list;
    list.Add(Named("-1"));
    EXPECT_FALSE(list.LoadFromFile(Path("nothere.dat")));
    WriteBytes(Path("empty.dat"), "");
    EXPECT_FALSE(list.LoadFromFile(Path("empty.dat")));
    EXPECT_FALSE(list.LoadFromFile(m_dir.string())); // a folder is no file
    EXPECT_EQ(Names(list), (std::vector<std::string>{"-1"}));
}

TEST_F(SchemeFiles, FileCutInsideThirdSchemeKeepsTwo) {
    TSchemeList list;
    list.Add(Named("old"));
    EXPECT_FALSE(list.LoadFromFile(FixturePath("BrokenSchemesCutThird.dat")));
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"2", "Blue"}));
    EXPECT_EQ(list.Get(1)->Settings, Styled("Blue", 2).Settings);
}

TEST_F(SchemeFiles, EveryCutKeepsOnlyCompleteSchemes) {
    const std::string full = ReadBytes(FixturePath("SchemesThree.dat"));
    auto recordSize = [](const TScheme& scheme) {
        BinaryWriter out;
        scheme.WriteToFile(out);
        return out.data().size();
    };
    const size_t second = 23 + recordSize(Styled("2", 1));
    const size_t third = second + recordSize(Styled("Blue", 2));
    ASSERT_EQ(full.size(), third + recordSize(Styled("Gr\xFCn", 3)));
    for (size_t cut = 23; cut < full.size(); cut += 7) {
        WriteBytes(Path("cut.dat"), full.substr(0, cut));
        TSchemeList list;
        EXPECT_FALSE(list.LoadFromFile(Path("cut.dat"))) << cut;
        const uint16_t expected = cut >= third ? 2 : cut >= second ? 1 : 0;
        EXPECT_EQ(list.Count(), expected) << cut;
    }
}

TEST_F(SchemeFiles, HeaderlessLayoutIsAccepted) {
    TSchemeList list;
    list.Add(Named("old"));
    ASSERT_TRUE(list.LoadFromFile(FixturePath("SchemesHeaderless.dat")));
    ASSERT_EQ(Names(list), (std::vector<std::string>{"", "Amber"}));
    EXPECT_EQ(list.Get(0)->Settings, Styled("", 4).Settings);
    EXPECT_EQ(list.Get(1)->Settings, Styled("", 5).Settings);
}

TEST_F(SchemeFiles, HeaderlessWhoseFirstBytesReachPastTheEndFailsAtOnce) {
    TSchemeList list;
    list.Add(Named("old"));
    EXPECT_FALSE(list.LoadFromFile(FixturePath("BrokenSchemesHeaderless.dat")));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"old"}));
}

TEST_F(SchemeFiles, HugeCountInSmallFileFailsWithoutHarm) {
    std::string d = ReadBytes(FixturePath("SchemesDefault.dat"));
    d[21] = '\xFF';
    d[22] = '\xFF';
    WriteBytes(Path("huge.dat"), d);
    TSchemeList list;
    EXPECT_FALSE(list.LoadFromFile(Path("huge.dat")));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"-1"}));
}

TEST_F(SchemeFiles, FailedSaveKeepsPreviousSchemesFile) {
    const std::string path = Path("Schemes.dat");
    TSchemeList small;
    small.Add(Named("-1"));
    ASSERT_TRUE(small.SaveToFile(path));
    const std::string before = ReadBytes(path);
    TSchemeList big;
    for (int i = 0; i < 20; ++i) {
        big.Append(Styled("s" + std::to_string(i), i));
    }
    bool saved = true;
    {
        FileSizeLimit limit(1000);
        saved = big.SaveToFile(path);
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(FilesInDir(), 1u); // no temporary file left behind
}

TEST_F(SchemeFiles, FailedExportKeepsPreviousFile) {
    const std::string path = Path("out.dat");
    TSchemeList list;
    list.Add(Named("-1"));
    list.Add(Styled("long", 1));
    ASSERT_TRUE(list.ExportToFile(0, path));
    const std::string before = ReadBytes(path);
    bool exported = true;
    {
        FileSizeLimit limit(before.size() + 10); // the short record fits, the long one does not
        EXPECT_TRUE(list.ExportToFile(0, Path("again.dat")));
        exported = list.ExportToFile(1, path);
    }
    EXPECT_FALSE(exported);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(FilesInDir(), 2u);
}

TEST_F(SchemeFiles, SaveIntoMissingFolderOrOntoFolderFails) {
    TSchemeList list;
    list.Add(Named("-1"));
    EXPECT_FALSE(list.SaveToFile(Path("no/such/folder/Schemes.dat")));
    EXPECT_FALSE(list.SaveToFile(m_dir.string()));
    EXPECT_FALSE(list.ExportToFile(0, Path("no/such/folder/x.dat")));
    EXPECT_EQ(FilesInDir(), 0u);
}

// --- Export and import ---

TEST_F(SchemeFiles, ExportOfMissingPositionCreatesNoFile) {
    TSchemeList list;
    EXPECT_FALSE(list.ExportToFile(0, Path("out.dat")));
    list.Add(Named("-1"));
    EXPECT_FALSE(list.ExportToFile(1, Path("out.dat")));
    EXPECT_FALSE(fs::exists(Path("out.dat")));
    EXPECT_EQ(FilesInDir(), 0u);
}

TEST_F(SchemeFiles, ExportIsOneBareRecord) {
    TSchemeList list;
    list.Add(Named("-1"));
    list.Add(Styled("Blue", 2));
    ASSERT_TRUE(list.ExportToFile(1, Path("blue.dat")));
    EXPECT_EQ(ReadBytes(Path("blue.dat")), ReadBytes(FixturePath("SchemeExported.dat")));
}

TEST_F(SchemeFiles, ExportThenImportAppendsAtEndEvenWithSameName) {
    TSchemeList list;
    list.Add(Named("-1"));
    list.Add(Styled("b", 1));
    list.Add(Named("c"));
    ASSERT_TRUE(list.ExportToFile(1, Path("b.dat")));
    ASSERT_TRUE(list.ImportFromFile(Path("b.dat")));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"-1", "b", "c", "b"}));
    EXPECT_EQ(list.Get(3)->Settings, Styled("b", 1).Settings);
    EXPECT_NE(list.Get(3), list.Get(1));
}

TEST_F(SchemeFiles, ImportIgnoresTrailingBytesAndAcceptsEmptyName) {
    WriteBytes(Path("tail.dat"), ReadBytes(FixturePath("SchemeExported.dat")) + "more bytes");
    TSchemeList list;
    ASSERT_TRUE(list.ImportFromFile(Path("tail.dat")));
    ASSERT_TRUE(list.ImportFromFile(FixturePath("SchemeExported.dat")));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Blue", "Blue"}));

    BinaryWriter out;
    Styled("", 6).WriteToFile(out);
    WriteBytes(Path("noname.dat"), out.data());
    ASSERT_TRUE(list.ImportFromFile(Path("noname.dat")));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Blue", "Blue", ""}));
}

TEST_F(SchemeFiles, FailedImportLeavesListUnchanged) {
    TSchemeList list;
    list.Add(Named("-1"));
    EXPECT_FALSE(list.ImportFromFile(FixturePath("BrokenSchemeExported.dat")));
    EXPECT_FALSE(list.ImportFromFile(Path("missing.dat")));
    WriteBytes(Path("empty.dat"), "");
    EXPECT_FALSE(list.ImportFromFile(Path("empty.dat")));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"-1"}));
}

TEST_F(SchemeFiles, ImportOfSchemesFileReadsItsFirstBytes) {
    // The header string is read as the name; the version and count become the first font name's length.
    TSchemeList list;
    EXPECT_FALSE(list.ImportFromFile(FixturePath("SchemesDefault.dat")));
    EXPECT_EQ(list.Count(), 0);
}

// --- Start-up and apply ---

TEST_F(SchemeFiles, StartupWithoutFileUsesDefaults) {
    TSchemeList list;
    TScheme working;
    working.Name = "junk";
    LoadSchemesAtStartup(Path("Schemes.dat"), list, working);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(working.Name, "");
    EXPECT_EQ(working.Settings, DefaultScheme().Settings);
}

TEST_F(SchemeFiles, StartupTakesActiveRecord) {
    TSchemeList list;
    TScheme working;
    LoadSchemesAtStartup(FixturePath("SchemesThree.dat"), list, working);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(working.Name, "2");
    EXPECT_EQ(working.Settings, Styled("2", 1).Settings);
    EXPECT_NE(&working, list.Get(0));
}

TEST_F(SchemeFiles, StartupWithForeignVersionUsesDefaults) {
    TSchemeList list;
    TScheme working;
    LoadSchemesAtStartup(FixturePath("BrokenSchemesVersion111.dat"), list, working);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(working.Settings, DefaultScheme().Settings);
}

TEST_F(SchemeFiles, StartupWithDamagedFileTakesWhatWasRead) {
    TSchemeList list;
    TScheme working;
    LoadSchemesAtStartup(FixturePath("BrokenSchemesCutThird.dat"), list, working);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(working.Name, "2");
}

TEST_F(SchemeFiles, FirstApplyCreatesActiveRecordAndFile) {
    const std::string path = Path("Schemes.dat");
    TSchemeList list;
    TScheme working = DefaultScheme();
    ASSERT_TRUE(ApplyScheme(-1, working, list, path));
    EXPECT_EQ(working.Name, "-1");
    EXPECT_EQ(Names(list), (std::vector<std::string>{"-1"}));
    EXPECT_EQ(ReadBytes(path), ReadBytes(FixturePath("SchemesDefault.dat")));
}

TEST_F(SchemeFiles, ApplyRewritesActiveRecordOnly) {
    const std::string path = Path("Schemes.dat");
    TSchemeList list;
    TScheme working;
    LoadSchemesAtStartup(FixturePath("SchemesThree.dat"), list, working);
    list.Add(Named("3", 7));
    // Named "3" sits at position 1; the active record must get the styles even so.
    working = Styled("ignored", 9);
    ASSERT_TRUE(ApplyScheme(3, working, list, path));
    EXPECT_EQ(working.Name, "3");
    EXPECT_EQ(Names(list), (std::vector<std::string>{"3", "3", "Blue", "Gr\xC3\xBCn"}));
    EXPECT_EQ(list.Get(0)->Settings, Styled("", 9).Settings);
    EXPECT_EQ(list.Get(1)->Settings, Named("3", 7).Settings);

    TSchemeList back;
    TScheme again;
    LoadSchemesAtStartup(path, back, again);
    EXPECT_EQ(again.Name, "3");
    EXPECT_EQ(again.Settings, Styled("", 9).Settings);
    EXPECT_EQ(back.Count(), 4);
}

TEST_F(SchemeFiles, ApplyReportsFailedSave) {
    TSchemeList list;
    TScheme working = DefaultScheme();
    EXPECT_FALSE(ApplyScheme(0, working, list, Path("missing/Schemes.dat")));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"0"})); // the list in memory is still updated
}

// --- Named schemes while the list is empty ---

TEST(SchemeEditing, AddNamedCreatesActiveRecordFirst) {
    TSchemeList list;
    const TScheme working = Styled("w", 1);
    ASSERT_TRUE(AddNamedScheme(list, working, Named("Mine")));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"-1", "Mine"}));
    EXPECT_EQ(list.Get(0)->Settings, working.Settings);
    ASSERT_TRUE(AddNamedScheme(list, working, Named("Alpha")));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"-1", "Alpha", "Mine"}));
}

TEST(SchemeEditing, AddNamedWithoutNameChangesNothing) {
    TSchemeList list;
    EXPECT_FALSE(AddNamedScheme(list, DefaultScheme(), Named("")));
    EXPECT_EQ(list.Count(), 0);
}

TEST(SchemeEditing, AddNamedOnFilledListIsPlainAdd) {
    TSchemeList list;
    list.Add(Named("5"));
    ASSERT_TRUE(AddNamedScheme(list, Styled("w", 1), Named("(x")));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"5", "(x"}));
    EXPECT_EQ(list.Get(0)->Settings, Named("5").Settings);
}

TEST(SchemeEditing, ImportNamedCreatesActiveRecordFirst) {
    TSchemeList list;
    const TScheme working = Styled("w", 1);
    ASSERT_TRUE(ImportNamedScheme(list, working, FixturePath("SchemeExported.dat")));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"-1", "Blue"}));
    EXPECT_EQ(list.Get(0)->Settings, working.Settings);
    EXPECT_EQ(list.Get(1)->Settings, Styled("Blue", 2).Settings);
    ASSERT_TRUE(ImportNamedScheme(list, working, FixturePath("SchemeExported.dat")));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"-1", "Blue", "Blue"}));
}

TEST(SchemeEditing, FailedImportNamedChangesNothing) {
    TSchemeList list;
    EXPECT_FALSE(ImportNamedScheme(list, DefaultScheme(), FixturePath("BrokenSchemeExported.dat")));
    EXPECT_EQ(list.Count(), 0);
}

TEST(SchemeEditing, RawAddAndImportOnEmptyListTakePositionZero) {
    TSchemeList list;
    list.Add(Named("Mine"));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Mine"}));
    TSchemeList other;
    ASSERT_TRUE(other.ImportFromFile(FixturePath("SchemeExported.dat")));
    EXPECT_EQ(Names(other), (std::vector<std::string>{"Blue"}));
}

TEST_F(SchemeFiles, NamesReadAsUtf8OrWindows1252AndAreFoundDecoded) {
    for (const std::string raw : {"Caf\xE9", "Caf\xC3\xA9"}) {
        SCOPED_TRACE(raw);
        TSchemeList list;
        list.Add(Named(raw));
        ASSERT_TRUE(list.SaveToFile(Path("Schemes.dat")) && list.ExportToFile(0, Path("Exported.dat")));
        TSchemeList back;
        ASSERT_TRUE(back.LoadFromFile(Path("Schemes.dat")) && back.ImportFromFile(Path("Exported.dat")));
        EXPECT_EQ(Names(back), (std::vector<std::string>{"Caf\xC3\xA9", "Caf\xC3\xA9"}));
        ASSERT_NE(back.Find("Caf\xC3\xA9"), nullptr);
        ASSERT_TRUE(back.SaveToFile(Path("Schemes.dat")));
        EXPECT_NE(ReadBytes(Path("Schemes.dat")).find("Caf\xC3\xA9"), std::string::npos);
    }
}
