// GDI as a recorder: device contexts on windows, the objects selected into
// them, and every drawing call kept as a DrawOp on the window so that the
// picture can show it. A window keeps at most kMaxOps operations; an opaque
// fill over the whole window forgets everything drawn before it.
#include "platform/win32/gdi.h"

#include "platform/win32/window_manager.h"

#include <algorithm>
#include <cstring>

namespace platform::win32::detail {
namespace {

constexpr size_t kMaxOps = 4096;

DeviceContext* FindDc(HDC hdc) {
    auto& dcs = St().deviceContexts;
    auto it = dcs.find(hdc);
    return it == dcs.end() ? nullptr : it->second.get();
}

HDC NewDc(Window* w, bool wholeWindow, bool paint) {
    Runtime::State& st = St();
    auto dc = std::make_unique<DeviceContext>();
    dc->window = w;
    dc->wholeWindow = wholeWindow;
    dc->paint = paint;
    dc->pen = GetStockObject(BLACK_PEN);
    dc->brush = GetStockObject(WHITE_BRUSH);
    dc->font = w != nullptr && w->font != nullptr ? (HGDIOBJ)w->font : GetStockObject(SYSTEM_FONT);
    HDC handle = reinterpret_cast<HDC>(st.nextGdiHandle);
    st.nextGdiHandle += 4;
    st.deviceContexts[handle] = std::move(dc);
    return handle;
}

POINT Origin(const DeviceContext* dc) {
    if (dc->wholeWindow || dc->window == nullptr) {
        return POINT{0, 0};
    }
    RECT client = ClientRectInWindow(dc->window);
    return POINT{client.left, client.top};
}

RECT Shift(const DeviceContext* dc, int left, int top, int right, int bottom) {
    POINT o = Origin(dc);
    return RECT{left + o.x, top + o.y, right + o.x, bottom + o.y};
}

const GdiObject* Selected(HGDIOBJ handle, int fallbackStock) {
    const GdiObject* object = FindGdiObject(handle);
    return object != nullptr ? object : FindGdiObject(GetStockObject(fallbackStock));
}

void ApplyPen(const DeviceContext* dc, DrawOp* op) {
    const GdiObject* pen = Selected(dc->pen, BLACK_PEN);
    op->stroked = pen->style != PS_NULL;
    op->stroke = pen->color;
    op->strokeWidth = std::max(1, pen->width);
}

void ApplyBrush(const DeviceContext* dc, DrawOp* op) {
    const GdiObject* brush = Selected(dc->brush, WHITE_BRUSH);
    op->filled = !brush->hollow;
    op->fill = brush->color;
}

void ApplyText(const DeviceContext* dc, DrawOp* op) {
    const GdiObject* font = Selected(dc->font, SYSTEM_FONT);
    op->fontFace = font->face;
    op->fontHeight = FontPixelHeight(font->height);
    op->fontWeight = font->weight;
    op->textColor = dc->textColor;
    op->opaqueText = dc->bkMode == OPAQUE;
    op->textBk = dc->bkColor;
}

bool CoversWindow(const Window* w, const DrawOp& op) {
    if (!op.filled || (op.kind != DrawOp::Kind::Fill && op.kind != DrawOp::Kind::Rectangle)) {
        return false;
    }
    RECT client = ClientRectInWindow(w);
    return op.rect.left <= client.left && op.rect.top <= client.top &&
           op.rect.right >= client.right && op.rect.bottom >= client.bottom;
}

void Record(DeviceContext* dc, std::shared_ptr<DrawOp> op) {
    Window* w = dc->window;
    if (w == nullptr || !w->alive) {
        return;
    }
    if (CoversWindow(w, *op)) {
        w->drawing.clear();
    }
    if (w->drawing.size() >= kMaxOps) {
        w->drawing.erase(w->drawing.begin());
    }
    w->drawing.push_back(std::move(op));
}

HGDIOBJ MakeStock(int index) {
    auto object = std::make_unique<GdiObject>();
    object->stock = true;
    switch (index) {
    case WHITE_BRUSH:
    case LTGRAY_BRUSH:
    case GRAY_BRUSH:
    case DKGRAY_BRUSH:
    case BLACK_BRUSH: {
        static const COLORREF kColors[] = {RGB(255, 255, 255), RGB(192, 192, 192),
                                           RGB(128, 128, 128), RGB(64, 64, 64), RGB(0, 0, 0)};
        object->kind = GdiObject::Kind::Brush;
        object->color = kColors[index];
        break;
    }
    case NULL_BRUSH:
        object->kind = GdiObject::Kind::Brush;
        object->hollow = true;
        break;
    case WHITE_PEN:
    case BLACK_PEN:
    case NULL_PEN:
        object->kind = GdiObject::Kind::Pen;
        object->color = index == WHITE_PEN ? RGB(255, 255, 255) : RGB(0, 0, 0);
        object->style = index == NULL_PEN ? PS_NULL : PS_SOLID;
        break;
    case SYSTEM_FONT:
    case DEFAULT_GUI_FONT:
        object->kind = GdiObject::Kind::Font;
        object->face = "MS Sans Serif";
        object->height = 0;
        object->weight = index == SYSTEM_FONT ? FW_BOLD : FW_NORMAL;
        break;
    default:
        return nullptr;
    }
    return InsertGdiObject(std::move(object));
}

} // namespace

HGDIOBJ InsertGdiObject(std::unique_ptr<GdiObject> object) {
    Runtime::State& st = St();
    HGDIOBJ handle = reinterpret_cast<HGDIOBJ>(st.nextGdiHandle);
    st.nextGdiHandle += 4;
    st.gdiObjects[handle] = std::move(object);
    return handle;
}

GdiObject* FindGdiObject(HGDIOBJ handle) {
    auto& objects = St().gdiObjects;
    auto it = objects.find(handle);
    return it == objects.end() ? nullptr : it->second.get();
}

std::shared_ptr<const Image> ImageOf(HANDLE handle) {
    GdiObject* object = FindGdiObject(handle);
    return object != nullptr ? object->image : nullptr;
}

int FontPixelHeight(int logicalHeight) {
    if (logicalHeight == 0) {
        return 13;
    }
    return logicalHeight < 0 ? -logicalHeight : logicalHeight;
}

int TextWidth(const std::string& text, int pixelHeight) {
    int perChar = (pixelHeight * 6 + 12) / 13;
    int characters = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) {            // count UTF-8 lead bytes only
            characters += c >= 0x80 ? 2 : 1; // wide scripts take about two cells
        }
    }
    return characters * perChar;
}

