// Basic Windows kernel types, status codes and macros for the host build.
// Names and values are the ones the DDK uses; widths are the 32-bit Windows
// ones (LONG is 32 bits even where the host's long is 64).
#pragma once

#include <stddef.h>
#include <stdint.h>

#define NTAPI
#define IN
#define OUT
#define OPTIONAL
#define _In_
#define _Out_
#define _Inout_
#define _In_opt_
#define UNREFERENCED_PARAMETER(P) ((void)(P))

typedef void VOID;
typedef void* PVOID;
typedef char CHAR;
typedef char CCHAR;
typedef char* PCHAR;
typedef const char* PCSTR;
typedef char* PSTR;
typedef short CSHORT;
typedef int16_t SHORT;
typedef uint8_t UCHAR;
typedef uint8_t* PUCHAR;
typedef uint16_t USHORT;
typedef uint16_t* PUSHORT;
typedef int32_t LONG;
typedef int32_t* PLONG;
typedef uint32_t ULONG;
typedef uint32_t* PULONG;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t* PULONG_PTR;
typedef intptr_t LONG_PTR;
typedef size_t SIZE_T;
typedef uint8_t BOOLEAN;
typedef BOOLEAN* PBOOLEAN;
typedef char16_t WCHAR;
typedef WCHAR* PWCHAR;
typedef WCHAR* PWSTR;
typedef const WCHAR* PCWSTR;
typedef void* HANDLE;
typedef HANDLE* PHANDLE;
typedef LONG NTSTATUS;
typedef ULONG ACCESS_MASK;
typedef ULONG DEVICE_TYPE;
typedef UCHAR KIRQL;
typedef KIRQL* PKIRQL;
typedef LONG KPRIORITY;
typedef CCHAR KPROCESSOR_MODE;
typedef ULONG LCID;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif
#ifndef NULL
#define NULL nullptr
#endif

typedef union _LARGE_INTEGER {
    struct {
        ULONG LowPart;
        LONG HighPart;
    };
    LONGLONG QuadPart;
} LARGE_INTEGER, *PLARGE_INTEGER;

// GUID_DEFINED: the Win32 stand-in defines the same GUID for the programs.
#ifndef GUID_DEFINED
#define GUID_DEFINED
typedef struct _GUID {
    ULONG Data1;
    USHORT Data2;
    USHORT Data3;
    UCHAR Data4[8];
} GUID;
#endif
typedef GUID* PGUID;
typedef const GUID* LPCGUID;

typedef struct _LIST_ENTRY {
    struct _LIST_ENTRY* Flink;
    struct _LIST_ENTRY* Blink;
} LIST_ENTRY, *PLIST_ENTRY;

typedef struct _UNICODE_STRING {
    USHORT Length;        // bytes, without a terminating NUL
    USHORT MaximumLength; // bytes
    PWSTR Buffer;
} UNICODE_STRING, *PUNICODE_STRING;
typedef const UNICODE_STRING* PCUNICODE_STRING;

typedef struct _STRING {
    USHORT Length;
    USHORT MaximumLength;
    PCHAR Buffer;
} STRING, ANSI_STRING, *PANSI_STRING, *PSTRING;

#define FIELD_OFFSET(type, field) ((LONG)offsetof(type, field))
#define CONTAINING_RECORD(address, type, field)                                                    \
    ((type*)((PCHAR)(address) - (ULONG_PTR)(&((type*)0)->field)))
#define RTL_NUMBER_OF(a) (sizeof(a) / sizeof((a)[0]))
#define NT_SUCCESS(Status) (((NTSTATUS)(Status)) >= 0)

#define MAKE_STATUS(x) ((NTSTATUS)(x))
#define STATUS_SUCCESS MAKE_STATUS(0x00000000)
#define STATUS_WAIT_0 MAKE_STATUS(0x00000000)
#define STATUS_CONTINUE_COMPLETION STATUS_SUCCESS
#define STATUS_TIMEOUT MAKE_STATUS(0x00000102)
#define STATUS_PENDING MAKE_STATUS(0x00000103)
#define STATUS_OBJECT_NAME_EXISTS MAKE_STATUS(0x40000000)
#define STATUS_MORE_PROCESSING_REQUIRED MAKE_STATUS(0xC0000016)
#define STATUS_BUFFER_OVERFLOW MAKE_STATUS(0x80000005)
#define STATUS_NO_MORE_ENTRIES MAKE_STATUS(0x8000001A)
#define STATUS_UNSUCCESSFUL MAKE_STATUS(0xC0000001)
#define STATUS_NOT_IMPLEMENTED MAKE_STATUS(0xC0000002)
#define STATUS_INVALID_HANDLE MAKE_STATUS(0xC0000008)
#define STATUS_INVALID_PARAMETER MAKE_STATUS(0xC000000D)
#define STATUS_NO_SUCH_DEVICE MAKE_STATUS(0xC000000E)
#define STATUS_INVALID_DEVICE_REQUEST MAKE_STATUS(0xC0000010)
#define STATUS_NO_MEMORY MAKE_STATUS(0xC0000017)
#define STATUS_ACCESS_DENIED MAKE_STATUS(0xC0000022)
#define STATUS_BUFFER_TOO_SMALL MAKE_STATUS(0xC0000023)
#define STATUS_OBJECT_TYPE_MISMATCH MAKE_STATUS(0xC0000024)
#define STATUS_OBJECT_NAME_INVALID MAKE_STATUS(0xC0000033)
#define STATUS_OBJECT_NAME_NOT_FOUND MAKE_STATUS(0xC0000034)
#define STATUS_OBJECT_NAME_COLLISION MAKE_STATUS(0xC0000035)
#define STATUS_OBJECT_PATH_NOT_FOUND MAKE_STATUS(0xC000003A)
#define STATUS_SHARING_VIOLATION MAKE_STATUS(0xC0000043)
#define STATUS_DELETE_PENDING MAKE_STATUS(0xC0000056)
#define STATUS_INSUFFICIENT_RESOURCES MAKE_STATUS(0xC000009A)
#define STATUS_DEVICE_DATA_ERROR MAKE_STATUS(0xC000009C)
#define STATUS_DEVICE_NOT_CONNECTED MAKE_STATUS(0xC000009D)
#define STATUS_IO_TIMEOUT MAKE_STATUS(0xC00000B5)
#define STATUS_NOT_SUPPORTED MAKE_STATUS(0xC00000BB)
#define STATUS_INTERNAL_ERROR MAKE_STATUS(0xC00000E5)
#define STATUS_CANCELLED MAKE_STATUS(0xC0000120)
#define STATUS_DEVICE_NOT_READY MAKE_STATUS(0xC00000A3)
#define STATUS_INVALID_DEVICE_STATE MAKE_STATUS(0xC0000184)
#define STATUS_DEVICE_BUSY MAKE_STATUS(0x80000011)
#define STATUS_NO_SUCH_FILE MAKE_STATUS(0xC000000F)
#define STATUS_INVALID_BUFFER_SIZE MAKE_STATUS(0xC0000206)
#define STATUS_DEVICE_REMOVED MAKE_STATUS(0xC00002B6)
#define STATUS_ACCESS_VIOLATION MAKE_STATUS(0xC0000005)
#define STATUS_OBJECT_PATH_SYNTAX_BAD MAKE_STATUS(0xC000003B)
#define STATUS_INVALID_PARAMETER_2 MAKE_STATUS(0xC00000F0)
#define STATUS_CANNOT_DELETE MAKE_STATUS(0xC0000121)
#define STATUS_KEY_DELETED MAKE_STATUS(0xC000017C)
