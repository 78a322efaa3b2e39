// Compiled resources: templates (DLGTEMPLATEEX and DLGTEMPLATE), lookup by
// name, strings, icons, bitmaps and menus, and the pixel decoding behind
// the pictures.
#include "platform/win32/dialog_template.h"
#include "platform/win32/image_decode.h"
#include "platform/win32/resources.h"
#include "tests/win32ui/ui_fixture.h"

#include <gmock/gmock.h>

#include <cstring>

namespace ui_testing {
namespace {

using platform::win32::detail::DialogTemplate;
using platform::win32::detail::ParseDialogTemplate;
using ::testing::ElementsAre;

class ResourcesTest : public UiTest {
protected:
    HINSTANCE Module() { return platform::win32::ModuleInstance(kModule); }

    // The bytes of a resource, as the program sees them.
    std::string Bytes(LPCSTR name, LPCSTR type) {
        HRSRC found = FindResourceA(Module(), name, type);
        if (found == nullptr)
            return {};
        auto* data = static_cast<const char*>(LockResource(LoadResource(Module(), found)));
        return std::string(data, SizeofResource(Module(), found));
    }

    DialogTemplate Parse(UINT id) {
        std::string bytes = Bytes(MAKEINTRESOURCEA(id), RT_DIALOG);
        DialogTemplate t;
        EXPECT_TRUE(ParseDialogTemplate(bytes.data(), bytes.size(), &t)) << id;
        return t;
    }
};

TEST_F(ResourcesTest, ExtendedTemplateCarriesStylesFontAndItems) {
    DialogTemplate t = Parse(IDD_TEST);
    EXPECT_TRUE(t.extended);
    EXPECT_EQ(t.title, "Test dialog");
    EXPECT_EQ(t.style & (DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU),
              (DWORD)(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU));
    EXPECT_EQ(t.cx, 240);
    EXPECT_EQ(t.cy, 160);
    EXPECT_TRUE(t.hasFont);
    EXPECT_EQ(t.pointSize, 9);
    EXPECT_EQ(t.face, "MS Sans Serif");
    EXPECT_EQ(t.charset, 1);
    ASSERT_EQ(t.items.size(), 16u);

    const auto& ok = t.items[0];
    EXPECT_EQ(ok.id, (DWORD)IDOK);
    EXPECT_TRUE(ok.windowClass.isOrdinal);
    EXPECT_EQ(ok.windowClass.ordinal, 0x0080); // Button
    EXPECT_EQ(ok.title.text, "OK");
    EXPECT_EQ(ok.style & BS_TYPEMASK, (DWORD)BS_DEFPUSHBUTTON);
    EXPECT_EQ(ok.x, 180);
    EXPECT_EQ(ok.cy, 14);

    const auto& slider = t.items[8];
    EXPECT_EQ(slider.id, (DWORD)IDC_SLIDER);
    EXPECT_FALSE(slider.windowClass.isOrdinal);
    EXPECT_STRCASEEQ(slider.windowClass.text.c_str(), "msctls_trackbar32");
    EXPECT_EQ(slider.style & TBS_BOTH, (DWORD)TBS_BOTH);

    const auto& icon = t.items[13];
    EXPECT_TRUE(icon.title.isOrdinal);
    EXPECT_EQ(icon.title.ordinal, IDI_TEST);
    EXPECT_EQ(icon.style & SS_TYPEMASK, (DWORD)SS_ICON);

    EXPECT_EQ(t.items[15].title.text, "\xe7\x82\xb9\xe5\x87\xbb") << "UTF-16 text, UTF-8 ANSI";
}

TEST_F(ResourcesTest, ClassicTemplateCarriesPositionAndShortItems) {
    DialogTemplate t = Parse(IDD_CLASSIC);
    EXPECT_FALSE(t.extended);
    EXPECT_EQ(t.x, 10);
    EXPECT_EQ(t.y, 20);
    EXPECT_EQ(t.title, "Classic");
    EXPECT_EQ(t.pointSize, 8);
    ASSERT_EQ(t.items.size(), 2u);
    EXPECT_EQ(t.items[0].title.text, "Go");
    EXPECT_EQ(t.items[1].windowClass.ordinal, 0x0082); // Static
    EXPECT_EQ((short)t.items[1].id, -1);
}

TEST_F(ResourcesTest, TruncatedTemplatesAreRejected) {
    for (UINT id : {IDD_TEST, IDD_CLASSIC}) {
        std::string bytes = Bytes(MAKEINTRESOURCEA(id), RT_DIALOG);
        ASSERT_FALSE(bytes.empty());
        // The last item may end without padding, so cut off more than that.
        for (size_t size = 0; size + 4 < bytes.size(); ++size) {
            DialogTemplate t;
            EXPECT_FALSE(ParseDialogTemplate(bytes.data(), size, &t)) << id << " cut at " << size;
        }
    }
}

TEST_F(ResourcesTest, DialogUnitsBecomePixelsWithTheFixedBaseUnits) {
    RECT r{4, 8, 240, 160};
    Start([&](HINSTANCE instance) {
        HWND dialog =
            CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_CLASSIC), nullptr, nullptr, 0);
        MapDialogRect(dialog, &r);
        RECT client;
        GetClientRect(dialog, &client);
        EXPECT_EQ(client.right, 180); // 120 units
        EXPECT_EQ(client.bottom, 81); // 50 units
        RECT button;
        GetWindowRect(GetDlgItem(dialog, IDOK), &button);
        EXPECT_EQ(button.right - button.left, 75);
        EXPECT_EQ(button.bottom - button.top, 23);
        DestroyWindow(dialog);
        return 0;
    });
    runtime.RunUntilIdle();
    EXPECT_EQ(r.left, 6);
    EXPECT_EQ(r.top, 13);
    EXPECT_EQ(r.right, 360);
    EXPECT_EQ(r.bottom, 260);
}

