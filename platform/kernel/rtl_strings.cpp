// Counted strings: initialisation, copy, append, comparison, the ANSI <->
// UTF-16 conversions and the GUID text. Buffers this file allocates come from
// paged pool with kStringPoolTag and go back through RtlFree*String.
#include "platform/kernel/ntddk.h"
#include "platform/kernel/pool.h"

#include <cstdio>

namespace {

using platform::kernel::detail::kStringPoolTag;
constexpr SIZE_T kMaxCountedBytes = 0xFFFF;

// The stand-in's ANSI code page is 7-bit ASCII; anything else becomes '?'.
CHAR ToAnsi(WCHAR c) {
    return c < 0x80 ? static_cast<CHAR>(c) : '?';
}
WCHAR ToWide(CHAR c) {
    auto byte = static_cast<UCHAR>(c);
    return byte < 0x80 ? static_cast<WCHAR>(byte) : u'?';
}

WCHAR UpcaseAscii(WCHAR c) {
    return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - u'a' + u'A') : c;
}

SIZE_T WideLength(PCWSTR text) {
    SIZE_T chars = 0;
    while (text[chars] != 0) {
        ++chars;
    }
    return chars;
}

// Appends bytes that the caller checked to fit, then a NUL when there is room.
VOID AppendBytes(PUNICODE_STRING destination, const WCHAR* source, USHORT bytes) {
    RtlMoveMemory(reinterpret_cast<PUCHAR>(destination->Buffer) + destination->Length, source,
                  bytes);
    destination->Length = static_cast<USHORT>(destination->Length + bytes);
    if (destination->Length + sizeof(WCHAR) <= destination->MaximumLength) {
        destination->Buffer[destination->Length / sizeof(WCHAR)] = 0;
    }
}

} // namespace

VOID RtlInitUnicodeString(PUNICODE_STRING DestinationString, PCWSTR SourceString) {
    DestinationString->Buffer = const_cast<PWSTR>(SourceString);
    if (SourceString == NULL) {
        DestinationString->Length = DestinationString->MaximumLength = 0;
        return;
    }
    SIZE_T bytes = WideLength(SourceString) * sizeof(WCHAR);
    if (bytes > kMaxCountedBytes - 1 - sizeof(WCHAR)) {
        bytes = kMaxCountedBytes - 1 - sizeof(WCHAR);
    }
    DestinationString->Length = static_cast<USHORT>(bytes);
    DestinationString->MaximumLength = static_cast<USHORT>(bytes + sizeof(WCHAR));
}

VOID RtlInitAnsiString(PANSI_STRING DestinationString, PCSTR SourceString) {
    DestinationString->Buffer = const_cast<PCHAR>(SourceString);
    if (SourceString == NULL) {
        DestinationString->Length = DestinationString->MaximumLength = 0;
        return;
    }
    SIZE_T bytes = strlen(SourceString);
    if (bytes > kMaxCountedBytes - 1) {
        bytes = kMaxCountedBytes - 1;
    }
    DestinationString->Length = static_cast<USHORT>(bytes);
    DestinationString->MaximumLength = static_cast<USHORT>(bytes + 1);
}

VOID RtlCopyUnicodeString(PUNICODE_STRING DestinationString, PCUNICODE_STRING SourceString) {
    DestinationString->Length = 0;
    if (SourceString == NULL) {
        return;
    }
    USHORT bytes = SourceString->Length < DestinationString->MaximumLength
                       ? SourceString->Length
                       : DestinationString->MaximumLength;
    bytes &= static_cast<USHORT>(~1u);
    AppendBytes(DestinationString, SourceString->Buffer, bytes);
}

NTSTATUS RtlAppendUnicodeStringToString(PUNICODE_STRING Destination, PCUNICODE_STRING Source) {
    if (Source == NULL || Source->Length == 0) {
        return STATUS_SUCCESS;
    }
    if (static_cast<SIZE_T>(Destination->Length) + Source->Length > Destination->MaximumLength) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    AppendBytes(Destination, Source->Buffer, Source->Length);
    return STATUS_SUCCESS;
}

NTSTATUS RtlAppendUnicodeToString(PUNICODE_STRING Destination, PCWSTR Source) {
    if (Source == NULL) {
        return STATUS_SUCCESS;
    }
    UNICODE_STRING source;
    RtlInitUnicodeString(&source, Source);
    return RtlAppendUnicodeStringToString(Destination, &source);
}

