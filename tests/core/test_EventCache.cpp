#include "sync/EventCache.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace kestrivel;

namespace {

// Fields with every byte a server may send, as they came: line breaks, tabs, NUL and empty fields.
TEST(EventCache, KeepsEveryByteAndReadsBackWhatItWrites) {
    TEventCache cache;
    cache.Events = {{"", "https://h/c/1.ics", "\"e1\"", "BEGIN:VCALENDAR\r\nX:a\tb\\\r\nEND:VCALENDAR\r\n"},
                    {"Holidays", "webcal://h/x.ics", "", std::string("\0\n\n", 3)},
                    {"", "", "", ""}};
    const std::string text = FormatEventCache(cache);
    EXPECT_EQ(text.substr(0, 20), "KestrivelEvents 1 3\n");
    EXPECT_NE(text.find("\n8 16 0 3\nHolidayswebcal://h/x.ics"), std::string::npos);
    TEventCache read;
    ASSERT_TRUE(ParseEventCache(text, read));
    ASSERT_EQ(read.Events.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(read.Events[i].Source, cache.Events[i].Source);
        EXPECT_EQ(read.Events[i].Href, cache.Events[i].Href);
        EXPECT_EQ(read.Events[i].ETag, cache.Events[i].ETag);
        EXPECT_EQ(read.Events[i].Data, cache.Events[i].Data);
    }
}

TEST(EventCache, RefusesWhatItDoesNotWrite) {
    const struct {
        const char* Name;
        std::string Text;
    } cases[] = {
        {"another program's file", "KestrivelSync 1 0\n"},
        {"a newer layout", "KestrivelEvents 2 0\n"},
        {"a count beyond the bytes left", "KestrivelEvents 1 4000000000\n0 0 0 0\n\n"},
        {"a length beyond the end", "KestrivelEvents 1 1\n0 0 0 99\nabc\n"},
        {"a length that is no number", "KestrivelEvents 1 1\n0 x 0 0\n\n"},
        {"a negative length", "KestrivelEvents 1 1\n0 -1 0 0\n\n"},
        {"an event without its line break", "KestrivelEvents 1 1\n0 0 0 3\nabc"},
        {"bytes after the last event", "KestrivelEvents 1 1\n0 0 0 0\n\nextra"},
        {"fewer events than counted", "KestrivelEvents 1 2\n0 0 0 1\na\n0 0 0 0\n"},
        {"nothing at all", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TEventCache read;
        read.Events.push_back({"stale", "", "", ""});
        EXPECT_FALSE(ParseEventCache(c.Text, read));
        EXPECT_TRUE(read.Events.empty());
    }
}

TEST(EventCache, SavedBesideTheStateAndLoadedBack) {
    TempFolder folder;
    const std::string dir = folder.path().string();
    TEventCache read;
    EXPECT_FALSE(LoadEventCache(dir, read)) << "no file yet";
    TEventCache cache;
    cache.Events = {{"Work", "https://h/w/1.ics", "", "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n"}};
    ASSERT_TRUE(SaveEventCache(dir, cache));
    EXPECT_EQ(ReadBytes(folder.file("Events.dat")), FormatEventCache(cache));
    ASSERT_TRUE(LoadEventCache(dir, read));
    EXPECT_EQ(read.Events.at(0).Data, cache.Events[0].Data);
    EXPECT_FALSE(SaveEventCache(dir + "/missing", cache));
}

} // namespace
