#include "platform/registry/store.h"

#include <gtest/gtest.h>

namespace platform::registry {
namespace {

TEST(ControlSetLink, ServicePathAndCurrentControlSetNameTheSameKey) {
    Store store;
    const uint32_t one = 1;
    ASSERT_TRUE(store.SetValue("\\REGISTRY\\Machine\\System\\CurrentControlSet\\Services\\korvex",
                               "Start", 4, &one, sizeof one));

    auto value = store.GetValue("\\REGISTRY\\MACHINE\\SYSTEM\\ControlSet001\\Services\\korvex",
                                "start");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->data.size(), sizeof one);

    KeyRef viaLink = store.Open("\\REGISTRY\\Machine\\System\\CurrentControlSet");
    KeyRef direct = store.Open("\\REGISTRY\\Machine\\System\\ControlSet001");
    EXPECT_EQ(viaLink, direct);
}

} // namespace
} // namespace platform::registry
