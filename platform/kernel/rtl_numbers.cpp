// Text <-> integer conversions of the runtime library, with the native
// routines' leniency: leading control characters and blanks are skipped, the
// number ends at the first character that is not a digit of the base, and
// overflow wraps modulo 2^32.
#include "platform/kernel/ntddk.h"

namespace {

bool IsSupportedBase(ULONG base) {
    return base == 2 || base == 8 || base == 10 || base == 16;
}

// The value of c as a digit, or 36 when it is no digit at all.
ULONG DigitValue(WCHAR c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'z') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'Z') {
        return c - u'A' + 10;
    }
    return 36;
}

} // namespace

NTSTATUS RtlUnicodeStringToInteger(PCUNICODE_STRING String, ULONG Base, PULONG Value) {
    if (Base != 0 && !IsSupportedBase(Base)) {
        return STATUS_INVALID_PARAMETER;
    }
    if (Value == NULL) {
        return STATUS_ACCESS_VIOLATION;
    }
    const WCHAR* next = String->Buffer;
    const WCHAR* end = next + String->Length / sizeof(WCHAR);
    while (next < end && *next <= u' ') {
        ++next;
    }
    bool negative = false;
    if (next < end && (*next == u'+' || *next == u'-')) {
        negative = *next == u'-';
        ++next;
    }
    if (Base == 0) {
        Base = 10;
        if (end - next >= 2 && next[0] == u'0') {
            ULONG prefixed = next[1] == u'x' ? 16 : next[1] == u'o' ? 8 : next[1] == u'b' ? 2 : 0;
            if (prefixed != 0) {
                Base = prefixed;
                next += 2;
            }
        }
    }
    ULONG total = 0;
    for (; next < end && DigitValue(*next) < Base; ++next) {
        total = total * Base + DigitValue(*next);
    }
    *Value = negative ? 0u - total : total;
    return STATUS_SUCCESS;
}

// Upper-case digits; the NUL is added only when MaximumLength leaves room for
// it. A string too small for the digits is left unchanged.
NTSTATUS RtlIntegerToUnicodeString(ULONG Value, ULONG Base, PUNICODE_STRING String) {
    if (Base == 0) {
        Base = 10;
    }
    if (!IsSupportedBase(Base)) {
        return STATUS_INVALID_PARAMETER;
    }
    WCHAR digits[32];
    USHORT count = 0;
    do {
        ULONG digit = Value % Base;
        digits[count++] = static_cast<WCHAR>(digit < 10 ? u'0' + digit : u'A' + digit - 10);
        Value /= Base;
    } while (Value != 0);

    USHORT bytes = static_cast<USHORT>(count * sizeof(WCHAR));
    if (bytes > String->MaximumLength) {
        return STATUS_BUFFER_OVERFLOW;
    }
    for (USHORT i = 0; i < count; ++i) {
        String->Buffer[i] = digits[count - 1 - i];
    }
    String->Length = bytes;
    if (bytes + sizeof(WCHAR) <= String->MaximumLength) {
        String->Buffer[count] = 0;
    }
    return STATUS_SUCCESS;
}
