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

struct SessionCase {
    const char* platform;
    const char* display;
    const char* waylandDisplay;
    const char* session;
};

const SessionCase kSessions[] = {
    {"xcb", ":0", "", "x11-0"},
    {"xcb", ":0.1", "wayland-0", "x11-0"},
    {"xcb", ":12", "", "x11-12"},
    {"xcb", "localhost:10.0", "", "x11-localhost-10"},
    {"xcb", "/tmp/launch-x/org.x:0", "", "x11-_tmp_launch-x_org.x-0"},
    {"xcb", "", "", "x11-"},
    {"wayland", ":0", "wayland-1", "wayland-1"},
    {"wayland", "", "", "wayland-0"},
    {"wayland-egl", "", "/run/user/1000/wayland-2", "wayland-2"},
    {"wayland", "", "mine", "wayland-mine"},
    {"offscreen", ":0", "", "offscreen"},
};

class SessionNameTest : public testing::TestWithParam<SessionCase> {};

TEST_P(SessionNameTest, NamesTheDisplayWithoutItsScreen) {
    const SessionCase& c = GetParam();
    SCOPED_TRACE(std::string(c.platform) + " " + c.display + " " + c.waylandDisplay);
    EXPECT_EQ(SessionName(c.platform, c.display, c.waylandDisplay), c.session);
}

INSTANTIATE_TEST_SUITE_P(Displays, SessionNameTest, testing::ValuesIn(kSessions));

} // namespace