TEST_F(ResourcesTest, LookupByOrdinalNumberTextAndType) {
    EXPECT_NE(FindResourceA(Module(), MAKEINTRESOURCEA(IDD_TEST), RT_DIALOG), nullptr);
    EXPECT_NE(FindResourceA(Module(), "#100", RT_DIALOG), nullptr);
    EXPECT_NE(FindResourceA(Module(), MAKEINTRESOURCEA(IDD_TEST), MAKEINTRESOURCEA(240)), nullptr);
    struct Miss {
        HMODULE module;
        LPCSTR name;
        LPCSTR type;
    };
    const Miss misses[] = {
        {Module(), MAKEINTRESOURCEA(999), RT_DIALOG},
        {Module(), MAKEINTRESOURCEA(IDD_TEST), RT_MENU},
        {Module(), "TEST", RT_DIALOG},
        {platform::win32::ModuleInstance(""), MAKEINTRESOURCEA(IDD_TEST), RT_DIALOG},
    };
    for (const Miss& m : misses) {
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(FindResourceA(m.module, m.name, m.type), nullptr);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_NAME_NOT_FOUND);
    }
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(DialogBoxParamA(Module(), MAKEINTRESOURCEA(999), nullptr, nullptr, 0), -1);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_NAME_NOT_FOUND);
}

TEST_F(ResourcesTest, StringsIconsBitmapsAndMenus) {
    char text[32];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(LoadStringA(Module(), IDS_ABOUT, text, sizeof text), 8);
    EXPECT_STREQ(text, "About...");
    EXPECT_EQ(LoadStringA(Module(), IDS_ABOUT, text, 4), 3);
    EXPECT_STREQ(text, "Abo");
    EXPECT_EQ(LoadStringA(Module(), 4000, text, sizeof text), 0);
    EXPECT_STREQ(text, "");

    EXPECT_NE(LoadIconA(Module(), MAKEINTRESOURCEA(IDI_TEST)), nullptr);
    EXPECT_NE(LoadIconA(nullptr, IDI_HAND), nullptr);
    EXPECT_EQ(LoadIconA(Module(), MAKEINTRESOURCEA(IDB_TEST)), nullptr);
    EXPECT_NE(LoadBitmapA(Module(), MAKEINTRESOURCEA(IDB_TEST)), nullptr);
    EXPECT_NE(LoadCursorA(nullptr, IDC_WAIT), nullptr);

    HMENU menu = LoadMenuA(Module(), MAKEINTRESOURCEA(IDM_TEST));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 1);
    HMENU popup = GetSubMenu(menu, 0);
    EXPECT_EQ(GetMenuItemCount(popup), 3);
    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_FALSE(DestroyMenu(popup)) << "destroyed with its parent";
}

