#include "schemes/SchemeFiles.h"

#include "common/BinaryStream.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <filesystem>
#include <string>

using namespace kestrivel;

namespace {

constexpr size_t kCap = size_t{64} << 20;

// The built-in look named "-1": 297 bytes of record (6 for the name, 32 for zone 0 without a font,
// 37 for each "Arial" zone), 320 bytes of Schemes.dat with the 23-byte head.
TScheme defaultWithFont(size_t fontLength) {
    TScheme scheme = DefaultScheme();
    scheme.Name = "-1";
    scheme.Settings[0].FontName.assign(fontLength, 'f');
    return scheme;
}

} // namespace

TEST(SchemeFiles, SizesAreKnownBeforeWriting) {
    const struct {
        const char* name;
        std::string schemeName;
        size_t font, record;
    } cases[] = {
        {"built-in look", "-1", 0, 297},
        {"longer name", "Blue sky", 0, 303},
        {"empty name", "", 0, 295},
        {"font in zone 0", "-1", 11, 308},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TScheme scheme = defaultWithFont(c.font);
        scheme.Name = c.schemeName;
        EXPECT_EQ(schemeRecordSize(scheme), c.record);
        BinaryWriter out;
        scheme.WriteToFile(out);
        EXPECT_EQ(out.data().size(), c.record);
        TSchemeList list;
        list.Append(scheme);
        list.Append(scheme);
        EXPECT_EQ(schemeListFileSize(list), 23 + 2 * c.record);
    }
    EXPECT_EQ(schemeListFileSize(TSchemeList()), 23u);
}

// A file over the 64 MiB read cap would fail at the next start: it is refused, and the file that
// stood there stays as it was.
TEST(SchemeFiles, SavesAndExportsThatWouldPassTheReadCapAreRefused) {
    const struct {
        const char* name;
        bool exported;
        size_t font;
        bool saved;
    } cases[] = {
        {"Schemes.dat at the cap", false, kCap - 320, true},
        {"Schemes.dat one byte over", false, kCap - 319, false},
        {"exported scheme at the cap", true, kCap - 297, true},
        {"exported scheme one byte over", true, kCap - 296, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder("kestrivel-schemecap");
        const std::string path = folder.file("out.dat");
        WriteBytes(path, "previous");
        TSchemeList list;
        list.Append(defaultWithFont(c.font));
        FileStamp written;
        const bool saved = c.exported ? list.ExportToFile(0, path) : saveSchemeList(list, path, written);
        EXPECT_EQ(saved, c.saved);
        if (!c.saved) {
            EXPECT_TRUE(ReadBytes(path) == "previous"); // no 64 MiB in the failure message
            if (!c.exported) {
                EXPECT_FALSE(list.SaveToFile(path));
            }
            continue;
        }
        EXPECT_EQ(std::filesystem::file_size(path), kCap);
        EXPECT_TRUE(c.exported || written == fileStampOf(path));
        TSchemeList back;
        EXPECT_TRUE(c.exported ? back.ImportFromFile(path) : back.LoadFromFile(path));
        EXPECT_EQ(back.Count(), 1);
    }
}

TEST(SchemeFiles, ApplyToTheListNamesTheActiveRecordAfterTheSelection) {
    const struct {
        const char* name;
        bool empty;
        int selected;
        const char* active;
    } cases[] = {
        {"first apply creates the active record", true, -1, "-1"},
        {"selection named", false, 2, "2"},
        {"no selection", false, -1, "-1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TSchemeList list;
        if (!c.empty) {
            TScheme old = DefaultScheme();
            old.Name = "7";
            list.Append(old);
            old.Name = "Named";
            list.Append(old);
        }
        TScheme working = defaultWithFont(4);
        applySchemeToList(c.selected, working, list);
        EXPECT_EQ(working.Name, c.active);
        ASSERT_EQ(list.Count(), c.empty ? 1 : 2);
        EXPECT_EQ(list.Get(0)->Name, c.active);
        EXPECT_EQ(list.Get(0)->Settings[0].FontName, "ffff");
    }
}