BOOLEAN RtlEqualUnicodeString(PCUNICODE_STRING String1, PCUNICODE_STRING String2,
                              BOOLEAN CaseInSensitive) {
    if (String1->Length != String2->Length) {
        return FALSE;
    }
    for (USHORT i = 0; i < String1->Length / sizeof(WCHAR); ++i) {
        WCHAR a = String1->Buffer[i];
        WCHAR b = String2->Buffer[i];
        if (CaseInSensitive) {
            a = UpcaseAscii(a);
            b = UpcaseAscii(b);
        }
        if (a != b) {
            return FALSE;
        }
    }
    return TRUE;
}

// A destination that is too small gets as many characters as fit before its
// NUL, and STATUS_BUFFER_OVERFLOW.
NTSTATUS RtlUnicodeStringToAnsiString(PANSI_STRING DestinationString, PCUNICODE_STRING SourceString,
                                      BOOLEAN AllocateDestinationString) {
    USHORT chars = static_cast<USHORT>(SourceString->Length / sizeof(WCHAR));
    NTSTATUS status = STATUS_SUCCESS;
    if (AllocateDestinationString) {
        auto buffer = static_cast<PCHAR>(ExAllocatePoolWithTag(PagedPool, chars + 1u, kStringPoolTag));
        if (buffer == NULL) {
            return STATUS_NO_MEMORY;
        }
        DestinationString->Buffer = buffer;
        DestinationString->MaximumLength = static_cast<USHORT>(chars + 1);
    } else if (chars >= DestinationString->MaximumLength) {
        if (DestinationString->MaximumLength == 0) {
            return STATUS_BUFFER_OVERFLOW;
        }
        chars = static_cast<USHORT>(DestinationString->MaximumLength - 1);
        status = STATUS_BUFFER_OVERFLOW;
    }
    for (USHORT i = 0; i < chars; ++i) {
        DestinationString->Buffer[i] = ToAnsi(SourceString->Buffer[i]);
    }
    DestinationString->Buffer[chars] = 0;
    DestinationString->Length = chars;
    return status;
}

// A destination that cannot take the whole text and its NUL is left alone.
NTSTATUS RtlAnsiStringToUnicodeString(PUNICODE_STRING DestinationString,
                                      const ANSI_STRING* SourceString,
                                      BOOLEAN AllocateDestinationString) {
    SIZE_T bytes = SourceString->Length * sizeof(WCHAR);
    if (bytes + sizeof(WCHAR) > kMaxCountedBytes) {
        return STATUS_INVALID_PARAMETER_2;
    }
    if (AllocateDestinationString) {
        auto buffer =
            static_cast<PWSTR>(ExAllocatePoolWithTag(PagedPool, bytes + sizeof(WCHAR), kStringPoolTag));
        if (buffer == NULL) {
            return STATUS_NO_MEMORY;
        }
        DestinationString->Buffer = buffer;
        DestinationString->MaximumLength = static_cast<USHORT>(bytes + sizeof(WCHAR));
    } else if (bytes + sizeof(WCHAR) > DestinationString->MaximumLength) {
        return STATUS_BUFFER_OVERFLOW;
    }
    for (USHORT i = 0; i < SourceString->Length; ++i) {
        DestinationString->Buffer[i] = ToWide(SourceString->Buffer[i]);
    }
    DestinationString->Buffer[SourceString->Length] = 0;
    DestinationString->Length = static_cast<USHORT>(bytes);
    return STATUS_SUCCESS;
}

VOID RtlFreeAnsiString(PANSI_STRING AnsiString) {
    if (AnsiString->Buffer != NULL) {
        ExFreePoolWithTag(AnsiString->Buffer, kStringPoolTag);
    }
    RtlZeroMemory(AnsiString, sizeof(*AnsiString));
}

VOID RtlFreeUnicodeString(PUNICODE_STRING UnicodeString) {
    if (UnicodeString->Buffer != NULL) {
        ExFreePoolWithTag(UnicodeString->Buffer, kStringPoolTag);
    }
    RtlZeroMemory(UnicodeString, sizeof(*UnicodeString));
}

NTSTATUS RtlStringFromGUID(const GUID& Guid, PUNICODE_STRING GuidString) {
    char text[39];
    int chars =
        snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                 Guid.Data1, Guid.Data2, Guid.Data3, Guid.Data4[0], Guid.Data4[1], Guid.Data4[2],
                 Guid.Data4[3], Guid.Data4[4], Guid.Data4[5], Guid.Data4[6], Guid.Data4[7]);
    ANSI_STRING ansi = {static_cast<USHORT>(chars), sizeof text, text};
    return RtlAnsiStringToUnicodeString(GuidString, &ansi, TRUE);
}
