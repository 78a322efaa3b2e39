#include "machine/installed_package.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace machine {
namespace {

using platform::win32::OsKind;

const std::string kMachine = "\\REGISTRY\\Machine\\";
const std::string kNtEnum = kMachine + "SYSTEM\\CurrentControlSet\\Enum\\";
const std::string kNtClass = kMachine + "SYSTEM\\CurrentControlSet\\Control\\Class\\";
const std::string kServices = kMachine + "SYSTEM\\CurrentControlSet\\Services\\";
const std::string k98Enum = kMachine + "Enum\\";
const std::string k98Class = kMachine + "System\\CurrentControlSet\\Services\\Class\\";
const std::string kMouseGuid = "{4D36E96F-E325-11CE-BFC1-08002BE10318}";
const std::string kUsbGuid = "{36FC9E60-C465-11CF-8056-444553540000}";

constexpr uint32_t kSz = 1, kExpandSz = 2, kDword = 4, kMultiSz = 7;

// Native REG_SZ data: UTF-16LE with its NUL; a multi-string's items each
// with a NUL and one more at the end.
std::vector<uint8_t> Utf16(const std::vector<std::string>& items, bool multi) {
    std::vector<uint8_t> bytes;
    for (const auto& item : items) {
        for (char c : item) {
            bytes.push_back(static_cast<uint8_t>(c));
            bytes.push_back(0);
        }
        bytes.insert(bytes.end(), {0, 0});
    }
    if (multi)
        bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

void Text(platform::registry::Store& store, const std::string& key, const std::string& name,
          const std::string& value, uint32_t type = kSz) {
    auto data = Utf16({value}, false);
    store.SetValue(key, name, type, data.data(), data.size());
}

using Pairs = std::initializer_list<std::pair<const char*, std::string>>;

void Texts(platform::registry::Store& store, const std::string& key, Pairs pairs) {
    for (const auto& [name, value] : pairs)
        Text(store, key, name, value);
}

void List(platform::registry::Store& store, const std::string& key, const std::string& name,
          const std::vector<std::string>& items) {
    auto data = Utf16(items, true);
    store.SetValue(key, name, kMultiSz, data.data(), data.size());
}

void Number(platform::registry::Store& store, const std::string& key, const std::string& name,
            uint32_t value) {
    store.SetValue(key, name, kDword, &value, sizeof value);
}

void Service(platform::registry::Store& store, const std::string& name, const std::string& display,
             const std::string& group) {
    const std::string key = kServices + name;
    Number(store, key, "Type", 1);
    Number(store, key, "Start", 3);
    Number(store, key, "ErrorControl", 1);
    Text(store, key, "ImagePath", "system32\\drivers\\" + name + ".sys", kExpandSz);
    Text(store, key, "DisplayName", display);
    if (!group.empty())
        Text(store, key, "Group", group);
}

void InstallNt(platform::registry::Store& store) {
    Service(store, "pelmoxp", "Touch screen mouse service", "Pointer Port");
    Service(store, "korvex", "USB infrared touch screen driver", "");

    const std::string root = kNtEnum + "ROOT\\TOUCHSCREEN\\0000";
    Texts(store, root,
          {{"ClassGUID", kMouseGuid},
           {"Class", "Mouse"},
           {"DeviceDesc", "win2kxp usb infrared touchscreen Service"},
           {"Mfg", "Orvan"},
           {"Driver", kMouseGuid + "\\0000"},
           {"Service", "pelmoxp"}});
    Number(store, root + "\\Device Parameters", "DeviceType", 1);
    const std::string rootDriver = kNtClass + kMouseGuid + "\\0000";
    Texts(store, rootDriver,
          {{"DriverDesc", "win2kxp usb infrared touchscreen Service"},
           {"InfPath", "pelmoxp.inf"},
           {"InfSection", "pelmoxp"},
           {"MatchingDeviceId", "ROOT\\TOUCHSCREEN"}});

    const std::string screen = kNtEnum + "USB\\VID_595A&PID_0001\\1";
    List(store, screen, "HardwareID", {"USB\\VID_595A&PID_0001"});
    Texts(store, screen,
          {{"ClassGUID", kUsbGuid},
           {"Class", "USB"},
           {"DeviceDesc", "USB infrared touch screen"},
           {"Driver", kUsbGuid + "\\0000"},
           {"Service", "korvex"}});
    const std::string screenDriver = kNtClass + kUsbGuid + "\\0000";
    Texts(store, screenDriver,
          {{"InfPath", "trilloxp.inf"},
           {"InfSection", "korvex.NT"},
           {"MatchingDeviceId", "USB\\VID_595A&PID_0001"}});
}

void Install98(platform::registry::Store& store) {
    const std::string root = k98Enum + "Root\\TouchScreen\\0000";
    Texts(store, root,
          {{"DeviceDesc", "win98 usb infrared touchscreen Service"},
           {"Class", "TouchScreen"},
           {"HardwareID", "ROOT\\TouchScreen"},
           {"Mfg", "Orvan"},
           {"Driver", "TouchScreen\\0000"}});
    const std::string rootDriver = k98Class + "TouchScreen\\0000";
    Texts(store, rootDriver,
          {{"DriverDesc", "win98 usb infrared touchscreen Service"},
           {"DevLoader", "*ntkern"},
           {"NTMPDriver", "Pelmo98.sys"},
           {"InfPath", "PELMO98.inf"},
           {"InfSection", "DidIzer.Install"}});

    const std::string screen = k98Enum + "USB\\VID_595A&PID_0001\\1";
    List(store, screen, "HardwareID", {"USB\\VID_595A&PID_0001"});
    Texts(store, screen,
          {{"Class", "USB"}, {"DeviceDesc", "USB infrared touch screen"}, {"Driver", "USB\\0000"}});
    const std::string screenDriver = k98Class + "USB\\0000";
    Texts(store, screenDriver,
          {{"DevLoader", "*ntkern"}, {"NTMPDriver", "korvex.sys"}, {"InfPath", "Trillo98.inf"}});
}

} // namespace

void WriteSystemRegistry(platform::registry::Store& store, OsKind os) {
    if (os == OsKind::Windows98)
        return;
    const std::string mouse = kNtClass + kMouseGuid;
    Text(store, mouse, "", "Mice and other pointing devices");
    Text(store, mouse, "Class", "Mouse");
    List(store, mouse, "UpperFilters", {"mouclass"});
    const std::string usb = kNtClass + kUsbGuid;
    Text(store, usb, "", "Universal Serial Bus controllers");
    Text(store, usb, "Class", "USB");
    const std::string mouclass = kServices + "mouclass";
    Number(store, mouclass, "Type", 1);
    Number(store, mouclass, "Start", 1);
    Text(store, mouclass, "ImagePath", "system32\\DRIVERS\\mouclass.sys", kExpandSz);
}

void WriteInstalledPackage(platform::registry::Store& store, OsKind os) {
    if (os == OsKind::Windows98)
        Install98(store);
    else
        InstallNt(store);
}

} // namespace machine
