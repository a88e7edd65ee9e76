#include "common/NameValueList.h"

#include <gtest/gtest.h>

#include <string>

using namespace kestrivel;

namespace {

TEST(NameValueList, SplitsAtTheFirstEquals) {
    std::string_view name, value;
    ASSERT_TRUE(TNameValueList::splitEntry("a=b=c", name, value));
    EXPECT_EQ(name, "a");
    EXPECT_EQ(value, "b=c");
    ASSERT_TRUE(TNameValueList::splitEntry("=x", name, value));
    EXPECT_EQ(name, "");
    EXPECT_EQ(value, "x");
    ASSERT_TRUE(TNameValueList::splitEntry("k=", name, value));
    EXPECT_EQ(name, "k");
    EXPECT_EQ(value, "");
    EXPECT_FALSE(TNameValueList::splitEntry("no equals", name, value));
}

TEST(NameValueList, NamesAndValues) {
    const TNameValueList list{"Weekdays=MTWTFSS", "plain", "E1=Date taken", "E1=second", " sp = x "};
    EXPECT_EQ(list.count(), 5u);
    EXPECT_EQ(list.name(0), "Weekdays");
    EXPECT_EQ(list.name(1), "");
    EXPECT_EQ(list.name(4), " sp ");
    EXPECT_EQ(list.value("Weekdays"), "MTWTFSS");
    // The first entry of a name counts; names are exact.
    EXPECT_EQ(list.value("E1"), "Date taken");
    EXPECT_EQ(list.value("e1"), "");
    EXPECT_EQ(list.value("weekdays"), "");
    EXPECT_EQ(list.value("sp"), "");
    EXPECT_EQ(list.value(" sp "), " x ");
    EXPECT_EQ(list.value("plain"), "");
    EXPECT_EQ(list.value("missing"), "");
}

TEST(NameValueList, SetValueReplacesTheFirstAndAddsNothing) {
    TNameValueList list{"E1=one", "E1=two", "plain"};
    EXPECT_TRUE(list.setValue("E1", "uno=1"));
    EXPECT_EQ(list.entry(0), "E1=uno=1");
    EXPECT_EQ(list.entry(1), "E1=two");
    EXPECT_FALSE(list.setValue("E9", "x"));
    EXPECT_FALSE(list.setValue("plain", "x"));
    EXPECT_EQ(list.count(), 3u);
    EXPECT_EQ(list.entry(2), "plain");
}

TEST(NameValueList, SetValueAtKeepsTheName) {
    TNameValueList list{"Weekdays=MTWTFSS", "plain"};
    list.setValueAt(0, "LMMJVSD");
    EXPECT_EQ(list.entry(0), "Weekdays=LMMJVSD");
    list.setValueAt(0, "");
    EXPECT_EQ(list.entry(0), "Weekdays=");
    // An entry without a name has no value to set.
    list.setValueAt(1, "x");
    EXPECT_EQ(list.entry(1), "plain");
}

TEST(NameValueList, AddKeepsOrder) {
    TNameValueList list;
    EXPECT_EQ(list.count(), 0u);
    list.add("b=2");
    list.add("a=1");
    EXPECT_EQ(list.count(), 2u);
    EXPECT_EQ(list.name(0), "b");
    EXPECT_EQ(list.value("a"), "1");
}

} // namespace
