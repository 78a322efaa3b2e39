#include "machine/machine.h"

#include "machine/devices/touchscreen_model.h"
#include "machine/driver_binding.h"
#include "machine/input_stack.h"
#include "machine/installed_package.h"
#include "machine/machine_error.h"
#include "machine/root_bus.h"
#include "platform/setupapi/host.h"
#include "platform/trace/trace.h"
#include "platform/usb/usb_hub.h"
#include "platform/usb/usbd_version.h"
#include "platform/win32/picture.h"
#include "platform/win32/program_images.h"
#include "platform/win32/windows.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <set>

namespace machine {

namespace {

using platform::kernel::Kernel;

std::string Status(NTSTATUS status) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
    return text;
}

std::string TouchHardwareId() {
    char text[64];
    std::snprintf(text, sizeof text, "USB\\VID_%04X&PID_%04X", devices::kTouchVendorId,
                  devices::kTouchProductId);
    return text;
}

std::string TouchInstance() {
    char text[64];
    std::snprintf(text, sizeof text, "USB\\VID_%04X&PID_%04X\\1", devices::kTouchVendorId,
                  devices::kTouchProductId);
    return text;
}

} // namespace

std::string OsName(platform::win32::OsKind os) {
    switch (os) {
    case platform::win32::OsKind::Windows98:
        return "98";
    case platform::win32::OsKind::Windows2000:
        return "2000";
    case platform::win32::OsKind::WindowsXP:
        return "xp";
    }
    return "?";
}

struct Machine::Usb {
    platform::usb::UsbHub hub{1};
};

// The device tree as the setup library sees it. A root device created now
// is started at the next boot; one removed now leaves the registry at once
// and stops being present, its running stack stays until the shutdown (the
// machine does not take a stack down from inside a program's call).
class Machine::SetupDevices : public platform::setupapi::DeviceTree {
public:
    explicit SetupDevices(Machine& machine) : machine_(machine) {}
    // A boot starts from the registry: what setup did before it is there.
    void Reset() {
        created_.clear();
        removed_.clear();
    }
    void Created(const std::string& id) override { created_.insert(Key(id)); }
    void Installed(const std::string&) override {}
    void Removed(const std::string& id) override {
        created_.erase(Key(id));
        removed_.insert(Key(id));
    }
    bool Present(const std::string& id) override {
        if (created_.count(Key(id)))
            return true;
        return !removed_.count(Key(id)) && machine_.rootNode_ != nullptr &&
               Key(id) == Key(machine_.rootInstance_);
    }

private:
    static std::string Key(std::string id) {
        for (char& c : id)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return id;
    }
    Machine& machine_;
    std::set<std::string> created_;
    std::set<std::string> removed_;
};

