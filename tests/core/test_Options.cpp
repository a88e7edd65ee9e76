#include "config/Options.h"

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

class OptionsTest : public ::testing::Test {
protected:
    TempFolder m_temp{"kestrivel-options"};

    void SetUp() override {
        m_folder = m_temp.path();
        m_path = (m_folder / "Settings.ini").string();
    }

    void writeRaw(const std::string& text) const { WriteBytes(m_path, text); }
    std::string readRaw() const { return ReadBytes(m_path); }
    TOptions load() const {
        TOptions options;
        // Start from values unlike the defaults so a field left alone shows.
        options.Autorun = false;
        options.AutoUpdate = false;
        options.AlwaysOnTop = true;
        options.ShowWeekdays = false;
        options.ShowWeekNumbers = true;
        options.ShowTodaysMemo = false;
        options.DateFormat = "junk";
        options.LanguageFile = "junk";
        options.StartOfWeek = 5;
        LoadOptions(m_path, options);
        return options;
    }
    uint8_t startOfWeekFor(const std::string& value) {
        writeRaw("[Options]\nStartOfWeek=" + value + "\n");
        return load().StartOfWeek;
    }

    fs::path m_folder;
    std::string m_path;
};

void expectDefaults(const TOptions& o) {
    EXPECT_TRUE(o.Autorun);
    EXPECT_TRUE(o.AutoUpdate);
    EXPECT_FALSE(o.AlwaysOnTop);
    EXPECT_TRUE(o.ShowWeekdays);
    EXPECT_FALSE(o.ShowWeekNumbers);
    EXPECT_TRUE(o.ShowTodaysMemo);
    EXPECT_EQ(o.DateFormat, "ddddd");
    EXPECT_EQ(o.LanguageFile, "KestriEn.lang");
    EXPECT_EQ(o.StartOfWeek, 1);
}

TEST_F(OptionsTest, NoFileGivesTheDefaults) {
    expectDefaults(load());
}

TEST_F(OptionsTest, OtherSectionsOnlyGiveTheDefaults) {
    writeRaw("[Settings]\nAutorun=0\nStartOfWeek=3\n");
    expectDefaults(load());
}

TEST_F(OptionsTest, ValuesThatAreNotNumbersGiveTheDefaults) {
    writeRaw("[Options]\nAutorun=yes\nAutoUpdate=true\nAlwaysOnTop=on\nShowWeekdays=\nShowWeekNumbers=1.0\n"
             "ShowTodaysMemo=-\nStartOfWeek=Monday\n");
    expectDefaults(load());
}

