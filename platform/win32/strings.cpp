// kernel32's string helpers. lstrcmpiA compares by ASCII case folding:
// equality is as Windows has it; the order of letters against punctuation
// may differ from the locale's word sort.
#include "platform/win32/win_base.h"

#include <cstring>

namespace {

int Fold(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
}

} // namespace

int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
    const char* a = lpString1 ? lpString1 : "";
    const char* b = lpString2 ? lpString2 : "";
    for (;; ++a, ++b) {
        int difference =
            Fold(static_cast<unsigned char>(*a)) - Fold(static_cast<unsigned char>(*b));
        if (difference != 0)
            return difference < 0 ? -1 : 1;
        if (*a == '\0')
            return 0;
    }
}

int WINAPI lstrlenA(LPCSTR lpString) {
    return lpString ? static_cast<int>(std::strlen(lpString)) : 0;
}
