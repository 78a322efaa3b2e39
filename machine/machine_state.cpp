#include "machine/machine_state.h"

#include "machine/machine_error.h"
#include "machine/progman_text.h"
#include "machine/registry_text.h"

#include <fstream>
#include <map>
#include <sstream>

namespace machine {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw MachineError("cannot read " + path.string());
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
    if (!file)
        throw MachineError("cannot write " + path.string());
}

// machine.txt: "name=value" lines.
std::map<std::string, std::string> ReadFields(const fs::path& dir) {
    std::map<std::string, std::string> fields;
    std::istringstream lines(ReadText(dir / "machine.txt"));
    for (std::string line; std::getline(lines, line);) {
        size_t equals = line.find('=');
        if (!line.empty() && line[0] != ';' && equals != std::string::npos)
            fields[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return fields;
}

platform::win32::OsKind OsOf(const std::string& name) {
    using platform::win32::OsKind;
    for (OsKind os : {OsKind::Windows98, OsKind::Windows2000, OsKind::WindowsXP})
        if (OsName(os) == name)
            return os;
    throw MachineError("machine.txt: unknown os \"" + name + "\"");
}

// Replaces the contents of `to` with those of `from`.
void Mirror(const fs::path& from, const fs::path& to) {
    fs::create_directories(to);
    for (const auto& entry : fs::directory_iterator(to))
        fs::remove_all(entry.path());
    fs::copy(from, to, fs::copy_options::recursive);
}

} // namespace

bool HasMachineState(const fs::path& dir) {
    return fs::is_regular_file(dir / "machine.txt");
}

MachineConfig KeptConfig(const fs::path& dir) {
    std::map<std::string, std::string> fields = ReadFields(dir);
    MachineConfig config;
    try {
        config.os = OsOf(fields.at("os"));
        const std::string& screen = fields.at("screen");
        config.screenWidth = std::stoi(screen.substr(0, screen.find('x')));
        config.screenHeight = std::stoi(screen.substr(screen.find('x') + 1));
        config.usbdiVersion = static_cast<ULONG>(std::stoul(fields.at("usbdi"), nullptr, 0));
    } catch (const std::logic_error&) {
        throw MachineError("machine.txt in " + dir.string() + ": os, screen or usbdi unreadable");
    }
    config.fresh = true; // the package is what the kept registry holds
    config.poweredOnBefore = true;
    config.screenOnPort = fields["screen-on-port"] == "yes";
    config.mediaFolder = fields["media"];
    devices::TouchGeometry& geometry = config.geometry;
    std::istringstream(fields["geometry"]) >> geometry.left >> geometry.right >> geometry.top >>
        geometry.bottom;
    return config;
}

void LoadMachineState(Machine& machine, const fs::path& dir) {
    std::map<std::string, std::string> fields = ReadFields(dir);
    std::string error;
    if (!ImportRegistry(machine.Kernel().Registry(), ReadText(dir / "registry.reg"), &error))
        throw MachineError("registry.reg: " + error);
    std::optional<std::vector<platform::win32::ProgmanGroup>> groups =
        ImportGroups(ReadText(dir / "groups.txt"));
    if (!groups)
        throw MachineError("groups.txt: unreadable");
    machine.Progman().SetGroups(std::move(*groups));
    Mirror(dir / "disk", machine.Disk().HostRoot());
    uint64_t clock = 0;
    std::istringstream(fields["clock"]) >> clock;
    machine.Kernel().AdvanceTime(clock);
}

void SaveMachineState(Machine& machine, const fs::path& dir) {
    const MachineConfig& config = machine.Config();
    const devices::TouchGeometry& geometry = machine.Geometry();
    fs::create_directories(dir);
    std::ostringstream fields;
    fields << "; a machine kept between touchsim runs\n"
           << "os=" << OsName(config.os) << "\n"
           << "screen=" << config.screenWidth << "x" << config.screenHeight << "\n"
           << "usbdi=0x" << std::hex << config.usbdiVersion << std::dec << "\n"
           << "clock=" << machine.Kernel().Now() << "\n"
           << "geometry=" << geometry.left << " " << geometry.right << " " << geometry.top << " "
           << geometry.bottom << "\n"
           << "screen-on-port=" << (machine.ScreenPlugged() ? "yes" : "no") << "\n"
           << "media=" << machine.MediaFolder() << "\n";
    WriteText(dir / "registry.reg", ExportRegistry(machine.Kernel().Registry()));
    WriteText(dir / "groups.txt", ExportGroups(machine.Progman().Groups()));
    Mirror(machine.Disk().HostRoot(), dir / "disk");
    // Last: a folder without it holds no state.
    WriteText(dir / "machine.txt", fields.str());
}

} // namespace machine
