// The Zw registry calls on the machine's registry store. Keys are reached
// through handles with the access granted at open; the registry is paged, so
// every call belongs at PASSIVE_LEVEL and one made at DISPATCH_LEVEL or above
// is reported to the verifier (the call is then served as usual).
#include "platform/kernel/kernel.h"
#include "platform/kernel/zw_handles.h"

#include "platform/registry/names.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

using platform::kernel::HandleText;
using platform::kernel::Kernel;
using platform::kernel::KeyHandleTable;
using platform::registry::KeyRef;
using platform::registry::Store;

constexpr std::string_view kRegistryRoot = "\\REGISTRY";

// Reports a call made above PASSIVE_LEVEL; the call goes on regardless.
void CheckIrql(const char* call, const std::string& subject) {
    KIRQL irql = KeGetCurrentIrql();
    if (irql >= DISPATCH_LEVEL) {
        Kernel::Current().ReportViolation("registry-at-dispatch",
                                          std::string(call) + "(" + subject + ") at IRQL " +
                                              std::to_string(static_cast<int>(irql)));
    }
}

std::string NameOf(PCUNICODE_STRING name) {
    return name ? platform::kernel::Narrow(*name) : std::string();
}

// Looks up an open key that must grant `needed`; on success *key is the key.
NTSTATUS ReferenceKey(HANDLE handle, ACCESS_MASK needed, KeyRef* key) {
    auto open = KeyHandleTable::Of(Kernel::Current()).Find(handle);
    if (!open) {
        return STATUS_INVALID_HANDLE;
    }
    if ((open->access & needed) != needed) {
        return STATUS_ACCESS_DENIED;
    }
    if (Kernel::Current().Registry().IsDeleted(open->key)) {
        return STATUS_KEY_DELETED;
    }
    *key = open->key;
    return STATUS_SUCCESS;
}

NTSTATUS ValidateRelative(const std::string& relative) {
    return platform::registry::SplitPath(relative) ? STATUS_SUCCESS : STATUS_OBJECT_NAME_INVALID;
}

// Splits the object attributes into the key that a lookup starts from and the
// relative path below it. Absolute names start at "\REGISTRY"; with a
// RootDirectory the name is relative to that open key.
NTSTATUS ResolveStart(POBJECT_ATTRIBUTES attributes, KeyRef* start, std::string* relative) {
    if (attributes == NULL || attributes->ObjectName == NULL) {
        return STATUS_INVALID_PARAMETER;
    }
    std::string name = NameOf(attributes->ObjectName);
    Store& store = Kernel::Current().Registry();
    if (attributes->RootDirectory != NULL) {
        if (!name.empty() && name.front() == '\\') {
            return STATUS_OBJECT_PATH_SYNTAX_BAD;
        }
        NTSTATUS status = ReferenceKey(attributes->RootDirectory, 0, start);
        *relative = std::move(name);
        return NT_SUCCESS(status) ? ValidateRelative(*relative) : status;
    }
    if (name.empty() || name.front() != '\\') {
        return STATUS_OBJECT_PATH_SYNTAX_BAD;
    }
    std::string_view view(name);
    bool underRoot =
        view.size() >= kRegistryRoot.size() &&
        platform::registry::NamesEqual(view.substr(0, kRegistryRoot.size()), kRegistryRoot) &&
        (view.size() == kRegistryRoot.size() || view[kRegistryRoot.size()] == '\\');
    if (!underRoot) {
        return STATUS_OBJECT_PATH_NOT_FOUND;
    }
    view.remove_prefix(std::min(view.size(), kRegistryRoot.size() + 1));
    *start = store.Open(std::string(kRegistryRoot));
    *relative = std::string(view);
    return ValidateRelative(*relative);
}

NTSTATUS InsertHandle(const KeyRef& key, ACCESS_MASK access, PHANDLE handle) {
    *handle = KeyHandleTable::Of(Kernel::Current()).Insert(key, access);
    return STATUS_SUCCESS;
}

// The fixed part of a record is written whole; the variable parts (name,
// data) as far as they fit. Bytes between the parts are not touched.
struct RecordWriter {
    PUCHAR buffer;
    ULONG length;

