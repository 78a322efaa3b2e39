// Device interfaces: registration and enabling. An enabled interface has a
// symbolic link in "\??\" to its PDO, so that it can be opened.
#include "platform/kernel/io_manager.h"
#include "platform/kernel/kernel_state.h"
#include "platform/kernel/thread_context.h"

#include <cstdio>
#include <cstring>

using namespace platform::kernel::detail;
using platform::kernel::Narrow;

const GUID GUID_DEVICE_INTERFACE_ARRIVAL = {
    0xcb3a4004, 0x46f0, 0x11d0, {0xb0, 0x8f, 0x00, 0x60, 0x97, 0x13, 0x05, 0x3f}};
const GUID GUID_DEVICE_INTERFACE_REMOVAL = {
    0xcb3a4005, 0x46f0, 0x11d0, {0xb0, 0x8f, 0x00, 0x60, 0x97, 0x13, 0x05, 0x3f}};

namespace platform::kernel::detail {

std::string DeviceInterfaces::GuidText(const GUID& guid) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                  guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                  guid.Data4[6], guid.Data4[7]);
    return text;
}

void DeviceInterfaces::SetEnabled(InterfaceEntry& entry, bool enable) {
    auto& k = K();
    entry.enabled = enable;
    {
        std::lock_guard names(k.objects.mutex);
        std::string key = ObjectTable::Key(entry.link);
        if (enable)
            k.objects.names[key] = NameEntry{entry.link, nullptr, {}, entry.pdo};
        else
            k.objects.names.erase(key);
    }
    PostInterfaceChange(entry, enable, nextSerial++, nullptr);
}

void DeviceInterfaces::DisableAllOf(PDEVICE_OBJECT pdo) {
    std::lock_guard lock(mutex);
    for (auto& [key, entry] : entries)
        if (entry.pdo == pdo && entry.enabled)
            SetEnabled(entry, false);
}

std::vector<std::string> DeviceInterfaces::RegistrationsOf(PDRIVER_OBJECT driver) {
    std::lock_guard lock(mutex);
    std::vector<std::string> found;
    for (auto& registration : registrations)
        if (registration->active && registration->driver == driver)
            found.push_back("a notification registration for " + GuidText(registration->classGuid));
    return found;
}

} // namespace platform::kernel::detail

namespace {

void CheckPassive(const char* caller) {
    if (ThreadIrql() != PASSIVE_LEVEL)
        K().verifier.Report("irql-invalid",
                            std::string(caller) + " at IRQL " + std::to_string(ThreadIrql()));
}

} // namespace

NTSTATUS IoRegisterDeviceInterface(PDEVICE_OBJECT PhysicalDeviceObject,
                                   const GUID* InterfaceClassGuid, PUNICODE_STRING ReferenceString,
                                   PUNICODE_STRING SymbolicLinkName) {
    auto& k = K();
    CheckPassive("IoRegisterDeviceInterface");
    std::string instance;
    {
        std::lock_guard lock(k.objects.mutex);
        DeviceInfo* pdo = k.objects.FindDevice(PhysicalDeviceObject);
        if (!pdo || pdo->deleted)
            return STATUS_INVALID_DEVICE_REQUEST;
        instance = pdo->instancePath;
    }
    if (instance.empty()) {
        std::lock_guard lock(k.interfaces.mutex);
        auto& number = k.interfaces.pdoNumbers[PhysicalDeviceObject];
        if (number == 0)
            number = static_cast<int>(k.interfaces.pdoNumbers.size());
        char text[32];
        std::snprintf(text, sizeof text, "ROOT\\DEVICE\\%04d", number);
        instance = text;
    }
    for (char& c : instance)
        if (c == '\\')
            c = '#';
    // Appended, not "literal" + string: GCC 12 at -O3 reports a false -Wrestrict
    // on the insert at the front that operator+ does.
    std::string link = "\\??\\";
    link += instance;
    link += '#';
    link += DeviceInterfaces::GuidText(*InterfaceClassGuid);
    if (ReferenceString && ReferenceString->Length) {
        link += '\\';
        link += Narrow(*ReferenceString);
    }

    size_t bytes = (link.size() + 1) * sizeof(WCHAR);
    auto buffer = static_cast<PWSTR>(ExAllocatePoolWithTag(PagedPool, bytes, kStringPoolTag));
    if (!buffer)
        return STATUS_INSUFFICIENT_RESOURCES;
    std::u16string wide = platform::kernel::Widen(link);
    std::memcpy(buffer, wide.c_str(), bytes);
    SymbolicLinkName->Buffer = buffer;
    SymbolicLinkName->Length = static_cast<USHORT>(link.size() * sizeof(WCHAR));
    SymbolicLinkName->MaximumLength = static_cast<USHORT>(bytes);

    // The same instance path and class give the same interface, also for a
    // new PDO after the device came back.
    std::lock_guard lock(k.interfaces.mutex);
    InterfaceEntry& entry = k.interfaces.entries[ObjectTable::Key(link)];
    if (!entry.enabled)
        entry = InterfaceEntry{PhysicalDeviceObject, *InterfaceClassGuid, link, false};
    return STATUS_SUCCESS;
}

NTSTATUS IoSetDeviceInterfaceState(PUNICODE_STRING SymbolicLinkName, BOOLEAN Enable) {
    auto& k = K();
    CheckPassive("IoSetDeviceInterfaceState");
    std::string link = Narrow(*SymbolicLinkName);
    std::string key = ObjectTable::Key(link);
    NTSTATUS status;
    std::lock_guard lock(k.interfaces.mutex);
    auto found = k.interfaces.entries.find(key);
    if (found == k.interfaces.entries.end())
        status = STATUS_OBJECT_NAME_NOT_FOUND;
    else if (Enable && found->second.enabled)
        status = STATUS_OBJECT_NAME_EXISTS;
    else if (!Enable && !found->second.enabled)
        status = STATUS_OBJECT_NAME_NOT_FOUND;
    else {
        k.interfaces.SetEnabled(found->second, Enable);
        status = STATUS_SUCCESS;
    }
    k.interfaces.changes.push_back({k.clock.Now(), link, Enable != FALSE, status});
    return status;
}