Machine::Machine(MachineConfig config, DriverCatalogue drivers, ProgramCatalogue programs)
    : config_(config), drivers_(std::move(drivers)), programs_(std::move(programs)) {
    platform::trace::SetSink([this](const std::string& line) {
        std::function<void(const std::string&)> listener;
        {
            std::lock_guard lock(traceMutex_);
            if (keepTrace_)
                trace_.push_back(line);
            listener = listener_;
        }
        if (listener)
            listener(line);
    });
    kernel_ = std::make_unique<platform::kernel::Kernel>();
    kernel_->SetViolationHandler([this](const platform::kernel::Violation& violation) {
        std::lock_guard lock(violationMutex_);
        violations_.push_back(violation);
    });
    // What every installed system has before anything of ours.
    auto& registry = kernel_->Registry();
    registry.Create("\\REGISTRY\\Machine\\Software");
    registry.Create("\\REGISTRY\\Machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    registry.Create("\\REGISTRY\\Machine\\System\\ControlSet001\\Services");
    registry.Create("\\REGISTRY\\User\\.Default\\Software");
    system_ = std::make_unique<platform::win32::System>();
    system_->SetOs(config_.os);
    disk_ = std::make_unique<platform::win32::Disk>(config_.os);
    if (config_.keepDisk)
        disk_->Keep();
    WriteSystem(registry, *disk_, config_.os);
    if (!config_.fresh)
        WriteInstalledPackage(registry, *disk_, config_.os);
    setupDevices_ = std::make_unique<SetupDevices>(*this);
    platform::setupapi::SetDeviceTree(setupDevices_.get());
    progman_ = std::make_unique<platform::win32::ProgramManager>();
    runtime_ = std::make_unique<platform::win32::Runtime>();
    runtime_->SetProgramLookup([this](const std::string& name, platform::win32::ProgramSpec* spec) {
        const platform::win32::ProgramSpec* found = programs_.Find(name);
        if (found != nullptr)
            *spec = *found;
        return found != nullptr;
    });
    runtime_->SetScreenSize(config_.screenWidth, config_.screenHeight);
    screens_.push_back(std::make_unique<devices::TouchScreenModel>());
    geometry_ = config_.geometry;
    if (!config_.mediaFolder.empty() && std::filesystem::is_directory(config_.mediaFolder)) {
        disk_->MapDrive('D', config_.mediaFolder);
        mediaFolder_ = config_.mediaFolder;
    }
}

Machine::~Machine() {
    Shutdown();
    platform::setupapi::SetDeviceTree(nullptr);
    runtime_.reset();
    progman_.reset();
    disk_.reset();
    system_.reset();
    kernel_.reset();
    screens_.clear();
    platform::trace::SetSink({});
}

std::vector<std::string> Machine::TraceLines() const {
    std::lock_guard lock(traceMutex_);
    return trace_;
}

void Machine::KeepTrace(bool keep) {
    std::lock_guard lock(traceMutex_);
    keepTrace_ = keep;
    if (!keep)
        std::vector<std::string>().swap(trace_);
}

void Machine::SetTraceListener(std::function<void(const std::string&)> listener) {
    std::lock_guard lock(traceMutex_);
    listener_ = std::move(listener);
}

std::vector<platform::kernel::Violation> Machine::Violations() const {
    std::lock_guard lock(violationMutex_);
    return violations_;
}

void Machine::Trace(const std::string& text) {
    platform::trace::Emit(kernel_->Now(), text);
}

void Machine::Settle() {
    runtime_->RunUntilIdle();
    TakeExitWindowsRequest();
}

void Machine::TakeExitWindowsRequest() {
    if (restarting_ || shutDown_)
        return;
    std::optional<UINT> request = system_->TakeExitWindowsRequest();
    if (!request)
        return;
    if (*request & EWX_REBOOT)
        Restart();
    else if (*request & (EWX_SHUTDOWN | EWX_POWEROFF))
        Shutdown();
    else {
        // Log-off: the programs end; the user logs on again.
        for (platform::win32::ProcessId id : runtime_->RunningProcesses())
            runtime_->Terminate(id, 0);
        runtime_->RunUntilIdle();
        LogOn();
    }
}

static platform::kernel::Kernel::System KernelSystemOf(platform::win32::OsKind os) {
    using System = platform::kernel::Kernel::System;
    switch (os) {
    case platform::win32::OsKind::Windows98:
        return System::Windows98;
    case platform::win32::OsKind::Windows2000:
        return System::Windows2000;
    default:
        return System::WindowsXP;
    }
}

ULONG UsbdiVersionOf(const MachineConfig& config) {
    if (config.usbdiVersion != 0)
        return config.usbdiVersion;
    switch (config.os) {
    case platform::win32::OsKind::Windows98:
        return platform::usb::kUsbdiVersion98;
    case platform::win32::OsKind::Windows2000:
        return platform::usb::kUsbdiVersion2000;
    default:
        return platform::usb::kUsbdiVersionXp;
    }
}

void Machine::Boot() {
    if (booted_)
        return;
    if (shutDown_)
        throw MachineError("the machine has been shut down");
    kernel_->SetSystem(KernelSystemOf(config_.os));
    input_ = InputStack::For(config_.os, config_.screenWidth, config_.screenHeight);
    platform::usb::SetUsbdiVersion(UsbdiVersionOf(config_));
    booted_ = true;
    std::string boot = "machine boot os=" + OsName(config_.os) +
                       " screen=" + std::to_string(config_.screenWidth) + "x" +
                       std::to_string(config_.screenHeight);
    if (config_.usbdiVersion != 0) {
        char forced[32];
        std::snprintf(forced, sizeof forced, " usbdi=0x%X", config_.usbdiVersion);
        boot += forced;
    }
    Trace(boot);
    rootBus_ = std::make_unique<RootBus>();
    setupDevices_->Reset();
    rootInstance_.clear();
    AttachRootDevice();
    usb_ = std::make_unique<Usb>();
    platform::usb::UsbPort& port = usb_->hub.Port();
    port.onArrival = [this](PDEVICE_OBJECT arrived) { OnScreenArrival(arrived); };
    port.onRemoval = [this](PDEVICE_OBJECT) { OnScreenRemoval(); };
    Settle();
    if (config_.poweredOnBefore && !restarting_) {
        restarting_ = true;
        ArriveAndLogOn(config_.screenOnPort);
        restarting_ = false;
        Settle();
    }
}

std::string Machine::WindowsDirectory() const {
    return platform::win32::WindowsDirectoryOf(config_.os);
}

std::vector<std::string> Machine::InfDirectoryFiles() const {
    std::vector<std::string> infs;
    const std::string directory = WindowsDirectory() + "\\INF";
    platform::win32::Disk::Resolved resolved = disk_->Resolve(directory);
    std::error_code error;
    if (resolved.lookup != platform::win32::Disk::Lookup::Found)
        return infs;
    for (const auto& entry : std::filesystem::directory_iterator(resolved.host, error)) {
        std::string name = entry.path().filename().string();
        std::string lower = name;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (entry.is_regular_file() && lower.size() > 4 && lower.substr(lower.size() - 4) == ".inf")
            infs.push_back(directory + "\\" + name);
    }
    std::sort(infs.begin(), infs.end());
    return infs;
}

bool Machine::ResolveDrivers(const std::string& instance, const DriverChoice& choice,
                             platform::kernel::Kernel::DriverService* function,
                             std::vector<platform::kernel::Kernel::DriverService>* filters) {
    // The image file names the driver; without it nothing loads.
    std::optional<std::vector<uint8_t>> image = disk_->ReadFile(choice.imagePath);
    std::optional<std::string> name = image ? DriverImageName(*image) : std::nullopt;
    PDRIVER_INITIALIZE entry = name ? drivers_.Find(*name) : nullptr;
    if (entry == nullptr) {
        Trace("device driver-missing instance=" + instance + " service=" + choice.service +
              " file=" + choice.imagePath);
        return false;
    }
    // The image's imports travel with it: a system lacking one refuses it.
    *function = drivers_.Service(*name);
    function->service = choice.service;
    filters->clear();
    for (const std::string& filter : choice.upperFilters) {
        PDRIVER_INITIALIZE filterEntry = drivers_.Find(filter);
        if (filterEntry == nullptr) {
            Trace("device driver-missing instance=" + instance + " service=" + filter);
            return false;
        }
        filters->push_back(drivers_.Service(filter));
    }
    return true;
}

// The first root touch screen instance whose driver the registry names.
void Machine::AttachRootDevice() {
    const std::string enumKey = config_.os == platform::win32::OsKind::Windows98
                                    ? "\\REGISTRY\\Machine\\Enum\\ROOT\\TOUCHSCREEN"
                                    : "\\REGISTRY\\Machine\\SYSTEM\\CurrentControlSet\\Enum\\"
                                      "ROOT\\TOUCHSCREEN";
    auto& registry = kernel_->Registry();
    platform::registry::KeyRef key = registry.Open(enumKey);
    if (!key)
        return;
    for (const std::string& name : registry.SubkeyNames(key)) {
        const std::string instance = "ROOT\\TOUCHSCREEN\\" + name;
        DriverChoice choice;
        if (!ChooseDriver(config_.os, WindowsDirectory(), instance, &choice))
            continue;
        rootInstance_ = instance;
        platform::kernel::Kernel::DriverService function;
        std::vector<platform::kernel::Kernel::DriverService> filters;
        if (!ResolveDrivers(instance, choice, &function, &filters))
            return;
        PDEVICE_OBJECT pdo = rootBus_->CreatePdo();
        NTSTATUS status = input_->Attach(*kernel_, pdo, instance, function, filters, &rootNode_);
        Trace("device add instance=" + instance + " " +
              input_->Describe(choice.service, choice.upperFilters) + " status=" + Status(status));
        return;
    }
}

void Machine::OnScreenArrival(PDEVICE_OBJECT pdo) {
    // A screen pulled out under an open handle keeps its node until the
    // handle closes; the Plug and Play manager finishes it without us.
    screenNode_ = nullptr;
    const std::string instance = TouchInstance();
    DriverChoice choice;
    if (!ChooseDriver(config_.os, WindowsDirectory(), instance, &choice)) {
        std::string inf;
        if (!platform::setupapi::InstallNewDevice(InfDirectoryFiles(), instance,
                                                  {TouchHardwareId()}, &inf) ||
            !ChooseDriver(config_.os, WindowsDirectory(), instance, &choice)) {
            Trace("device nodriver instance=" + instance);
            return;
        }
    }
    platform::kernel::Kernel::DriverService function;
    std::vector<platform::kernel::Kernel::DriverService> filters;
    if (!ResolveDrivers(instance, choice, &function, &filters))
        return;
    NTSTATUS status = kernel_->PlugInDevice(pdo, instance, function, filters, &screenNode_);
    Trace("device add instance=" + instance + " service=" + choice.service +
          " status=" + Status(status));
}

void Machine::OnScreenRemoval() {
    if (screenNode_ != nullptr)
        kernel_->SurpriseRemoveDevice(screenNode_);
}

void Machine::RequirePlugged(const char* what) const {
    if (!plugged_)
        throw MachineError(std::string(what) + ": the screen is not plugged in");
}

void Machine::PlugScreen() {
    Boot();
    if (plugged_)
        throw MachineError("plug: the screen is plugged in already");
    platform::usb::UsbPort& port = usb_->hub.Port();
    platform::usb::UsbPortOptions options;
    options.enabled = !nextPortDisabled_;
    options.connected = !nextPortDisconnected_;
    nextPortDisabled_ = nextPortDisconnected_ = false;
    Trace("screen plug");
    plugged_ = true;
    port.Plug(Screen(), options);
    Settle();
}

void Machine::UnplugScreen() {
    Boot();
    RequirePlugged("unplug");
    Trace("screen unplug");
    plugged_ = false;
    usb_->hub.Port().PullOut();
    screens_.push_back(std::make_unique<devices::TouchScreenModel>());
    Settle();
}

void Machine::SendReport(uint8_t status, uint16_t x, uint16_t y) {
    RequirePlugged("report");
    char text[64];
    std::snprintf(text, sizeof text, "screen report status=0x%02X x=%u y=%u", status, x, y);
    Trace(text);
    Screen().SendReport(devices::MakeTouchReport(status, x, y));
    Settle();
}

void Machine::Touch(uint16_t x, uint16_t y, unsigned hold, uint16_t toX, uint16_t toY) {
    RequirePlugged("touch");
    const uint64_t interval = Screen().ReportInterval();
    SendReport(devices::kTouchStatusDown, x, y);
    for (unsigned i = 1; i <= hold; ++i) {
        runtime_->AdvanceTime(interval);
        auto along = [i, hold](int from, int to) {
            return static_cast<uint16_t>(from + (to - from) * static_cast<int>(i) /
                                                    static_cast<int>(hold));
        };
        SendReport(devices::kTouchStatusHold, along(x, toX), along(y, toY));
    }
    runtime_->AdvanceTime(interval);
    SendReport(devices::kTouchStatusUp, toX, toY);
}

void Machine::Tap(int pixelX, int pixelY) {
    RequirePlugged("tap");
    Trace("screen tap x=" + std::to_string(pixelX) + " y=" + std::to_string(pixelY));
    const uint64_t interval = Screen().ReportInterval();
    const uint16_t x = geometry_.RawX(pixelX, config_.screenWidth);
    const uint16_t y = geometry_.RawY(pixelY, config_.screenHeight);
    SendReport(devices::kTouchStatusDown, x, y);
    runtime_->AdvanceTime(interval);
    SendReport(devices::kTouchStatusHold, static_cast<uint16_t>(x + 1), y);
    runtime_->AdvanceTime(interval);
    SendReport(devices::kTouchStatusHold, x, static_cast<uint16_t>(y + 1));
    runtime_->AdvanceTime(interval);
    SendReport(devices::kTouchStatusUp, x, y);
}

void Machine::SetGeometry(const devices::TouchGeometry& geometry) {
    geometry_ = geometry;
    Trace("screen geometry left=" + std::to_string(geometry.left) +
          " right=" + std::to_string(geometry.right) + " top=" + std::to_string(geometry.top) +
          " bottom=" + std::to_string(geometry.bottom));
}

void Machine::Fault(ScreenFault fault, unsigned count) {
    const char* name = "";
    switch (fault) {
    case ScreenFault::Timeout:
        name = "timeout";
        Screen().FailTransfers(devices::TransferFault::Timeout, count);
        break;
    case ScreenFault::DataError:
        name = "data-error";
        Screen().FailTransfers(devices::TransferFault::DataError, count);
        break;
    case ScreenFault::ResetDataError:
        name = "reset-data-error";
        Screen().FailResets(count);
        break;
    case ScreenFault::StallClass:
        name = "stall-class";
        Screen().StallNextClassRequests(count);
        break;
    case ScreenFault::PortDisabled:
        name = "port-disabled";
        nextPortDisabled_ = true;
        break;
    case ScreenFault::PortDisconnected:
        name = "port-disconnected";
        nextPortDisconnected_ = true;
        break;
    }
    Trace(std::string("screen fault ") + name + " count=" + std::to_string(count));
    Settle();
}

void Machine::Wait(uint64_t milliseconds) {
    runtime_->AdvanceTime(milliseconds * kMillisecond);
    TakeExitWindowsRequest();
}

NTSTATUS Machine::SetPower(const char* name, SYSTEM_POWER_STATE state) {
    Boot();
    Trace(std::string("power ") + name);
    NTSTATUS status = kernel_->SetSystemPower(state);
    if (!NT_SUCCESS(status))
        Trace(std::string("power ") + name + " error=" + Status(status));
    Settle();
    return status;
}

NTSTATUS Machine::Standby() {
    return SetPower("standby", PowerSystemSleeping3);
}

NTSTATUS Machine::Resume() {
    return SetPower("resume", PowerSystemWorking);
}

platform::win32::ProcessId Machine::StartProgram(const std::string& nameOrPath,
                                                 const std::string& commandLine) {
    Boot();
    if (nameOrPath.find_first_of("\\:") != std::string::npos) {
        platform::win32::ProcessId id = 0;
        DWORD error = platform::win32::StartProgramImage(nameOrPath, commandLine, 1, &id);
        if (error != ERROR_SUCCESS)
            throw MachineError("start: cannot start \"" + nameOrPath + "\": error " +
                               std::to_string(error));
        Settle();
        return id;
    }
    const std::string& name = nameOrPath;
    const platform::win32::ProgramSpec* found = programs_.Find(name);
    if (found == nullptr)
        throw MachineError("start: no program named \"" + name + "\"");
    platform::win32::ProgramSpec spec = *found;
    spec.commandLine = commandLine;
    if (spec.imagePath.empty())
        spec.imagePath = "C:\\" + spec.name + ".exe";
    platform::win32::ProcessId id = runtime_->Start(spec);
    Settle();
    return id;
}

void Machine::InsertMedia(const std::string& hostFolder) {
    if (!std::filesystem::is_directory(hostFolder))
        throw MachineError("media insert: no folder \"" + hostFolder + "\"");
    disk_->MapDrive('D', hostFolder);
    mediaFolder_ = hostFolder;
    Trace("media insert");
}

void Machine::EjectMedia() {
    disk_->UnmapDrive('D');
    mediaFolder_.clear();
    Trace("media eject");
}

bool Machine::SaveScreenPicture(const std::string& path) {
    Settle();
    Trace("machine picture file=" + platform::trace::Quote(path));
    return platform::win32::SavePicture(path, platform::win32::RenderScreenSvg());
}

void Machine::RemoveIfStarted(platform::kernel::DeviceNode* node, const std::string& instance) {
    if (node == nullptr)
        return;
    Kernel::DeviceState state = kernel_->StateOf(node);
    if (state == Kernel::DeviceState::Started || state == Kernel::DeviceState::Stopped) {
        NTSTATUS status = kernel_->RemoveDevice(node);
        if (!NT_SUCCESS(status))
            Trace("device remove instance=" + instance + " error=" + Status(status));
    }
    Settle();
}

void Machine::Shutdown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    Trace("machine shutdown");
    TearDown();
}

