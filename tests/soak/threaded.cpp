#include "tests/soak/threaded.h"

#include "tests/soak/event.h"
#include "tests/soak/point_oracle.h"
#include "tests/soak/settings_writer.h"

#include "drivers/common/touch_protocol.h"
#include "drivers/touch/korvex.h"
#include "machine/devices/touchscreen_model.h"
#include "machine/machine.h"
#include "platform/kernel/kernel.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

namespace soak {
namespace {

using platform::kernel::Kernel;

constexpr int kControlThreads = 2;
constexpr int kReaderThreads = 2;

struct ThreadCounts {
    std::atomic<uint64_t> polls{0};
    std::atomic<uint64_t> commands{0};
    std::atomic<uint64_t> reads{0};
    std::atomic<uint64_t> badCompletions{0}; // a read completed twice, or a status not allowed
};

// One point read, as an input driver holds it; counts its completions.
class HeldRead {
public:
    explicit HeldRead(PDEVICE_OBJECT touch, ULONG code)
        : irp_(IoAllocateIrp(touch->StackSize, FALSE)), touch_(touch) {
        irp_->AssociatedIrp.SystemBuffer = buffer_;
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp_);
        next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
        next->Parameters.DeviceIoControl.IoControlCode = code;
        next->Parameters.DeviceIoControl.OutputBufferLength = sizeof(TOUCH_POINT);
        IoSetCompletionRoutine(irp_, Completed, this, TRUE, TRUE, TRUE);
    }
    ~HeldRead() { IoFreeIrp(irp_); }
    HeldRead(const HeldRead&) = delete;
    HeldRead& operator=(const HeldRead&) = delete;

    void Send() { IoCallDriver(touch_, irp_); }
    int Completions() const { return completions_.load(); }
    NTSTATUS Status() const { return irp_->IoStatus.Status; }

private:
    static NTSTATUS NTAPI Completed(PDEVICE_OBJECT, PIRP, PVOID context) {
        static_cast<HeldRead*>(context)->completions_.fetch_add(1);
        return STATUS_MORE_PROCESSING_REQUIRED;
    }
    PIRP irp_;
    PDEVICE_OBJECT touch_;
    UCHAR buffer_[sizeof(TOUCH_POINT)] = {};
    std::atomic<int> completions_{0};
};

void ControlLoop(Kernel& kernel, const std::atomic<bool>& stop, ThreadCounts& counts, int id) {
    platform::kernel::UserFile* file = nullptr;
    if (kernel.OpenFile(TOUCH_USER_NAME, &file) != STATUS_SUCCESS)
        return;
    // No reload: a settings load writes the tables unlocked while reports
    // are decoded, a race the driver accepts (a report may see a table half
    // loaded); the walk reloads on one thread.
    static constexpr UCHAR kCommands[] = {TOUCH_CMD_RAW_ON, TOUCH_CMD_RAW_OFF, 9, 9,
                                          TOUCH_CMD_RAW_OFF};
    for (unsigned n = static_cast<unsigned>(id); !stop.load(); ++n) {
        TOUCH_POINT_FRAME frame{};
        ULONG returned = 0;
        kernel.DeviceIoControl(file, IOCTL_TOUCH_GET_POINT, nullptr, 0, &frame, sizeof frame,
                               &returned);
        ++counts.polls;
        if (n % 7 == 0) {
            TOUCH_COMMAND_FRAME command{};
            command.Command = kCommands[n / 7 % 5];
            kernel.DeviceIoControl(file, IOCTL_TOUCH_COMMAND, &command, sizeof command, nullptr, 0,
                                   &returned);
            ++counts.commands;
        }
        std::this_thread::yield();
    }
    kernel.CloseFile(file);
}

void ReaderLoop(PDEVICE_OBJECT touch, const std::atomic<bool>& stop, ThreadCounts& counts, int id) {
    for (unsigned n = static_cast<unsigned>(id); !stop.load(); ++n) {
        HeldRead read(touch, IOCTL_TOUCH_READ_POINT);
        read.Send();
        while (read.Completions() == 0) {
            if (stop.load() || n % 13 == 0) {
                HeldRead release(touch, IOCTL_TOUCH_RELEASE_READS);
                release.Send();
            }
            std::this_thread::yield();
        }
        std::this_thread::yield(); // a second completion would land now
        const NTSTATUS status = read.Status();
        if (read.Completions() != 1 || (status != STATUS_SUCCESS && status != STATUS_CANCELLED))
            ++counts.badCompletions;
        ++counts.reads;
    }
}

} // namespace