// The reminder is new: on for a new settings file, off for a file written before it existed.
TEST_F(OptionsTest, RemindIsOnInANewFileAndOffInAnOlderOne) {
    const struct {
        const char* File; // nullptr: no settings file
        bool Remind;
    } cases[] = {
        {nullptr, true},
        {"[Settings]\nLeft=10\nTop=20\n", false},
        {"[Options]\nAutorun=1\nStartOfWeek=2\n", false},
        {"[Options]\nRemind=1\n", true},
        {"[Options]\nremind=0\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File ? c.File : "no file");
        fs::remove(m_path);
        if (c.File != nullptr) {
            writeRaw(c.File);
        }
        TOptions options;
        options.Remind = !c.Remind;
        LoadOptions(m_path, options);
        EXPECT_EQ(options.Remind, c.Remind);
    }
}

// A move on a first start creates the settings file: it takes the reminder and the language along, so
// the next start reads neither as a file from before the option or in English.
TEST_F(OptionsTest, PositionSaveIntoAFileWithoutTheStartKeysWritesThem) {
    std::string error;
    TOptions chosen;
    chosen.LanguageFile = "KestriDe.lang";
    ASSERT_TRUE(SaveWindowPosition(m_path, {5, 6}, error, &chosen));
    EXPECT_EQ(readRaw(), "[Options]\nRemind=1\nLanguageFile=KestriDe.lang\n\n[Settings]\nLeft=5\nTop=6\n");
    writeRaw("[Options]\nRemind=0\n");
    ASSERT_TRUE(SaveWindowPosition(m_path, {7, 8}, error, &chosen));
    EXPECT_EQ(readRaw(), "[Options]\nRemind=0\nLanguageFile=KestriDe.lang\n\n[Settings]\nLeft=7\nTop=8\n");
}

TEST_F(OptionsTest, BooleansAreIntegersAndAnyNonZeroIsTrue) {
    writeRaw("[options]\nautorun=0\nAutoUpdate=0x0\nAlwaysOnTop=2\nShowWeekdays=0\nShowWeekNumbers=-1\n"
             "ShowTodaysMemo=$0\n");
    const TOptions o = load();
    EXPECT_FALSE(o.Autorun);
    EXPECT_FALSE(o.AutoUpdate);
    EXPECT_TRUE(o.AlwaysOnTop);
    EXPECT_FALSE(o.ShowWeekdays);
    EXPECT_TRUE(o.ShowWeekNumbers);
    EXPECT_FALSE(o.ShowTodaysMemo);
}

TEST_F(OptionsTest, StartOfWeekKeepsLowEightBitsAndComesIntoRange) {
    EXPECT_EQ(startOfWeekFor("0"), 1);
    EXPECT_EQ(startOfWeekFor("1"), 1);
    EXPECT_EQ(startOfWeekFor("7"), 7);
    EXPECT_EQ(startOfWeekFor("8"), 7);
    EXPECT_EQ(startOfWeekFor("9"), 7);
    EXPECT_EQ(startOfWeekFor("255"), 7);
    EXPECT_EQ(startOfWeekFor("256"), 1);
    EXPECT_EQ(startOfWeekFor("259"), 3);
    EXPECT_EQ(startOfWeekFor("263"), 7);
    EXPECT_EQ(startOfWeekFor("-1"), 7);
    EXPECT_EQ(startOfWeekFor("-250"), 6); // low byte 6
    EXPECT_EQ(startOfWeekFor("0x3"), 3);
    EXPECT_EQ(startOfWeekFor("0X105"), 5);
    EXPECT_EQ(startOfWeekFor("$4"), 4);
    EXPECT_EQ(startOfWeekFor("  +2"), 2);
    EXPECT_EQ(startOfWeekFor("x"), 1);
    EXPECT_EQ(startOfWeekFor("3x"), 1);
    EXPECT_EQ(startOfWeekFor("0x"), 1);
    EXPECT_EQ(startOfWeekFor(""), 1);
}

TEST(NormaliseStartOfWeek, Table) {
    EXPECT_EQ(NormaliseStartOfWeek(0), 1);
    EXPECT_EQ(NormaliseStartOfWeek(6), 6);
    EXPECT_EQ(NormaliseStartOfWeek(512 + 2), 2);
    EXPECT_EQ(NormaliseStartOfWeek(INT32_MIN), 1);
    EXPECT_EQ(NormaliseStartOfWeek(INT32_MAX), 7);
}

TEST_F(OptionsTest, TextsAreKeptAsWrittenUpTo2047Characters) {
    const std::string longName = std::string(3000, 'L');
    writeRaw("[Options]\nDateFormat=dd/mm/yyyy\nLanguageFile=" + longName + "\n");
    const TOptions o = load();
    EXPECT_EQ(o.DateFormat, "dd/mm/yyyy");
    EXPECT_EQ(o.LanguageFile, std::string(2047, 'L'));
}

TEST_F(OptionsTest, PresentEmptyTextIsEmptyNotTheDefault) {
    writeRaw("[Options]\nDateFormat=\n");
    EXPECT_EQ(load().DateFormat, "");
}

TEST_F(OptionsTest, LegacyCodePageTextIsReadAsWindows1252) {
    writeRaw("[Options]\nLanguageFile=Fran\xE7"
             "ais.lang\n");
    EXPECT_EQ(load().LanguageFile, "Fran\xC3\xA7"
                                   "ais.lang");
}

TEST_F(OptionsTest, SaveWritesTheKeysInOrder) {
    TOptions o;
    o.AlwaysOnTop = true;
    o.Autorun = false;
    o.StartOfWeek = 7;
    o.DateFormat = "dddddd";
    o.LanguageFile = "KestriDe.lang";
    std::string error;
    ASSERT_TRUE(SaveOptions(m_path, o, error));
    EXPECT_EQ(error, "");
    EXPECT_EQ(readRaw(), "[Options]\n"
                         "Autorun=0\n"
                         "AutoUpdate=1\n"
                         "AlwaysOnTop=1\n"
                         "ShowWeekdays=1\n"
                         "ShowWeekNumbers=0\n"
                         "ShowTodaysMemo=1\n"
                         "DateFormat=dddddd\n"
                         "LanguageFile=KestriDe.lang\n"
                         "StartOfWeek=7\n"
                         "Remind=1\n");
}

TEST_F(OptionsTest, SaveThenLoadRoundTrips) {
    TOptions o;
    o.Autorun = false;
    o.AutoUpdate = false;
    o.AlwaysOnTop = true;
    o.ShowWeekdays = false;
    o.ShowWeekNumbers = true;
    o.ShowTodaysMemo = false;
    o.DateFormat = "dddddd";
    o.LanguageFile = "Kestri \xC3\xA9.lang";
    o.StartOfWeek = 4;
    o.Remind = false;
    std::string error;
    ASSERT_TRUE(SaveOptions(m_path, o, error));
    const TOptions back = load();
    EXPECT_EQ(back.Remind, o.Remind);
    EXPECT_EQ(back.Autorun, o.Autorun);
    EXPECT_EQ(back.AutoUpdate, o.AutoUpdate);
    EXPECT_EQ(back.AlwaysOnTop, o.AlwaysOnTop);
    EXPECT_EQ(back.ShowWeekdays, o.ShowWeekdays);
    EXPECT_EQ(back.ShowWeekNumbers, o.ShowWeekNumbers);
    EXPECT_EQ(back.ShowTodaysMemo, o.ShowTodaysMemo);
    EXPECT_EQ(back.DateFormat, o.DateFormat);
    EXPECT_EQ(back.LanguageFile, o.LanguageFile);
    EXPECT_EQ(back.StartOfWeek, o.StartOfWeek);
}

TEST_F(OptionsTest, SaveKeepsExistingKeysInPlaceAndOtherSectionsIntact) {
    writeRaw(
        "[Settings]\r\nLeft=100\r\nTop=200\r\n\r\n[Options]\r\nstartofweek=2\r\n; mine\r\nAutorun=0\r\n");
    TOptions o;
    std::string error;
    ASSERT_TRUE(SaveOptions(m_path, o, error));
    EXPECT_EQ(readRaw(), "[Settings]\nLeft=100\nTop=200\n\n[Options]\nstartofweek=1\n; mine\nAutorun=1\n"
                         "AutoUpdate=1\nAlwaysOnTop=0\nShowWeekdays=1\nShowWeekNumbers=0\nShowTodaysMemo=1\n"
                         "DateFormat=ddddd\nLanguageFile=KestriEn.lang\nRemind=1\n");
}

TEST_F(OptionsTest, SaveIntoAFolderThatCannotBeWrittenFailsWithTheMessage) {
    writeRaw("[Options]\nAutorun=0\n");
    // The settings file's folder is a regular file.
    const std::string blocked = (fs::path(m_path) / "Settings.ini").string();
    std::string error;
    EXPECT_FALSE(SaveOptions(blocked, TOptions{}, error));
    EXPECT_EQ(error, "Unable to write to " + blocked);
    EXPECT_EQ(readRaw(), "[Options]\nAutorun=0\n");

    const std::string missing = (m_folder / "gone" / "Settings.ini").string();
    error.clear();
    EXPECT_FALSE(SaveOptions(missing, TOptions{}, error));
    EXPECT_EQ(error, "Unable to write to " + missing);
}

TEST_F(OptionsTest, SaveOverAnUnreadableFileFailsAndLeavesIt) {
    fs::create_directory(m_path);
    std::string error;
    EXPECT_FALSE(SaveOptions(m_path, TOptions{}, error));
    EXPECT_EQ(error, "Unable to write to " + m_path);
    EXPECT_TRUE(fs::is_directory(m_path));
}

TEST_F(OptionsTest, WindowPositionDefaultsTo40And40) {
    EXPECT_EQ(LoadWindowPosition(m_path), (TWindowPosition{40, 40}));
    writeRaw("[Settings]\nLeft=abc\nTop=0x20\n");
    EXPECT_EQ(LoadWindowPosition(m_path), (TWindowPosition{40, 32}));
}

TEST_F(OptionsTest, WindowPositionRoundTripsBesideTheOptions) {
    std::string error;
    ASSERT_TRUE(SaveOptions(m_path, TOptions{}, error));
    ASSERT_TRUE(SaveWindowPosition(m_path, {-50, 30000}, error));
    EXPECT_EQ(LoadWindowPosition(m_path), (TWindowPosition{-50, 30000}));
    EXPECT_TRUE(readRaw().ends_with("StartOfWeek=1\nRemind=1\n\n[Settings]\nLeft=-50\nTop=30000\n"));
    // Saving the options afterwards leaves the position where it is.
    ASSERT_TRUE(SaveOptions(m_path, TOptions{}, error));
    EXPECT_EQ(LoadWindowPosition(m_path).Left, -50);
}

TEST_F(OptionsTest, WindowPositionSaveFailureIsReported) {
    const std::string missing = (m_folder / "gone" / "Settings.ini").string();
    std::string error;
    EXPECT_FALSE(SaveWindowPosition(missing, {1, 2}, error));
    EXPECT_EQ(error, "Unable to write to " + missing);
}

TEST(KeepOnScreen, OffScreenPositionOnFullHd) {
    int left = -50;
    int top = 30000;
    KeepOnScreen(left, top, 142, 120, 0, 0, 1920, 1080);
    EXPECT_EQ(left, 0);
    EXPECT_EQ(top, 960);
}

TEST(KeepOnScreen, InsideStaysAndEdgesAreExact) {
    int left = 100;
    int top = 200;
    KeepOnScreen(left, top, 142, 120, 0, 0, 1920, 1080);
    EXPECT_EQ(left, 100);
    EXPECT_EQ(top, 200);
    left = 1920 - 142;
    top = 1080 - 120;
    KeepOnScreen(left, top, 142, 120, 0, 0, 1920, 1080);
    EXPECT_EQ(left, 1778);
    EXPECT_EQ(top, 960);
    left = 1779;
    top = 961;
    KeepOnScreen(left, top, 142, 120, 0, 0, 1920, 1080);
    EXPECT_EQ(left, 1778);
    EXPECT_EQ(top, 960);
}

TEST(KeepOnScreen, WindowLargerThanTheScreenEndsBeforeItsStart) {
    int left = 10;
    int top = 10;
    KeepOnScreen(left, top, 2000, 1200, 0, 0, 1920, 1080);
    EXPECT_EQ(left, -80);
    EXPECT_EQ(top, -120);
    // Below the start takes the start first, even when the window does not fit.
    left = -5;
    top = -5;
    KeepOnScreen(left, top, 2000, 1200, 0, 0, 1920, 1080);
    EXPECT_EQ(left, 0);
    EXPECT_EQ(top, 0);
}

TEST(KeepOnScreen, SecondScreenAtAnOrigin) {
    // A screen to the right of the primary one, lower down.
    int left = 1900;
    int top = 50;
    KeepOnScreen(left, top, 142, 120, 1920, 100, 1280, 1024);
    EXPECT_EQ(left, 1920);
    EXPECT_EQ(top, 100);
    left = 3200;
    top = 2000;
    KeepOnScreen(left, top, 142, 120, 1920, 100, 1280, 1024);
    EXPECT_EQ(left, 3200 - 142);
    EXPECT_EQ(top, 1124 - 120);
    // A screen left of the primary one has negative coordinates.
    left = -2000;
    top = 10;
    KeepOnScreen(left, top, 142, 120, -1280, 0, 1280, 1024);
    EXPECT_EQ(left, -1280);
}

TEST(KeepOnScreen, ExtremeValuesDoNotOverflow) {
    int left = INT32_MAX;
    int top = INT32_MAX - 10;
    KeepOnScreen(left, top, 142, 120, 0, 0, 1920, 1080);
    EXPECT_EQ(left, 1778);
    EXPECT_EQ(top, 960);
}

} // namespace