void Machine::TearDown() {
    if (control_.IsOpen())
        control_.Close();
    for (platform::win32::ProcessId id : runtime_->RunningProcesses())
        runtime_->Terminate(id, 0);
    runtime_->RunUntilIdle();
    if (booted_) {
        // The input driver holds the touch driver open: it goes first.
        RemoveIfStarted(rootNode_, rootInstance_);
        RemoveIfStarted(screenNode_, TouchInstance());
        usb_.reset();
        input_.reset();
        rootBus_.reset();
        rootNode_ = nullptr;
        screenNode_ = nullptr;
        runtime_->RunUntilIdle();
        platform::usb::SetUsbdiVersion(platform::usb::kUsbdiVersionXp);
    }
    kernel_->CheckForLeaks();
}

void Machine::Restart() {
    if (shutDown_)
        throw MachineError("restart: the machine has been shut down");
    restarting_ = true;
    Trace("machine restart");
    TearDown();
    booted_ = false;
    const bool screenIn = plugged_;
    plugged_ = false;
    if (screenIn)
        screens_.push_back(std::make_unique<devices::TouchScreenModel>());
    Boot();
    ArriveAndLogOn(screenIn);
    restarting_ = false;
    Settle();
}

void Machine::ArriveAndLogOn(bool screenIn) {
    if (screenIn) {
        // Still on its port: it arrives again without anyone plugging it.
        plugged_ = true;
        usb_->hub.Port().Plug(Screen(), {});
    }
    runtime_->RunUntilIdle();
    LogOn();
}

// Starts each command of the machine's Run key, as the shell does at log-on.
void Machine::LogOn() {
    auto& registry = kernel_->Registry();
    auto run =
        registry.Open("\\REGISTRY\\Machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    if (run == nullptr)
        return;
    for (const platform::registry::Value& value : registry.Values(run)) {
        if (value.type != REG_SZ && value.type != REG_EXPAND_SZ)
            continue;
        std::string command;
        for (size_t i = 0; i + 1 < value.data.size(); i += 2) {
            uint16_t unit = static_cast<uint16_t>(value.data[i] | value.data[i + 1] << 8);
            if (unit == 0)
                break;
            command += unit < 0x80 ? static_cast<char>(unit) : '?';
        }
        WinExec(command.c_str(), SW_SHOWNORMAL);
    }
    runtime_->RunUntilIdle();
}

} // namespace machine
