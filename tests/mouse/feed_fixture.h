// The mouse stack linked to the fake touch driver.
#pragma once

#include "tests/mouse/mouse_harness.h"
#include "tests/support/fake_touch_feed.h"

namespace mouse_testing {

using input_testing::FakeTouch;
using FeedTest = input_testing::FakeTouchFeed<MouseStackTest>;

} // namespace mouse_testing
