// The driver's four settings: read from the global settings key, backed up
// under the service key after a complete read, read back from there when the
// global key cannot be read. Passive level throughout.
#include "drivers/touch/korvex.h"

#define KEY_PATH_BYTES 132        // path buffers: 66 UTF-16 code units
#define NUMBER_TEXT_BYTES 100     // largest text of "doneMode" and "moveSlider"
#define TEXT_CONVERSION_BYTES 400 // largest REG_SZ data converted to ANSI
#define VALUE_QUERY_SLACK 24      // room beyond name and data in the query buffer
#define NUMBER_DIGITS_BYTES 50    // decimal text written to the backup
#define TABLE_BYTES (TOUCH_TABLE_ENTRIES * sizeof(USHORT))

static const WCHAR GlobalKeyPath[] = KTEXT("\\REGISTRY\\Machine\\Software\\Touch\\usbConfig");
static const WCHAR BackupSubkey[] = KTEXT("\\USBConfig");

// Prefix (optional) + Suffix in a zeroed 132-byte non-paged buffer. FALSE
// when memory is short or the path does not fit; then nothing is allocated.
static BOOLEAN BuildKeyPath(PUNICODE_STRING Path, PCUNICODE_STRING Prefix, PCWSTR Suffix) {
    Path->Buffer = (PWSTR)ExAllocatePoolWithTag(NonPagedPool, KEY_PATH_BYTES, TOUCH_POOL_TAG);
    if (Path->Buffer == NULL) {
        return FALSE;
    }
    RtlZeroMemory(Path->Buffer, KEY_PATH_BYTES);
    Path->Length = 0;
    Path->MaximumLength = KEY_PATH_BYTES;
    if ((Prefix == NULL || NT_SUCCESS(RtlAppendUnicodeStringToString(Path, Prefix))) &&
        NT_SUCCESS(RtlAppendUnicodeToString(Path, Suffix))) {
        return TRUE;
    }
    ExFreePool(Path->Buffer);
    Path->Buffer = NULL;
    return FALSE;
}

// The service key path copied at load + "\USBConfig". FALSE when there is no
// copy or the path does not fit.
static BOOLEAN BuildBackupKeyPath(PTOUCH_DEVICE_EXTENSION Extension, PUNICODE_STRING Path) {
    PUNICODE_STRING serviceKey = (PUNICODE_STRING)IoGetDriverObjectExtension(
        Extension->DriverObject, TOUCH_REGISTRY_PATH_ID);
    if (serviceKey == NULL || serviceKey->Length == 0) {
        return FALSE;
    }
    return BuildKeyPath(Path, serviceKey, BackupSubkey);
}

static VOID FreeKeyPath(PUNICODE_STRING Path) {
    ExFreePool(Path->Buffer);
}

static VOID InitializeKeyAttributes(POBJECT_ATTRIBUTES Attributes, PUNICODE_STRING Path) {
    InitializeObjectAttributes(Attributes, Path, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL,
                               NULL);
}

static NTSTATUS OpenSettingsKey(PUNICODE_STRING Path, ACCESS_MASK Access, PHANDLE Key) {
    OBJECT_ATTRIBUTES attributes;
    InitializeKeyAttributes(&attributes, Path);
    return ZwOpenKey(Key, Access, &attributes);
}

// REG_SZ data as ANSI text with its NUL. The data length alone bounds the
// text (the programs store it without a NUL).
static NTSTATUS CopyValueText(PVOID Data, ULONG DataLength, PCHAR Destination, ULONG Size) {
    if (DataLength > TEXT_CONVERSION_BYTES) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    UNICODE_STRING text;
    text.Buffer = (PWSTR)Data;
    text.Length = (USHORT)(DataLength & ~1UL);
    text.MaximumLength = text.Length;
    ANSI_STRING ansi;
    NTSTATUS status = RtlUnicodeStringToAnsiString(&ansi, &text, TRUE);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    if ((ULONG)ansi.Length + 1 > Size) {
        status = STATUS_BUFFER_TOO_SMALL;
    } else {
        RtlCopyMemory(Destination, ansi.Buffer, ansi.Length);
        Destination[ansi.Length] = '\0';
    }
    RtlFreeAnsiString(&ansi);
    return status;
}

// Reads one value into Destination, which holds Size bytes; data longer than
// Size is refused. Other types than REG_SZ are copied byte for byte and leave
// the bytes beyond the data as they were.
static NTSTATUS ReadSettingValue(HANDLE Key, PCWSTR Name, PVOID Destination, ULONG Size) {
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, Name);
    ULONG bufferSize = name.MaximumLength + Size + VALUE_QUERY_SLACK;
    PKEY_VALUE_FULL_INFORMATION info =
        (PKEY_VALUE_FULL_INFORMATION)ExAllocatePoolWithTag(PagedPool, bufferSize, TOUCH_POOL_TAG);
    if (info == NULL) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    ULONG resultLength;
    NTSTATUS status =
        ZwQueryValueKey(Key, &name, KeyValueFullInformation, info, bufferSize, &resultLength);
    if (NT_SUCCESS(status)) {
        PVOID data = (PUCHAR)info + info->DataOffset;
        if (info->DataLength > Size) {
            status = STATUS_BUFFER_TOO_SMALL;
        } else if (info->Type == REG_SZ) {
            status = CopyValueText(data, info->DataLength, (PCHAR)Destination, Size);
        } else {
            RtlCopyMemory(Destination, data, info->DataLength);
        }
    }
    ExFreePool(info);
    return status;
}

