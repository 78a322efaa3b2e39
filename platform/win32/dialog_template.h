// Dialog templates as windres and rc lay them out: DLGTEMPLATE and
// DLGTEMPLATEEX with their items, read with every access bounded by the
// resource's size.
#pragma once

#include "platform/win32/win_user.h"

#include <cstddef>
#include <string>
#include <vector>

namespace platform::win32::detail {

// A name that is either text or a 16-bit ordinal (sz_Or_Ord).
struct NameOrOrdinal {
    bool isOrdinal = false;
    WORD ordinal = 0;
    std::string text; // ANSI (UTF-8 on the host)
    bool Empty() const { return !isOrdinal && text.empty(); }
};

struct DialogItem {
    DWORD helpId = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0;
    short y = 0;
    short cx = 0;
    short cy = 0;
    DWORD id = 0;
    NameOrOrdinal windowClass;
    NameOrOrdinal title;
    std::vector<BYTE> creationData;
};

struct DialogTemplate {
    bool extended = false;
    DWORD helpId = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0;
    short y = 0;
    short cx = 0;
    short cy = 0;
    NameOrOrdinal menu;
    NameOrOrdinal windowClass;
    std::string title;
    bool hasFont = false;
    WORD pointSize = 0;
    WORD weight = 0;
    bool italic = false;
    BYTE charset = 0;
    std::string face;
    std::vector<DialogItem> items;
};

// False when the data ends early or is malformed. size may be SIZE_MAX for a
// template handed over in memory (the *Indirect calls), which is trusted as
// Windows trusts it.
bool ParseDialogTemplate(const void* data, size_t size, DialogTemplate* out);

// Fixed dialog base units of the stand-in: whatever the dialog's font, a
// dialog unit is kBaseUnitX / 4 pixels across and kBaseUnitY / 8 pixels down
// (the base units of MS Sans Serif 8 at 96 dots per inch), rounded as
// MulDiv rounds (half away from zero).
inline constexpr int kBaseUnitX = 6;
inline constexpr int kBaseUnitY = 13;
inline int ScaleRounded(int units, int base, int divisor) {
    int product = units * base;
    int half = divisor / 2;
    return product >= 0 ? (product + half) / divisor : -((-product + half) / divisor);
}
inline int DialogUnitsToPixelsX(int units) {
    return ScaleRounded(units, kBaseUnitX, 4);
}
inline int DialogUnitsToPixelsY(int units) {
    return ScaleRounded(units, kBaseUnitY, 8);
}

} // namespace platform::win32::detail