    void Put(ULONG offset, const void* bytes, size_t size) const {
        // An empty value has no bytes to point at: memcpy must not see its null.
        if (offset < length && size != 0) {
            memcpy(buffer + offset, bytes, std::min<size_t>(size, length - offset));
        }
    }
};

} // namespace

NTSTATUS ZwOpenKey(PHANDLE KeyHandle, ACCESS_MASK DesiredAccess,
                   POBJECT_ATTRIBUTES ObjectAttributes) {
    CheckIrql("ZwOpenKey", ObjectAttributes ? NameOf(ObjectAttributes->ObjectName) : "");
    if (KeyHandle == NULL) {
        return STATUS_ACCESS_VIOLATION;
    }
    KeyRef start;
    std::string relative;
    NTSTATUS status = ResolveStart(ObjectAttributes, &start, &relative);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    KeyRef key = Kernel::Current().Registry().Open(start, relative);
    if (!key) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    return InsertHandle(key, DesiredAccess, KeyHandle);
}

// Creates only the last component of the path; the keys above it must exist.
NTSTATUS ZwCreateKey(PHANDLE KeyHandle, ACCESS_MASK DesiredAccess,
                     POBJECT_ATTRIBUTES ObjectAttributes, ULONG TitleIndex, PUNICODE_STRING Class,
                     ULONG CreateOptions, PULONG Disposition) {
    UNREFERENCED_PARAMETER(TitleIndex);
    UNREFERENCED_PARAMETER(Class);
    CheckIrql("ZwCreateKey", ObjectAttributes ? NameOf(ObjectAttributes->ObjectName) : "");
    if (KeyHandle == NULL) {
        return STATUS_ACCESS_VIOLATION;
    }
    if ((CreateOptions & ~static_cast<ULONG>(REG_OPTION_VOLATILE)) != 0) {
        return STATUS_INVALID_PARAMETER;
    }
    KeyRef start;
    std::string relative;
    NTSTATUS status = ResolveStart(ObjectAttributes, &start, &relative);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    Store& store = Kernel::Current().Registry();
    size_t split = relative.rfind('\\');
    std::string above = split == std::string::npos ? std::string() : relative.substr(0, split);
    std::string last = split == std::string::npos ? relative : relative.substr(split + 1);
    KeyRef parent = store.Open(start, above);
    if (!parent) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    bool created = false;
    KeyRef key = store.Create(parent, last, &created);
    if (!key) {
        // The parent went away meanwhile, or it is the root, which takes no new keys.
        return store.IsDeleted(parent) ? STATUS_KEY_DELETED : STATUS_ACCESS_DENIED;
    }
    if (Disposition != NULL) {
        *Disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    return InsertHandle(key, DesiredAccess, KeyHandle);
}

NTSTATUS ZwQueryValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName,
                         KEY_VALUE_INFORMATION_CLASS KeyValueInformationClass,
                         PVOID KeyValueInformation, ULONG Length, PULONG ResultLength) {
    CheckIrql("ZwQueryValueKey", NameOf(ValueName));
    if (ValueName == NULL || ResultLength == NULL || (KeyValueInformation == NULL && Length != 0)) {
        return STATUS_ACCESS_VIOLATION;
    }
    KeyRef key;
    NTSTATUS status = ReferenceKey(KeyHandle, KEY_QUERY_VALUE, &key);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    auto value = Kernel::Current().Registry().GetValue(key, NameOf(ValueName));
    if (!value) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    std::u16string name = platform::kernel::Widen(value->name);
    ULONG nameBytes = static_cast<ULONG>(name.size() * sizeof(WCHAR));
    ULONG dataBytes = static_cast<ULONG>(value->data.size());

    ULONG fixed;
    ULONG required;
    RecordWriter out{static_cast<PUCHAR>(KeyValueInformation), Length};
    switch (KeyValueInformationClass) {
    case KeyValueBasicInformation: {
        fixed = FIELD_OFFSET(KEY_VALUE_BASIC_INFORMATION, Name);
        required = fixed + nameBytes;
        if (Length >= fixed) {
            KEY_VALUE_BASIC_INFORMATION header = {0, value->type, nameBytes, {0}};
            out.Put(0, &header, fixed);
            out.Put(fixed, name.data(), nameBytes);
        }
        break;
    }
    case KeyValueFullInformation: {
        fixed = FIELD_OFFSET(KEY_VALUE_FULL_INFORMATION, Name);
        // The data starts at the next ULONG boundary after the name.
        ULONG dataOffset = (fixed + nameBytes + sizeof(ULONG) - 1) & ~(sizeof(ULONG) - 1);
        required = dataOffset + dataBytes;
        if (Length >= fixed) {
            KEY_VALUE_FULL_INFORMATION header = {0,         value->type, dataOffset,
                                                 dataBytes, nameBytes,   {0}};
            out.Put(0, &header, fixed);
            out.Put(fixed, name.data(), nameBytes);
            out.Put(dataOffset, value->data.data(), dataBytes);
        }
        break;
    }
    case KeyValuePartialInformation: {
        fixed = FIELD_OFFSET(KEY_VALUE_PARTIAL_INFORMATION, Data);
        required = fixed + dataBytes;
        if (Length >= fixed) {
            KEY_VALUE_PARTIAL_INFORMATION header = {0, value->type, dataBytes, {0}};
            out.Put(0, &header, fixed);
            out.Put(fixed, value->data.data(), dataBytes);
        }
        break;
    }
    default:
        return STATUS_INVALID_PARAMETER;
    }
    *ResultLength = required;
    if (Length < fixed) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    return Length < required ? STATUS_BUFFER_OVERFLOW : STATUS_SUCCESS;
}

