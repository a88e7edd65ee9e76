#include "config/ConfigCopy.h"

#include "config/ConfigData.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace kestrivel;

namespace {

using Memos = std::vector<std::pair<double, std::string>>;
using Change = std::function<void(TConfigData&)>;

void setMemos(TConfigData& data, const Memos& memos) {
    data.Memos.Clear();
    for (const auto& [date, text] : memos) {
        ASSERT_TRUE(data.Memos.Add(text, 0, date));
    }
}

Memos memosOf(const TConfigData& data) {
    Memos out;
    for (const TMemo& memo : data.Memos.Items()) {
        out.emplace_back(memo.Date, memo.Text);
    }
    return out;
}

Change add(double date, const char* text) {
    return [=](TConfigData& data) { ASSERT_TRUE(data.Memos.Add(text, 0, date)); };
}

Change modify(double date, const char* text) {
    return [=](TConfigData& data) { data.Memos.Modify(data.Memos.IndexOfDate(date), text, 0); };
}

Change remove(double date) {
    return [=](TConfigData& data) { data.Memos.Delete(data.Memos.IndexOfDate(date)); };
}

Change addScheme(const char* name) {
    return [=](TConfigData& data) {
        TScheme scheme = DefaultScheme();
        scheme.Name = name;
        ASSERT_TRUE(AddNamedScheme(data.Schemes, data.CurrentScheme, scheme));
    };
}

Change none() {
    return [](TConfigData&) {};
}

} // namespace

// Ok and Apply hand the dialog's changes to the data owner on top of what it took in while the
// dialog was open (a sync's memos, another program's save); nothing it took in is dropped.
TEST(ConfigCopy, TheDialogsChangesGoOnTopOfTheCurrentData) {
    const struct {
        const char* name;
        Change meanwhile, dialog;
        Memos result;
        int selected;       // the dialog's selection among the named schemes: "B" of "A", "B"
        int selectedResult; // where "B" stands afterwards
    } cases[] = {
        {"nothing meanwhile", none(), add(3, "c"), {{1, "a"}, {2, "b"}, {3, "c"}}, 1, 1},
        {"a memo arrived, the dialog added one",
         add(4, "sync"),
         add(3, "c"),
         {{1, "a"}, {2, "b"}, {3, "c"}, {4, "sync"}},
         1,
         1},
        {"a memo changed, the dialog deleted another", modify(1, "A"), remove(2), {{1, "A"}}, 1, 1},
        {"both changed one memo: the dialog's",
         modify(1, "sync"),
         modify(1, "dialog"),
         {{1, "dialog"}, {2, "b"}},
         1,
         1},
        {"a memo went meanwhile", remove(1), none(), {{2, "b"}}, 1, 1},
        {"a scheme came in before the selected one", addScheme("AA"), none(), {{1, "a"}, {2, "b"}}, 1, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TConfigData owner("unused-folder");
        setMemos(owner, {{1, "a"}, {2, "b"}});
        addScheme("A")(owner);
        addScheme("B")(owner);
        TConfigData dialog("unused-folder");
        CopyEditedData(owner, dialog);
        const TEditedBase base = EditedBaseOf(owner);
        c.meanwhile(owner);
        c.dialog(dialog);
        dialog.Options.StartOfWeek = 3;
        dialog.Sync.Server = "http://127.0.0.1:5232/";
        int selected = c.selected;
        ASSERT_TRUE(ApplyEditedData(base, dialog, owner, selected));
        EXPECT_EQ(memosOf(owner), c.result);
        EXPECT_EQ(selected, c.selectedResult);
        EXPECT_EQ(owner.Schemes.Get(static_cast<uint16_t>(selected + 1))->Name, "B");
        EXPECT_EQ(owner.Options.StartOfWeek, 3);
        EXPECT_EQ(owner.Sync.Server, "http://127.0.0.1:5232/");
    }
}

// A result past the memo limit changes nothing at all.
TEST(ConfigCopy, AResultTooLargeChangesNothing) {
    TConfigData owner("unused-folder");
    TConfigData dialog("unused-folder");
    const TEditedBase base = EditedBaseOf(owner);
    for (int i = 0; i < TMemoList::kMaxCount; ++i) {
        ASSERT_TRUE(owner.Memos.Add("sync", 0, 10'000 + i));
    }
    add(1, "dialog")(dialog);
    dialog.Options.StartOfWeek = 3;
    int selected = -1;
    EXPECT_FALSE(ApplyEditedData(base, dialog, owner, selected));
    EXPECT_EQ(owner.Memos.Count(), TMemoList::kMaxCount);
    EXPECT_EQ(owner.Memos.IndexOfDate(1), -1);
    EXPECT_NE(owner.Options.StartOfWeek, 3);
}
