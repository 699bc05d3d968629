// Desktop notifications on a private session bus as a desktop's notification service
// receives them, and nothing (at once) where there is no bus or nobody shows them.
#include <gtest/gtest.h>

#include <chrono>

#include "library/desktopnotify.h"
#include "tests/support/sessionbus.h"

namespace {

TEST(DesktopNotify, TheServiceOnTheSessionBusReceivesIt) {
  SessionBus bus;
  {
    ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", bus.Address());
    // A bus where nobody shows notifications: refused at once, not after the time-out.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(DesktopNotify("x", "y"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));

    NotificationService shown(bus.Address());
    EXPECT_TRUE(DesktopNotify("监视 变速箱：3 条新消息", "新 1 条，变化 2 条\n\xff"));
    ASSERT_EQ(shown.Received().size(), 1u);
    const ShownNotification n = shown.Received()[0];
    EXPECT_EQ(n.appName, "Varnolt");
    EXPECT_EQ(n.summary, "监视 变速箱：3 条新消息");
    EXPECT_EQ(n.body, "新 1 条，变化 2 条\n\xef\xbf\xbd");  // a byte that is not UTF-8 cannot break the call
    EXPECT_EQ(n.desktopEntry, "varnolt");
  }
  // No session bus: no address and no socket where the desktop would have one.
  TempDir runtime;
  ScopedEnv noAddress("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
  ScopedEnv noSocket("XDG_RUNTIME_DIR", runtime.Path().Bytes());
  EXPECT_FALSE(DesktopNotify("x", "y"));
}

}  // namespace
