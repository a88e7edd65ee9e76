#include "memos/MemoMerge.h"

#include "memos/UnitMemo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

using namespace kestrivel;

namespace {

// "date:text/type" items separated by blanks; the type is left out when it is Single. Dates are the
// raw values, "-0" and "nan" included, so that the key is seen to be the file's 8 bytes.
std::vector<TMemo> memos(const std::string& text) {
    std::vector<TMemo> out;
    std::istringstream in(text);
    for (std::string item; in >> item;) {
        const size_t colon = item.find(':');
        const size_t slash = item.find('/');
        TMemo memo;
        memo.Date = std::stod(item.substr(0, colon));
        memo.Text =
            item.substr(colon + 1, slash == std::string::npos ? std::string::npos : slash - colon - 1);
        memo.MemoType =
            slash == std::string::npos ? 0 : static_cast<uint8_t>(std::stoi(item.substr(slash + 1)));
        out.push_back(memo);
    }
    return out;
}

std::string written(const std::vector<TMemo>& list) {
    std::string out;
    for (const TMemo& memo : list) {
        out += out.empty() ? "" : " ";
        out += std::isnan(memo.Date) ? "nan"
               : std::signbit(memo.Date) && memo.Date == 0
                   ? "-0"
                   : std::to_string(static_cast<long long>(memo.Date));
        out += ":" + memo.Text;
        out += memo.MemoType == 0 ? "" : "/" + std::to_string(memo.MemoType);
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

class MemoMerge : public ::testing::TestWithParam<MergeCase> {};

} // namespace

TEST_P(MemoMerge, EachDateFollowsTheThreeWayRule) {
    const MergeCase& c = GetParam();
    std::vector<TMemo> merged = memos("9:left-over");
    ASSERT_TRUE(mergeMemos(memos(c.base), memos(c.ours), memos(c.disk), merged));
    EXPECT_EQ(written(merged), c.merged);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, MemoMerge,
    ::testing::Values(
        MergeCase{"nothing changed", "1:a 2:b", "1:a 2:b", "1:a 2:b", "1:a 2:b"},
        MergeCase{"all empty", "", "", "", ""}, MergeCase{"disk added", "1:a", "1:a", "1:a 2:b", "1:a 2:b"},
        MergeCase{"disk changed the text", "1:a", "1:a", "1:A", "1:A"},
        MergeCase{"disk changed the type", "1:a", "1:a", "1:a/1", "1:a/1"},
        MergeCase{"disk deleted", "1:a 2:b", "1:a 2:b", "1:a", "1:a"},
        MergeCase{"disk emptied the file", "1:a 2:b", "1:a 2:b", "", ""},
        MergeCase{"we added", "1:a", "1:a 3:c", "1:a", "1:a 3:c"},
        MergeCase{"both added other dates", "1:a", "1:a 3:c", "1:a 2:b", "1:a 2:b 3:c"},
        MergeCase{"we changed", "1:a", "1:x/2", "1:a", "1:x/2"},
        MergeCase{"both changed: ours", "1:a", "1:x", "1:y", "1:x"},
        MergeCase{"both added the same date: ours", "", "1:x", "1:y", "1:x"},
        MergeCase{"we deleted, disk kept", "1:a 2:b", "2:b", "1:a 2:b", "2:b"},
        MergeCase{"we deleted, disk changed: disk", "1:a 2:b", "2:b", "1:A 2:b", "1:A 2:b"},
        MergeCase{"both deleted", "1:a 2:b", "2:b", "2:b", "2:b"},
        MergeCase{"we changed, disk deleted: ours", "1:a", "1:x", "", "1:x"},
        MergeCase{"disk memos go in by date", "", "2:b 4:d", "5:e 1:a 3:c", "1:a 2:b 3:c 4:d 5:e"},
        MergeCase{"our order stays", "5:e 1:a", "5:e 1:a", "5:e 1:a 3:c", "3:c 5:e 1:a"},
        MergeCase{"a date taken twice is one key", "1:a 1:b", "1:a 1:b", "1:a 1:c", "1:a 1:c"},
        MergeCase{"a second memo on a date is a change", "1:a", "1:a 1:b", "1:A", "1:a 1:b"},
        MergeCase{"our duplicates come together", "", "1:a 2:b 1:c", "", "1:a 1:c 2:b"},
        MergeCase{"-0 and 0 are two dates", "", "0:x", "-0:y", "0:x -0:y"},
        MergeCase{"a date that is not a number goes last", "", "1:a", "nan:n 2:b", "1:a 2:b nan:n"}),
    [](const ::testing::TestParamInfo<MergeCase>& param) {
        std::string name;
        for (const char* p = param.param.name; *p; ++p) {
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        }
        return name;
    });

// 65,535 memos is what Memos.dat can count; one more refuses the merge.
TEST(MemoMergeLimit, TheResultKeepsToTheMemoLimit) {
    const struct {
        const char* name;
        size_t ours, disk;
        bool fits;
    } cases[] = {
        {"at the limit", 40'000, 25'535, true},
        {"one over", 40'000, 25'536, false},
        {"disk alone at the limit", 0, 65'535, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<TMemo> ours(c.ours), disk(c.disk), merged;
        for (size_t i = 0; i < ours.size(); ++i) {
            ours[i].Date = static_cast<double>(i);
        }
        for (size_t i = 0; i < disk.size(); ++i) {
            disk[i].Date = 100'000.0 + static_cast<double>(i);
        }
        EXPECT_EQ(mergeMemos({}, ours, disk, merged), c.fits);
        EXPECT_EQ(merged.size(), c.fits ? c.ours + c.disk : 0u);
        EXPECT_LE(merged.size(), size_t{TMemoList::kMaxCount});
    }
}
