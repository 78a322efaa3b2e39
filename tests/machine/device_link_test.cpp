// The control panel's device link against the touch driver in a machine:
// the screen pulled out while the link polls it, as the Plug and Play
// manager takes it away (surprise removal now, the removal once the link's
// handle is closed).
#include "apps/common/device_link.h"
#include "drivers/common/touch_protocol.h"
#include "machine/machine.h"

#include <gmock/gmock.h>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string>* gBoxes = nullptr;

int WINAPI RecordBox(HWND, LPCSTR text, LPCSTR caption, UINT) {
    gBoxes->push_back(std::string(caption) + ": " + text);
    return IDOK;
}

class DeviceLinkInMachine : public ::testing::Test {
protected:
    DeviceLinkInMachine() {
        gBoxes = &boxes;
        link.ShowMessage = RecordBox;
    }
    ~DeviceLinkInMachine() override { gBoxes = nullptr; }

    std::string Findings() const {
        std::string text;
        for (const auto& violation : m.Violations())
            text += violation.rule + ": " + violation.detail + "\n";
        return text;
    }

    machine::Machine m;
    std::vector<std::string> boxes;
    DeviceLink link;
};

TEST_F(DeviceLinkInMachine, ScreenPulledOutWhilePollingIsShownOnceAndEndsTheLink) {
    m.PlugScreen();
    ASSERT_TRUE(link.OpenDevice());
    LONG x = -1;
    LONG y = -1;
    BYTE status = 0x55;
    EXPECT_FALSE(link.ReadPoint(&x, &y, &status)); // empty queue
    EXPECT_EQ(status, 0);

    m.UnplugScreen();
    EXPECT_FALSE(link.ReadPoint(&x, &y, &status));
    EXPECT_EQ(status, DEVICE_LINK_STATUS_FAILED);
    EXPECT_EQ(link.Removed, 1);
    EXPECT_EQ(link.Handle, nullptr); // closed: the removal can go on
    m.Settle();

    status = 0x55;
    EXPECT_FALSE(link.ReadPoint(&x, &y, &status)); // no call, no second box
    EXPECT_EQ(status, 0x55);
    link.DrainPoints();
    EXPECT_FALSE(link.SendCommand(TOUCH_CMD_RAW_OFF));
    EXPECT_THAT(boxes, ElementsAre("Error: USB device has beed removed."));

    // The port is free again: a new screen arrives and answers a new link.
    m.PlugScreen();
    DeviceLink next;
    next.ShowMessage = RecordBox;
    ASSERT_TRUE(next.OpenDevice());
    EXPECT_TRUE(next.SendCommand(TOUCH_CMD_RAW_ON));
    next.CloseDevice();
    m.Shutdown();
    EXPECT_EQ(Findings(), "");
}

TEST_F(DeviceLinkInMachine, NoScreenShowsOneBoxAndNothingMore) {
    m.Boot();
    EXPECT_FALSE(link.OpenDevice());
    EXPECT_FALSE(link.SendCommand(TOUCH_CMD_RAW_ON));
    link.DrainPoints();
    EXPECT_THAT(boxes, ElementsAre("Error: No USB Infrared screen found"));
    m.Shutdown();
    EXPECT_EQ(Findings(), "");
}

} // namespace