// A decimal number stored as text. A REG_DWORD is not read as its number:
// its four bytes are taken as text. The conversion's status is not checked.
static NTSTATUS ReadSettingNumber(HANDLE Key, PCWSTR Name, PLONG Number) {
    CHAR text[NUMBER_TEXT_BYTES + 1]; // the extra byte keeps 100 bytes of data terminated
    RtlZeroMemory(text, sizeof(text));
    NTSTATUS status = ReadSettingValue(Key, Name, text, NUMBER_TEXT_BYTES);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    ANSI_STRING ansi;
    UNICODE_STRING wide;
    RtlInitAnsiString(&ansi, text);
    status = RtlAnsiStringToUnicodeString(&wide, &ansi, TRUE);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    RtlUnicodeStringToInteger(&wide, 10, (PULONG)Number);
    RtlFreeUnicodeString(&wide);
    return STATUS_SUCCESS;
}

// Tries every value; each one read replaces its setting. TRUE when all four
// were read.
static BOOLEAN ReadAllSettings(PTOUCH_DEVICE_EXTENSION Extension, HANDLE Key) {
    BOOLEAN complete = TRUE;
    if (!NT_SUCCESS(ReadSettingValue(Key, KTEXT("XArray"), Extension->XArray, TABLE_BYTES))) {
        complete = FALSE;
    }
    if (!NT_SUCCESS(ReadSettingValue(Key, KTEXT("YArray"), Extension->YArray, TABLE_BYTES))) {
        complete = FALSE;
    }
    if (!NT_SUCCESS(ReadSettingNumber(Key, KTEXT("doneMode"), &Extension->doneMode))) {
        complete = FALSE;
    }
    if (!NT_SUCCESS(ReadSettingNumber(Key, KTEXT("moveSlider"), &Extension->moveSlider))) {
        complete = FALSE;
    }
    return complete;
}

// Called at every start of the reader and on the reload command. A failed or
// partial read leaves CalibrationLoaded as it was.
VOID LoadSettings(PTOUCH_DEVICE_EXTENSION Extension) {
    EXPECT_PASSIVE_LEVEL();
    UNICODE_STRING path;
    if (!BuildKeyPath(&path, NULL, GlobalKeyPath)) {
        return;
    }
    HANDLE key;
    if (NT_SUCCESS(OpenSettingsKey(&path, KEY_READ | KEY_WRITE, &key))) {
        BOOLEAN complete = ReadAllSettings(Extension, key);
        ZwClose(key);
        if (complete) {
            Extension->CalibrationLoaded = TRUE;
            SaveBackupSettings(Extension);
        }
    }
    FreeKeyPath(&path);
}

// Never rewrites the backup. TRUE (and CalibrationLoaded set) when all four
// values were read.
BOOLEAN LoadBackupSettings(PTOUCH_DEVICE_EXTENSION Extension) {
    EXPECT_PASSIVE_LEVEL();
    UNICODE_STRING path;
    if (!BuildBackupKeyPath(Extension, &path)) {
        return FALSE;
    }
    BOOLEAN complete = FALSE;
    HANDLE key;
    if (NT_SUCCESS(OpenSettingsKey(&path, KEY_READ, &key))) {
        complete = ReadAllSettings(Extension, key);
        ZwClose(key);
    }
    if (complete) {
        Extension->CalibrationLoaded = TRUE;
    }
    FreeKeyPath(&path);
    return complete;
}

static VOID WriteSettingNumber(HANDLE Key, PCWSTR Name, LONG Number) {
    WCHAR digits[NUMBER_DIGITS_BYTES / sizeof(WCHAR)];
    RtlZeroMemory(digits, sizeof(digits));
    UNICODE_STRING text;
    text.Buffer = digits;
    text.Length = 0;
    text.MaximumLength = sizeof(digits);
    if (!NT_SUCCESS(RtlIntegerToUnicodeString((ULONG)Number, 10, &text))) {
        return;
    }
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, Name);
    ZwSetValueKey(Key, &name, 0, REG_SZ, digits, text.Length + sizeof(WCHAR));
}

static VOID WriteSettingTable(HANDLE Key, PCWSTR Name, PUSHORT Table) {
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, Name);
    ZwSetValueKey(Key, &name, 0, REG_BINARY, Table, TABLE_BYTES);
}

// Write failures are ignored: the loaded settings are in force either way.
VOID SaveBackupSettings(PTOUCH_DEVICE_EXTENSION Extension) {
    EXPECT_PASSIVE_LEVEL();
    if (!Extension->CalibrationLoaded) {
        return;
    }
    UNICODE_STRING path;
    if (!BuildBackupKeyPath(Extension, &path)) {
        return;
    }
    OBJECT_ATTRIBUTES attributes;
    InitializeKeyAttributes(&attributes, &path);
    HANDLE key;
    ULONG disposition;
    if (NT_SUCCESS(ZwCreateKey(&key, KEY_WRITE, &attributes, 0, NULL, REG_OPTION_NON_VOLATILE,
                               &disposition))) {
        WriteSettingTable(key, KTEXT("XArray"), Extension->XArray);
        WriteSettingTable(key, KTEXT("YArray"), Extension->YArray);
        WriteSettingNumber(key, KTEXT("doneMode"), Extension->doneMode);
        WriteSettingNumber(key, KTEXT("moveSlider"), Extension->moveSlider);
        ZwClose(key);
    }
    FreeKeyPath(&path);
}