NTSTATUS ZwSetValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName, ULONG TitleIndex, ULONG Type,
                       PVOID Data, ULONG DataSize) {
    UNREFERENCED_PARAMETER(TitleIndex);
    CheckIrql("ZwSetValueKey", NameOf(ValueName));
    if (ValueName == NULL || (Data == NULL && DataSize != 0)) {
        return STATUS_ACCESS_VIOLATION;
    }
    KeyRef key;
    NTSTATUS status = ReferenceKey(KeyHandle, KEY_SET_VALUE, &key);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    if (!Kernel::Current().Registry().SetValue(key, NameOf(ValueName), Type, Data, DataSize)) {
        return STATUS_KEY_DELETED;
    }
    return STATUS_SUCCESS;
}

NTSTATUS ZwDeleteValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName) {
    CheckIrql("ZwDeleteValueKey", NameOf(ValueName));
    if (ValueName == NULL) {
        return STATUS_ACCESS_VIOLATION;
    }
    KeyRef key;
    NTSTATUS status = ReferenceKey(KeyHandle, KEY_SET_VALUE, &key);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    Store& store = Kernel::Current().Registry();
    if (!store.DeleteValue(key, NameOf(ValueName))) {
        return store.IsDeleted(key) ? STATUS_KEY_DELETED : STATUS_OBJECT_NAME_NOT_FOUND;
    }
    return STATUS_SUCCESS;
}

// The handle stays open (and must still be closed); the key is marked deleted.
NTSTATUS ZwDeleteKey(HANDLE KeyHandle) {
    CheckIrql("ZwDeleteKey", HandleText(KeyHandle));
    KeyRef key;
    NTSTATUS status = ReferenceKey(KeyHandle, DELETE, &key);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    Store& store = Kernel::Current().Registry();
    if (!store.DeleteKey(key)) {
        return store.IsDeleted(key) ? STATUS_KEY_DELETED : STATUS_CANNOT_DELETE;
    }
    return STATUS_SUCCESS;
}

// Closing a handle that is not open is a fault in the caller (on Windows a
// bug check for kernel handles): reported, and refused.
NTSTATUS ZwClose(HANDLE Handle) {
    CheckIrql("ZwClose", HandleText(Handle));
    Kernel& kernel = Kernel::Current();
    if (!KeyHandleTable::Of(kernel).Close(Handle)) {
        kernel.ReportViolation("invalid-handle", "ZwClose(" + HandleText(Handle) + ")");
        return STATUS_INVALID_HANDLE;
    }
    return STATUS_SUCCESS;
}
