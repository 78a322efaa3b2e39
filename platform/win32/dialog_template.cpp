#include "platform/win32/dialog_template.h"

#include "platform/win32/text_utf.h"

#include <cstdint>
#include <cstring>

namespace platform::win32::detail {
namespace {

// Bounded little-endian reader over the template; offsets count from its
// start, which is where DWORD alignment is measured.
class Reader {
public:
    Reader(const BYTE* data, size_t size) : data_(data), size_(size) {}

    bool Ok() const { return ok_; }

    template <class T> T Read() {
        T value{};
        if (!Has(sizeof(T))) {
            return value;
        }
        std::memcpy(&value, data_ + offset_, sizeof(T));
        offset_ += sizeof(T);
        return value;
    }

    std::string ReadString() {
        std::u16string text;
        for (;;) {
            char16_t c = Read<char16_t>();
            if (!ok_ || c == 0) {
                break;
            }
            text += c;
        }
        return AnsiFromUtf16(text.data(), text.size());
    }

    NameOrOrdinal ReadNameOrOrdinal() {
        NameOrOrdinal name;
        if (!Has(2)) {
            return name;
        }
        WORD first;
        std::memcpy(&first, data_ + offset_, 2);
        if (first == 0xFFFF) {
            offset_ += 2;
            name.isOrdinal = true;
            name.ordinal = Read<WORD>();
        } else {
            name.text = ReadString();
        }
        return name;
    }

    void ReadBytes(std::vector<BYTE>* out, size_t count) {
        if (!Has(count)) {
            return;
        }
        out->assign(data_ + offset_, data_ + offset_ + count);
        offset_ += count;
    }

    void AlignDword() {
        size_t aligned = (offset_ + 3) & ~size_t(3);
        // The last item may end without padding.
        offset_ = aligned <= size_ ? aligned : size_;
    }

private:
    bool Has(size_t count) {
        if (!ok_ || count > size_ - offset_) {
            ok_ = false;
            return false;
        }
        return true;
    }

    const BYTE* data_;
    size_t size_;
    size_t offset_ = 0;
    bool ok_ = true;
};

void ReadHeaderTail(Reader& in, DialogTemplate* t) {
    t->menu = in.ReadNameOrOrdinal();
    t->windowClass = in.ReadNameOrOrdinal();
    t->title = in.ReadString();
    if ((t->style & DS_SETFONT) != 0) {
        t->hasFont = true;
        t->pointSize = in.Read<WORD>();
        if (t->extended) {
            t->weight = in.Read<WORD>();
            t->italic = in.Read<BYTE>() != 0;
            t->charset = in.Read<BYTE>();
        }
        t->face = in.ReadString();
    }
}

void ReadItem(Reader& in, bool extended, DialogItem* item) {
    in.AlignDword();
    if (extended) {
        item->helpId = in.Read<DWORD>();
        item->exStyle = in.Read<DWORD>();
        item->style = in.Read<DWORD>();
    } else {
        item->style = in.Read<DWORD>();
        item->exStyle = in.Read<DWORD>();
    }
    item->x = in.Read<short>();
    item->y = in.Read<short>();
    item->cx = in.Read<short>();
    item->cy = in.Read<short>();
    item->id = extended ? in.Read<DWORD>() : in.Read<WORD>();
    item->windowClass = in.ReadNameOrOrdinal();
    item->title = in.ReadNameOrOrdinal();
    WORD extra = in.Read<WORD>();
    if (extended) {
        in.ReadBytes(&item->creationData, extra);
    } else if (extra > sizeof(WORD)) {
        // The count of a classic template includes the count word itself.
        in.ReadBytes(&item->creationData, extra - sizeof(WORD));
    }
}

} // namespace

bool ParseDialogTemplate(const void* data, size_t size, DialogTemplate* out) {
    if (data == nullptr) {
        return false;
    }
    Reader in(static_cast<const BYTE*>(data), size);
    DialogTemplate t;
    WORD version = in.Read<WORD>();
    WORD signature = in.Read<WORD>();
    WORD count;
    if (in.Ok() && version == 1 && signature == 0xFFFF) {
        t.extended = true;
        t.helpId = in.Read<DWORD>();
        t.exStyle = in.Read<DWORD>();
        t.style = in.Read<DWORD>();
    } else {
        Reader classic(static_cast<const BYTE*>(data), size);
        in = classic;
        t.style = in.Read<DWORD>();
        t.exStyle = in.Read<DWORD>();
    }
    count = in.Read<WORD>();
    t.x = in.Read<short>();
    t.y = in.Read<short>();
    t.cx = in.Read<short>();
    t.cy = in.Read<short>();
    ReadHeaderTail(in, &t);
    for (WORD i = 0; i < count && in.Ok(); ++i) {
        DialogItem item;
        ReadItem(in, t.extended, &item);
        t.items.push_back(std::move(item));
    }
    if (!in.Ok()) {
        return false;
    }
    *out = std::move(t);
    return true;
}

} // namespace platform::win32::detail
