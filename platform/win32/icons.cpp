// Icons, cursors and bitmaps from resources (and the system's own, drawn by
// name in the picture). An icon group resource lists its images; the one
// closest to 32 x 32 with the most colours is taken.
#include "platform/trace/trace.h"
#include "platform/win32/gdi.h"
#include "platform/win32/image_decode.h"
#include "platform/win32/resources.h"
#include "platform/win32/runtime_state.h"
#include "platform/win32/win_base.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace platform::win32::detail {
namespace {

struct SystemPicture {
    UINT_PTR id;
    const char* name;
};

constexpr SystemPicture kSystemIcons[] = {
    {32512, "IDI_APPLICATION"}, {32513, "IDI_HAND"},     {32514, "IDI_QUESTION"},
    {32515, "IDI_EXCLAMATION"}, {32516, "IDI_ASTERISK"},
};
constexpr SystemPicture kSystemCursors[] = {
    {32512, "IDC_ARROW"},
    {32514, "IDC_WAIT"},
};

HANDLE SystemObject(const SystemPicture* table, size_t count, LPCSTR name) {
    if (!IS_INTRESOURCE(name)) {
        return nullptr;
    }
    for (size_t i = 0; i < count; ++i) {
        if (table[i].id == (UINT_PTR)name) {
            Runtime::State& st = St();
            int key = 2000 + (int)table[i].id + (table == kSystemCursors ? 100 : 0);
            auto found = st.stockObjects.find(key); // system pictures are shared
            if (found != st.stockObjects.end()) {
                return found->second;
            }
            auto image = std::make_shared<Image>();
            image->width = 32;
            image->height = 32;
            image->name = table[i].name;
            auto object = std::make_unique<GdiObject>();
            object->kind = GdiObject::Kind::Icon;
            object->stock = true;
            object->image = image;
            HGDIOBJ handle = InsertGdiObject(std::move(object));
            st.stockObjects[key] = handle;
            return handle;
        }
    }
    return nullptr;
}

HANDLE Wrap(GdiObject::Kind kind, std::shared_ptr<Image> image) {
    auto object = std::make_unique<GdiObject>();
    object->kind = kind;
    object->image = std::move(image);
    return InsertGdiObject(std::move(object));
}

// The RT_ICON id of the group's best image.
bool PickIcon(const ResourceEntry* group, WORD* id) {
    if (group->size < 6) {
        return false;
    }
    WORD count;
    std::memcpy(&count, group->data + 4, 2);
    int bestScore = -1;
    for (WORD i = 0; i < count; ++i) {
        size_t at = 6 + size_t(i) * 14;
        if (at + 14 > group->size) {
            return bestScore >= 0;
        }
        const BYTE* entry = group->data + at;
        int width = entry[0] == 0 ? 256 : entry[0];
        WORD bits;
        WORD nId;
        std::memcpy(&bits, entry + 6, 2);
        std::memcpy(&nId, entry + 12, 2);
        int score = (width == 32 ? 10000 : 5000 - std::abs(width - 32)) * 64 + bits;
        if (score > bestScore) {
            bestScore = score;
            *id = nId;
        }
    }
    return bestScore >= 0;
}

std::shared_ptr<Image> ImageFromIconData(const ResourceEntry* entry) {
    auto image = std::make_shared<Image>();
    int width = 0;
    int height = 0;
    if (PngSize(entry->data, entry->size, &width, &height)) {
        image->width = width;
        image->height = height;
        image->png.assign(reinterpret_cast<const char*>(entry->data), entry->size);
        return image;
    }
    Pixels pixels;
    if (!DecodeDib(entry->data, entry->size, true, &pixels)) {
        return nullptr;
    }
    image->width = pixels.width;
    image->height = pixels.height;
    image->png = EncodePng(pixels);
    return image;
}

} // namespace
} // namespace platform::win32::detail

using namespace platform::win32::detail;
using platform::win32::Runtime;

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    if (hInstance == nullptr) {
        HANDLE system = SystemObject(kSystemIcons, std::size(kSystemIcons), lpIconName);
        if (system == nullptr) {
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        }
        return static_cast<HICON>(system);
    }
    const ResourceEntry* group = FindModuleResource(hInstance, lpIconName, RT_GROUP_ICON);
    WORD id = 0;
    if (group == nullptr || !PickIcon(group, &id)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const ResourceEntry* data = FindModuleResource(hInstance, MAKEINTRESOURCEA(id), RT_ICON);
    std::shared_ptr<Image> image = data != nullptr ? ImageFromIconData(data) : nullptr;
    if (image == nullptr) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return static_cast<HICON>(Wrap(GdiObject::Kind::Icon, image));
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    HANDLE system = hInstance == nullptr
                        ? SystemObject(kSystemCursors, std::size(kSystemCursors), lpCursorName)
                        : nullptr;
    if (system == nullptr) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    }
    return static_cast<HCURSOR>(system);
}

HBITMAP WINAPI LoadBitmapA(HINSTANCE hInstance, LPCSTR lpBitmapName) {
    const ResourceEntry* entry = FindModuleResource(hInstance, lpBitmapName, RT_BITMAP);
    Pixels pixels;
    if (entry == nullptr || !DecodeDib(entry->data, entry->size, false, &pixels)) {
        SetLastError(entry == nullptr ? ERROR_RESOURCE_NAME_NOT_FOUND
                                      : ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    auto image = std::make_shared<Image>();
    image->width = pixels.width;
    image->height = pixels.height;
    image->png = EncodePng(pixels);
    return static_cast<HBITMAP>(Wrap(GdiObject::Kind::Bitmap, image));
}

BOOL WINAPI DestroyIcon(HICON hIcon) {
    return DeleteObject(hIcon);
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor) {
    Runtime::State& st = St();
    HCURSOR old = st.cursor;
    st.cursor = hCursor;
    return old;
}

int WINAPI ShowCursor(BOOL bShow) {
    Runtime::State& st = St();
    st.cursorCount += bShow ? 1 : -1;
    return st.cursorCount;
}

VOID WINAPI InitCommonControls(void) {}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce) {
    return picce != nullptr && picce->dwSize == sizeof(INITCOMMONCONTROLSEX) ? TRUE : FALSE;
}

// The sound is a trace line: "sound beep type=0x00000000".
BOOL WINAPI MessageBeep(UINT uType) {
    char text[48];
    std::snprintf(text, sizeof text, "sound beep type=0x%08X", uType);
    platform::trace::Emit(platform::win32::detail::St().kernel.Now(), text);
    return TRUE;
}