COLORREF SystemColor(int index) {
    switch (index) {
    case COLOR_WINDOW:
        return RGB(255, 255, 255);
    case COLOR_BTNFACE:
        return RGB(212, 208, 200);
    case COLOR_WINDOWTEXT:
    case COLOR_BTNTEXT:
    default:
        return RGB(0, 0, 0);
    }
}

} // namespace platform::win32::detail

using namespace platform::win32::detail;
using platform::win32::Runtime;

HDC WINAPI GetDC(HWND hWnd) {
    Window* w = FromHandle(hWnd);
    return w != nullptr ? NewDc(w, false, false) : nullptr;
}

HDC WINAPI GetWindowDC(HWND hWnd) {
    Window* w = FromHandle(hWnd);
    return w != nullptr ? NewDc(w, true, false) : nullptr;
}

int WINAPI ReleaseDC(HWND hWnd, HDC hDC) {
    UNREFERENCED_PARAMETER(hWnd);
    return St().deviceContexts.erase(hDC) != 0 ? 1 : 0;
}

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return nullptr;
    }
    HDC hdc = NewDc(w, false, true);
    std::memset(lpPaint, 0, sizeof *lpPaint);
    lpPaint->hdc = hdc;
    RECT client = ClientRectInWindow(w);
    RECT paint{0, 0, client.right - client.left, client.bottom - client.top};
    if (!w->update.empty()) {
        paint = w->update.front();
        for (const RECT& r : w->update) {
            paint = RECT{std::min(paint.left, r.left), std::min(paint.top, r.top),
                         std::max(paint.right, r.right), std::max(paint.bottom, r.bottom)};
        }
    }
    lpPaint->rcPaint = paint;
    if (w->eraseNeeded) {
        w->eraseNeeded = false;
        lpPaint->fErase = CallProc(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) == 0;
    }
    if (w->alive) {
        w->invalid = false;
        w->update.clear();
    }
    return hdc;
}

BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint) {
    UNREFERENCED_PARAMETER(hWnd);
    St().deviceContexts.erase(lpPaint->hdc);
    return TRUE;
}

int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
    DeviceContext* dc = FindDc(hDC);
    if (dc == nullptr || lprc == nullptr) {
        return 0;
    }
    auto op = std::make_shared<DrawOp>();
    op->kind = DrawOp::Kind::Fill;
    op->rect = Shift(dc, lprc->left, lprc->top, lprc->right, lprc->bottom);
    op->filled = true;
    UINT_PTR value = reinterpret_cast<UINT_PTR>(hbr);
    if (value != 0 && value <= 31) { // COLOR_xxx + 1
        op->fill = SystemColor((int)value - 1);
    } else {
        const GdiObject* brush = FindGdiObject(hbr);
        if (brush == nullptr || brush->kind != GdiObject::Kind::Brush) {
            return 0;
        }
        if (brush->hollow) {
            return 1;
        }
        op->fill = brush->color;
    }
    Record(dc, std::move(op));
    return 1;
}

BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom) {
    DeviceContext* dc = FindDc(hdc);
    if (dc == nullptr) {
        return FALSE;
    }
    auto op = std::make_shared<DrawOp>();
    op->kind = DrawOp::Kind::Rectangle;
    op->rect = Shift(dc, left, top, right, bottom);
    ApplyPen(dc, op.get());
    ApplyBrush(dc, op.get());
    Record(dc, std::move(op));
    return TRUE;
}

BOOL WINAPI Ellipse(HDC hdc, int left, int top, int right, int bottom) {
    DeviceContext* dc = FindDc(hdc);
    if (dc == nullptr) {
        return FALSE;
    }
    auto op = std::make_shared<DrawOp>();
    op->kind = DrawOp::Kind::Ellipse;
    op->rect = Shift(dc, left, top, right, bottom);
    ApplyPen(dc, op.get());
    ApplyBrush(dc, op.get());
    Record(dc, std::move(op));
    return TRUE;
}

BOOL WINAPI MoveToEx(HDC hdc, int x, int y, LPPOINT lppt) {
    DeviceContext* dc = FindDc(hdc);
    if (dc == nullptr) {
        return FALSE;
    }
    if (lppt != nullptr) {
        *lppt = dc->current;
    }
    dc->current = POINT{x, y};
    return TRUE;
}

BOOL WINAPI LineTo(HDC hdc, int x, int y) {
    DeviceContext* dc = FindDc(hdc);
    if (dc == nullptr) {
        return FALSE;
    }
    auto op = std::make_shared<DrawOp>();
    op->kind = DrawOp::Kind::Line;
    op->rect = Shift(dc, dc->current.x, dc->current.y, x, y);
    ApplyPen(dc, op.get());
    dc->current = POINT{x, y};
    Record(dc, std::move(op));
    return TRUE;
}

BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR lpString, int c) {
    DeviceContext* dc = FindDc(hdc);
    if (dc == nullptr || lpString == nullptr || c < 0) {
        return FALSE;
    }
    auto op = std::make_shared<DrawOp>();
    op->kind = DrawOp::Kind::Text;
    op->text.assign(lpString, c);
    ApplyText(dc, op.get());
    op->rect = Shift(dc, x, y, x + TextWidth(op->text, op->fontHeight), y + op->fontHeight);
    Record(dc, std::move(op));
    return TRUE;
}

int WINAPI DrawTextA(HDC hdc, LPCSTR lpchText, int cchText, LPRECT lprc, UINT format) {
    DeviceContext* dc = FindDc(hdc);
    if (dc == nullptr || lpchText == nullptr || lprc == nullptr) {
        return 0;
    }
    std::string text = cchText < 0 ? std::string(lpchText) : std::string(lpchText, cchText);
    auto op = std::make_shared<DrawOp>();
    op->kind = DrawOp::Kind::Text;
    op->text = text;
    op->format = format | 0x80000000u; // marks DrawText
    ApplyText(dc, op.get());
    int height = op->fontHeight;
    if ((format & DT_CALCRECT) != 0) {
        lprc->right = lprc->left + TextWidth(text, height);
        lprc->bottom = lprc->top + height;
        return height;
    }
    op->rect = Shift(dc, lprc->left, lprc->top, lprc->right, lprc->bottom);
    Record(dc, std::move(op));
    return height;
}

BOOL WINAPI GetTextExtentPoint32A(HDC hdc, LPCSTR lpString, int c, LPSIZE psizl) {
    DeviceContext* dc = FindDc(hdc);
    if (dc == nullptr || lpString == nullptr || psizl == nullptr) {
        return FALSE;
    }
    const GdiObject* font = Selected(dc->font, SYSTEM_FONT);
    int height = FontPixelHeight(font->height);
    psizl->cx = TextWidth(std::string(lpString, c), height);
    psizl->cy = height;
    return TRUE;
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
    DeviceContext* dc = FindDc(hdc);
    GdiObject* object = FindGdiObject(h);
    if (dc == nullptr || object == nullptr) {
        return nullptr;
    }
    HGDIOBJ* slot = nullptr;
    switch (object->kind) {
    case GdiObject::Kind::Pen:
        slot = &dc->pen;
        break;
    case GdiObject::Kind::Brush:
        slot = &dc->brush;
        break;
    case GdiObject::Kind::Font:
        slot = &dc->font;
        break;
    default:
        return nullptr; // no memory DCs: bitmaps cannot be selected
    }
    HGDIOBJ old = *slot;
    *slot = h;
    return old;
}