TEST_F(ResourcesTest, IconAndBitmapPixelsDecode) {
    using platform::win32::detail::DecodeDib;
    using platform::win32::detail::Pixels;
    std::string bitmap = Bytes(MAKEINTRESOURCEA(IDB_TEST), RT_BITMAP);
    Pixels pixels;
    ASSERT_TRUE(DecodeDib((const uint8_t*)bitmap.data(), bitmap.size(), false, &pixels));
    EXPECT_EQ(pixels.width, 16);
    EXPECT_EQ(pixels.height, 8);
    EXPECT_EQ(pixels.rgba[0], 0xFF0000FFu) << "red, top left";
    EXPECT_EQ(pixels.rgba[15], 0xFF00FF00u) << "green, top right";

    // The group picks RT_ICON 1: a 4-bit 32 x 32 DIB with its AND mask.
    std::string icon = Bytes(MAKEINTRESOURCEA(1), RT_ICON);
    ASSERT_TRUE(DecodeDib((const uint8_t*)icon.data(), icon.size(), true, &pixels));
    EXPECT_EQ(pixels.width, 32);
    EXPECT_EQ(pixels.height, 32);
    EXPECT_EQ(pixels.rgba[0], 0u) << "masked: transparent, top left";
    EXPECT_EQ(pixels.rgba[31 * 32], 0xFFFF0000u) << "blue, bottom left";
    EXPECT_EQ(pixels.rgba[16 * 32 + 16], 0xFFFFFFFFu) << "white cross";

    for (size_t size = 0; size < icon.size() - 128; size += 37) {
        EXPECT_FALSE(DecodeDib((const uint8_t*)icon.data(), size, true, &pixels)) << size;
    }
    std::string png = platform::win32::detail::EncodePng(pixels);
    int width = 0;
    int height = 0;
    EXPECT_TRUE(
        platform::win32::detail::PngSize((const uint8_t*)png.data(), png.size(), &width, &height));
    EXPECT_EQ(width, 32);
    EXPECT_EQ(height, 32);
}

// A 1 x N 32-bit DIB with whatever height its header claims. The most
// negative height was found by fuzzing: its opposite does not fit 32 bits.
TEST_F(ResourcesTest, DibHeightsOutOfRangeAreRefused) {
    using platform::win32::detail::DecodeDib;
    using platform::win32::detail::Pixels;
    const struct {
        int32_t height;
        bool icon;
        int rows; // 0: refused
    } cases[] = {
        {INT32_MIN, false, 0}, {INT32_MIN, true, 0}, {0, false, 0}, {-4097, false, 0},
        {1, true, 0},          {-2, false, 2},       {2, false, 2}, {-4, true, 2},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> dib(40 + 4 * 4, 0x11);
        const uint32_t header[] = {40, 1, uint32_t(c.height), 1 | 32 << 16, 0, 0, 0, 0, 0, 0};
        std::memcpy(dib.data(), header, sizeof header);
        Pixels pixels;
        EXPECT_EQ(DecodeDib(dib.data(), dib.size(), c.icon, &pixels), c.rows != 0) << c.height;
        if (c.rows != 0) {
            EXPECT_EQ(pixels.height, c.rows) << c.height;
        }
    }
}

} // namespace
} // namespace ui_testing
