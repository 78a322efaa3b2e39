// Byte comparisons of the runtime library.
#include "platform/kernel/ntddk.h"

// The number of leading bytes that match.
SIZE_T RtlCompareMemory(const VOID* Source1, const VOID* Source2, SIZE_T Length) {
    auto a = static_cast<const UCHAR*>(Source1);
    auto b = static_cast<const UCHAR*>(Source2);
    SIZE_T same = 0;
    while (same < Length && a[same] == b[same]) {
        ++same;
    }
    return same;
}

BOOLEAN RtlEqualMemory(const VOID* Source1, const VOID* Source2, SIZE_T Length) {
    return RtlCompareMemory(Source1, Source2, Length) == Length;
}

BOOLEAN IsEqualGUID(const GUID& a, const GUID& b) {
    return RtlEqualMemory(&a, &b, sizeof(GUID));
}