// Stock objects are made on first use and live as long as the Runtime.
HGDIOBJ WINAPI GetStockObject(int i) {
    Runtime::State& st = St();
    auto it = st.stockObjects.find(i);
    if (it != st.stockObjects.end()) {
        return it->second;
    }
    HGDIOBJ handle = MakeStock(i);
    if (handle != nullptr) {
        st.stockObjects[i] = handle;
    }
    return handle;
}

BOOL WINAPI DeleteObject(HGDIOBJ ho) {
    Runtime::State& st = St();
    auto it = st.gdiObjects.find(ho);
    if (it == st.gdiObjects.end()) {
        return FALSE;
    }
    if (!it->second->stock) {
        st.gdiObjects.erase(it);
    }
    return TRUE;
}

HPEN WINAPI CreatePen(int iStyle, int cWidth, COLORREF color) {
    auto object = std::make_unique<GdiObject>();
    object->kind = GdiObject::Kind::Pen;
    object->style = iStyle;
    object->width = cWidth;
    object->color = color;
    return static_cast<HPEN>(InsertGdiObject(std::move(object)));
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    auto object = std::make_unique<GdiObject>();
    object->kind = GdiObject::Kind::Brush;
    object->color = color;
    return static_cast<HBRUSH>(InsertGdiObject(std::move(object)));
}

HFONT WINAPI CreateFontA(int cHeight, int cWidth, int cEscapement, int cOrientation, int cWeight,
                         DWORD bItalic, DWORD bUnderline, DWORD bStrikeOut, DWORD iCharSet,
                         DWORD iOutPrecision, DWORD iClipPrecision, DWORD iQuality,
                         DWORD iPitchAndFamily, LPCSTR pszFaceName) {
    UNREFERENCED_PARAMETER(cWidth);
    UNREFERENCED_PARAMETER(cEscapement);
    UNREFERENCED_PARAMETER(cOrientation);
    UNREFERENCED_PARAMETER(bUnderline);
    UNREFERENCED_PARAMETER(bStrikeOut);
    UNREFERENCED_PARAMETER(iOutPrecision);
    UNREFERENCED_PARAMETER(iClipPrecision);
    UNREFERENCED_PARAMETER(iQuality);
    UNREFERENCED_PARAMETER(iPitchAndFamily);
    auto object = std::make_unique<GdiObject>();
    object->kind = GdiObject::Kind::Font;
    object->height = cHeight;
    object->weight = cWeight == FW_DONTCARE ? FW_NORMAL : cWeight;
    object->italic = bItalic != 0;
    object->charset = (int)iCharSet;
    object->face = pszFaceName != nullptr ? pszFaceName : "";
    return static_cast<HFONT>(InsertGdiObject(std::move(object)));
}

HFONT WINAPI CreateFontIndirectA(const LOGFONTA* lplf) {
    if (lplf == nullptr) {
        return nullptr;
    }
    char face[LF_FACESIZE + 1] = {};
    std::memcpy(face, lplf->lfFaceName, LF_FACESIZE);
    return CreateFontA(lplf->lfHeight, lplf->lfWidth, lplf->lfEscapement, lplf->lfOrientation,
                       lplf->lfWeight, lplf->lfItalic, lplf->lfUnderline, lplf->lfStrikeOut,
                       lplf->lfCharSet, lplf->lfOutPrecision, lplf->lfClipPrecision,
                       lplf->lfQuality, lplf->lfPitchAndFamily, face);
}

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
    DeviceContext* dc = FindDc(hdc);
    if (dc == nullptr) {
        return 0xFFFFFFFF; // CLR_INVALID
    }
    COLORREF old = dc->textColor;
    dc->textColor = color;
    return old;
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color) {
    DeviceContext* dc = FindDc(hdc);
    if (dc == nullptr) {
        return 0xFFFFFFFF;
    }
    COLORREF old = dc->bkColor;
    dc->bkColor = color;
    return old;
}

int WINAPI SetBkMode(HDC hdc, int mode) {
    DeviceContext* dc = FindDc(hdc);
    if (dc == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) {
        return 0;
    }
    int old = dc->bkMode;
    dc->bkMode = mode;
    return old;
}

DWORD WINAPI GetSysColor(int nIndex) {
    return SystemColor(nIndex);
}

BOOL WINAPI DrawIcon(HDC hDC, int X, int Y, HICON hIcon) {
    DeviceContext* dc = FindDc(hDC);
    std::shared_ptr<const Image> image = ImageOf(hIcon);
    if (dc == nullptr || image == nullptr) {
        return FALSE;
    }
    auto op = std::make_shared<DrawOp>();
    op->kind = DrawOp::Kind::Image;
    op->rect = Shift(dc, X, Y, X + image->width, Y + image->height);
    op->image = image;
    Record(dc, std::move(op));
    return TRUE;
}