int RunThreaded(platform::win32::OsKind os, uint64_t events, uint64_t seed) {
    machine::MachineConfig config;
    config.os = os;
    PointOracle oracle(os != platform::win32::OsKind::Windows98, config.screenWidth,
                       config.screenHeight);
    ThreadCounts counts;
    std::string finding;
    const auto start = std::chrono::steady_clock::now();
    {
        machine::Machine machine(config);
        machine.KeepTrace(false);
        machine.SetTraceListener(
            [&](const std::string& line) { oracle.Line(line, machine.Kernel().Now()); });
        Kernel& kernel = machine.Kernel();
        kernel.SetRealThreadWaits(true, std::chrono::seconds(20));
        WriteSettings(kernel.Registry(), 1, 0, 5000);
        machine.PlugScreen();
        PDEVICE_OBJECT touch = kernel.FindDevice(TOUCH_DEVICE_NAME_TEXT);
        if (touch == nullptr) {
            std::printf("threaded: the touch driver did not start\n");
            return 1;
        }
        std::atomic<bool> stop{false};
        std::vector<std::thread> threads;
        for (int i = 0; i < kControlThreads; ++i)
            threads.emplace_back(ControlLoop, std::ref(kernel), std::cref(stop), std::ref(counts),
                                 i);
        for (int i = 0; i < kReaderThreads; ++i)
            threads.emplace_back(ReaderLoop, touch, std::cref(stop), std::ref(counts), i);
        // Reports, transfer faults and now and then a stop and start: the
        // device object stays, so the threads' handles and requests stay valid.
        EventSource source(seed);
        for (uint64_t i = 0; i < events && machine.Violations().empty(); ++i) {
            Event event = source.Next();
            if (i % 200 == 199) {
                // The interface goes and returns: the input driver links anew.
                platform::kernel::DeviceNode* node = machine.ScreenNode();
                kernel.StopDevice(node);
                kernel.RestartDevice(node);
                machine.Settle();
            } else if (event.kind == EventKind::Touch)
                machine.Touch(event.a, event.b, event.c, event.a, event.b);
            else if (event.kind == EventKind::Fault && event.a < 2)
                machine.Fault(static_cast<machine::ScreenFault>(event.a), event.b);
            else
                machine.SendReport(static_cast<uint8_t>(event.a), event.b, event.c);
            oracle.Settle(machine.Screen().QueuedReports() + machine.Screen().DroppedReports(),
                          kernel.Now());
            std::this_thread::yield(); // let the clients in between reports
        }
        stop = true;
        for (std::thread& thread : threads)
            thread.join();
        const auto* extension = static_cast<const TOUCH_DEVICE_EXTENSION*>(touch->DeviceExtension);
        if (extension->TouchPointQueue.Count > TOUCH_QUEUE_ENTRIES)
            finding = "queue-overflow";
        machine.Shutdown();
        if (!machine.Violations().empty())
            finding =
                machine.Violations().front().rule + ": " + machine.Violations().front().detail;
    }
    if (finding.empty() && counts.badCompletions.load() != 0)
        finding = "a held read completed other than once, or with a wrong status";
    if (finding.empty())
        finding = oracle.Finding();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("threaded os=%s seed=%llu events=%llu seconds=%.2f polls=%llu commands=%llu "
                "reads=%llu points=%llu\n",
                machine::OsName(os).c_str(), static_cast<unsigned long long>(seed),
                static_cast<unsigned long long>(events), seconds,
                static_cast<unsigned long long>(counts.polls.load()),
                static_cast<unsigned long long>(counts.commands.load()),
                static_cast<unsigned long long>(counts.reads.load()),
                static_cast<unsigned long long>(oracle.Counts().points));
    if (finding.empty())
        return 0;
    std::printf("FINDING threaded os=%s seed=%llu\n  %s\n", machine::OsName(os).c_str(),
                static_cast<unsigned long long>(seed), finding.c_str());
    return 1;
}

} // namespace soak
