#include "common/PlatformChoice.h"

#include <gtest/gtest.h>

using namespace kestrivel;

namespace {

struct Case {
    const char* name;
    PlatformEnvironment env;
    const char* platform;
};

const Case kCases[] = {
    {"x11 session", {"", "x11", "", ":0"}, ""},
    {"wayland with xwayland", {"", "wayland", "wayland-0", ":0"}, "xcb"},
    {"wayland display alone marks the session", {"", "", "wayland-1", ":1"}, "xcb"},
    {"session type alone marks the session", {"", "wayland", "", ":0"}, "xcb"},
    {"wayland without xwayland", {"", "wayland", "wayland-0", ""}, ""},
    {"user chose wayland", {"wayland", "wayland", "wayland-0", ":0"}, ""},
    {"user chose offscreen", {"offscreen", "", "", ""}, ""},
    {"nothing at all", {"", "", "", ""}, ""},
    {"tty session with an x server", {"", "tty", "", ":0"}, ""},
};

class PlatformChoiceTest : public testing::TestWithParam<Case> {};

TEST_P(PlatformChoiceTest, ChoosesXcbOnlyUnderWaylandWithXWayland) {
    SCOPED_TRACE(GetParam().name);
    EXPECT_EQ(ChoosePlatform(GetParam().env), GetParam().platform);
}

INSTANTIATE_TEST_SUITE_P(Environments, PlatformChoiceTest, testing::ValuesIn(kCases));

TEST(SessionName, NamesTheDisplayWithoutItsScreen) {
    const char* cases[][4] = {
        {"xcb", ":0.1", "wayland-0", "x11-0"},
        {"xcb", "localhost:10.0", "", "x11-localhost-10"},
        {"wayland", ":0", "", "wayland-0"},
        {"wayland-egl", "", "/run/user/1000/wayland-2", "wayland-2"},
        {"offscreen", ":0", "", "offscreen"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SessionName(c[0], c[1], c[2]), c[3]) << c[0] << " " << c[1] << " " << c[2];
    }
}

} // namespace
