// Reports decoded on one thread while input drivers hold and release reads
// and the panel polls and switches raw mode on others. Run under TSan.
#include "tests/touch/touch_harness.h"

#include <mutex>
#include <set>
#include <thread>

namespace touch_testing {
namespace {

using StressTest = TouchTest;

TEST_F(StressTest, PointsFlowToEveryClientOnceWhileCommandsRace) {
    constexpr int kReports = 1500; // raw X * 40 stays unique in 16 bits
    std::mutex mutex;
    std::multiset<Pt> delivered;
    auto deliver = [&](const Pt& point) {
        std::lock_guard lock(mutex);
        delivered.insert(point);
    };
    std::atomic<bool> stop{false};
    std::atomic<int> readersRunning{2};

    auto reader = [&](int id) {
        for (int n = 0; !stop.load(); ++n) {
            InternalRequest read(ext->DeviceObject, IOCTL_TOUCH_READ_POINT);
            read.Send();
            while (!read.Done())
                std::this_thread::yield();
            if (read.Status() == STATUS_SUCCESS && read.Information() == 5)
                deliver(read.Point());
            if (n % 37 == id) {
                InternalRequest release(ext->DeviceObject, IOCTL_TOUCH_RELEASE_READS, 0);
                EXPECT_EQ(release.Send(), STATUS_SUCCESS);
            }
        }
        readersRunning--;
    };
    auto panel = [&] {
        for (int n = 0; !stop.load(); ++n) {
            std::array<ULONG, 4> frame;
            EXPECT_EQ(GetPoint(&frame), STATUS_SUCCESS);
            if (frame[3] != TOUCH_NO_POINT)
                deliver({int(frame[3]), int(frame[1]), int(frame[2])});
            UCHAR command = n % 3 == 0 ? TOUCH_CMD_RAW_ON : n % 3 == 1 ? 9 : TOUCH_CMD_RAW_OFF;
            EXPECT_EQ(Command(command), STATUS_SUCCESS);
        }
    };

    Panel(); // opened before the threads share it
    std::thread readers[] = {std::thread(reader, 0), std::thread(reader, 1)};
    std::thread panelThread(panel);
    const UCHAR phases[] = {0x81, 0x82, 0x84};
    for (int i = 1; i <= kReports; ++i) {
        Report(phases[i % 3], USHORT(i), 1);
        if (i % 8 == 0)
            std::this_thread::yield();
    }
    // On a loaded machine the whole stream can go before any client ran:
    // the queued points are still there for them, so let them take some.
    for (bool any = false; !any; std::this_thread::yield()) {
        std::lock_guard lock(mutex);
        any = !delivered.empty();
    }
    stop = true;
    panelThread.join();
    while (readersRunning.load() > 0) {
        CancelPendingReads();
        std::this_thread::yield();
    }
    for (std::thread& thread : readers)
        thread.join();

    // Decoded points carry Y = 54, raw ones Y = 1: every queued point is unique.
    for (const Pt& point : delivered) {
        auto [status, x, y] = point;
        EXPECT_EQ(delivered.count(point), 1u) << status << " " << x << " " << y;
        if (y == 1) {
            EXPECT_EQ(status, phases[x % 3]);
        } else {
            EXPECT_EQ(x % 40, 0);
        }
    }
    EXPECT_GT(delivered.size(), 0u);
}

} // namespace
} // namespace touch_testing
