#include "schemes/SchemeMerge.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace kestrivel;

namespace {

// "name:size" items separated by blanks, position 0 (the active record) first; the size stands
// for the eight zone styles (it is the font size of zone 1).
std::vector<TScheme> schemes(const std::string& text) {
    std::vector<TScheme> out;
    std::istringstream in(text);
    for (std::string item; in >> item;) {
        const size_t colon = item.rfind(':');
        TScheme scheme = DefaultScheme();
        scheme.Name = item.substr(0, colon);
        scheme.Settings[zoneTitle].FontSize = static_cast<uint16_t>(std::stoi(item.substr(colon + 1)));
        out.push_back(scheme);
    }
    return out;
}

std::string written(const std::vector<TScheme>& list) {
    std::string out;
    for (const TScheme& scheme : list) {
        out += (out.empty() ? "" : " ") + scheme.Name + ":" +
               std::to_string(scheme.Settings[zoneTitle].FontSize);
    }
    return out;
}

struct MergeCase {
    const char* name;
    const char* base;
    const char* ours;
    const char* disk;
    const char* merged;
};

class SchemeMerge : public ::testing::TestWithParam<MergeCase> {};

std::string testName(const char* text) {
    std::string name;
    for (const char* p = text; *p; ++p) {
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    }
    return name;
}

} // namespace

TEST_P(SchemeMerge, EachNameFollowsTheThreeWayRule) {
    const MergeCase& c = GetParam();
    std::vector<TScheme> merged = schemes("left-over:1");
    ASSERT_TRUE(mergeSchemes(schemes(c.base), schemes(c.ours), schemes(c.disk), merged));
    EXPECT_EQ(written(merged), c.merged);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SchemeMerge,
    ::testing::Values(
        MergeCase{"nothing changed", "-1:10 Blue:1", "-1:10 Blue:1", "-1:10 Blue:1", "-1:10 Blue:1"},
        MergeCase{"all empty", "", "", "", ""},
        MergeCase{"the active record is ours", "0:10 Blue:1", "1:11 Blue:1", "5:99 Blue:1", "1:11 Blue:1"},
        MergeCase{"without ours the disk's", "", "", "0:10 Blue:1", "0:10 Blue:1"},
        MergeCase{"disk added", "-1:10", "-1:10", "-1:10 Green:3", "-1:10 Green:3"},
        MergeCase{"disk changed the styles", "-1:10 Blue:1", "-1:10 Blue:1", "-1:10 Blue:2", "-1:10 Blue:2"},
        MergeCase{"disk deleted", "-1:10 Blue:1 Red:1", "-1:10 Blue:1 Red:1", "-1:10 Red:1", "-1:10 Red:1"},
        MergeCase{"both added", "-1:10 Blue:1", "-1:10 Blue:1 Red:1", "-1:10 Blue:1 Green:1",
                  "-1:10 Blue:1 Green:1 Red:1"},
        MergeCase{"we changed", "-1:10 Blue:1", "-1:10 Blue:4", "-1:10 Blue:1", "-1:10 Blue:4"},
        MergeCase{"both changed: ours", "-1:10 Blue:1", "-1:10 Blue:4", "-1:10 Blue:5", "-1:10 Blue:4"},
        MergeCase{"we deleted, disk kept", "-1:10 Blue:1 Red:1", "-1:10 Red:1", "-1:10 Blue:1 Red:1",
                  "-1:10 Red:1"},
        MergeCase{"we deleted, disk changed: disk", "-1:10 Blue:1", "-1:10", "-1:10 Blue:2", "-1:10 Blue:2"},
        MergeCase{"we changed, disk deleted: ours", "-1:10 Blue:1", "-1:10 Blue:4", "-1:10", "-1:10 Blue:4"},
        MergeCase{"disk names go in by name", "-1:1 Beta:1 Delta:1", "-1:1 Beta:1 Delta:1",
                  "-1:1 Alpha:1 Beta:1 Delta:1 Charlie:1 Echo:1",
                  "-1:1 Alpha:1 Beta:1 Charlie:1 Delta:1 Echo:1"},
        MergeCase{"names compare byte by byte", "-1:1 apple:1", "-1:1 apple:1", "-1:1 Zebra:1 apple:1",
                  "-1:1 Zebra:1 apple:1"},
        MergeCase{"an imported scheme keeps its place", "-1:1 Blue:1 Alpha:2", "-1:1 Blue:1 Alpha:2",
                  "-1:1 Blue:1 Alpha:2 Green:1", "-1:1 Blue:1 Alpha:2 Green:1"},
        MergeCase{"a name taken twice is one key", "-1:1 Blue:1 Blue:2", "-1:1 Blue:1 Blue:2",
                  "-1:1 Blue:1 Blue:3", "-1:1 Blue:1 Blue:3"},
        MergeCase{"the active record's name is no key", "0:1 0:5", "0:1 0:5", "0:7 0:6", "0:1 0:6"}),
    [](const ::testing::TestParamInfo<MergeCase>& param) { return testName(param.param.name); });

TEST(SchemeMergeSelection, TheSelectedSchemeIsFoundAgainByName) {
    const struct {
        const char* name;
        const char* ours;
        int selected;
        const char* merged;
        int index;
    } cases[] = {
        {"moved behind a new name", "-1:1 A:1 B:1 C:1", 1, "-1:1 A:1 Aa:1 B:1 C:1", 2},
        {"changed by the disk", "-1:1 A:1 B:1", 1, "-1:1 A:1 B:7", 1},
        {"none selected", "-1:1 A:1", -1, "-1:1 A:1", -1},
        {"beyond the list", "-1:1 A:1", 1, "-1:1 A:1", -1},
        {"gone", "-1:1 A:1 B:1", 1, "-1:1 A:1", -1},
        {"second of two", "-1:1 B:1 B:2", 1, "-1:1 A:1 B:1 B:2", 2},
        {"second of two, now one", "-1:1 B:1 B:2", 1, "-1:1 B:3", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(mergedSelection(schemes(c.ours), c.selected, schemes(c.merged)), c.index);
    }
}

TEST(SchemeMergeLimit, TheResultKeepsToTheListLimit) {
    const struct {
        const char* name;
        size_t ours, disk; // named schemes besides the active record
        bool fits;
    } cases[] = {{"at the limit", 30'000, 35'534, true}, {"one over", 30'000, 35'535, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<TScheme> ours(c.ours + 1), disk(c.disk + 1), merged;
        for (size_t i = 1; i < ours.size(); ++i) {
            ours[i].Name = "o" + std::to_string(i);
        }
        for (size_t i = 1; i < disk.size(); ++i) {
            disk[i].Name = "d" + std::to_string(i);
        }
        EXPECT_EQ(mergeSchemes({}, ours, disk, merged), c.fits);
        EXPECT_EQ(merged.size(), c.fits ? TSchemeList::kMaxCount : 0u);
    }
}

TEST(SchemeMergeList, ValuesGoInAndOutOfTheList) {
    TSchemeList list;
    const std::vector<TScheme> three = schemes("-1:1 B:2 A:3");
    ASSERT_TRUE(assignSchemes(list, three));
    EXPECT_EQ(written(schemesOf(list)), "-1:1 B:2 A:3");
    EXPECT_FALSE(assignSchemes(list, std::vector<TScheme>(TSchemeList::kMaxCount + 1)));
    EXPECT_EQ(written(schemesOf(list)), "-1:1 B:2 A:3");
    ASSERT_TRUE(assignSchemes(list, {}));
    EXPECT_EQ(list.Count(), 0);
}
