#include "platform/input/hid_report_parser.h"

#include <algorithm>
#include <map>

namespace platform::input::hid {

namespace {

constexpr size_t kMaxReportBits = 4096 * 8;
constexpr size_t kMaxStackDepth = 16;
constexpr uint32_t kMaxUsageRange = 0x10000;

enum ItemType : uint8_t { kMain = 0, kGlobal = 1, kLocal = 2, kReserved = 3 };

// Main item tags.
constexpr uint8_t kInput = 0x8, kOutput = 0x9, kCollection = 0xA, kFeature = 0xB,
                  kEndCollection = 0xC;
// Global item tags.
constexpr uint8_t kUsagePage = 0x0, kLogicalMinimum = 0x1, kLogicalMaximum = 0x2, kReportSize = 0x7,
                  kReportId = 0x8, kReportCount = 0x9, kPush = 0xA, kPop = 0xB;
// Local item tags.
constexpr uint8_t kUsage = 0x0, kUsageMinimum = 0x1, kUsageMaximum = 0x2, kDelimiter = 0xA;

struct Item {
    size_t offset;
    ItemType type;
    uint8_t tag;
    uint8_t size; // data bytes: 0, 1, 2 or 4
    uint32_t data;

    int32_t Signed() const {
        switch (size) {
        case 1:
            return static_cast<int8_t>(data);
        case 2:
            return static_cast<int16_t>(data);
        default:
            return static_cast<int32_t>(data);
        }
    }
};

struct GlobalState {
    uint16_t usagePage = 0;
    int32_t logicalMinimum = 0;
    uint32_t logicalMaximumData = 0; // raw: its sign depends on the minimum
    uint8_t logicalMaximumSize = 0;
    std::optional<uint32_t> reportSize;
    std::optional<uint32_t> reportCount;
    uint8_t reportId = 0;

    int32_t LogicalMaximum() const {
        if (logicalMinimum >= 0)
            return static_cast<int32_t>(logicalMaximumData);
        Item item{0, kGlobal, kLogicalMaximum, logicalMaximumSize, logicalMaximumData};
        return item.Signed();
    }
};

struct LocalState {
    std::vector<uint32_t> usages;
    std::optional<uint32_t> usageMinimum;
    std::optional<uint32_t> usageMaximum;
};

class Parser {
public:
    Parser(const uint8_t* data, size_t length) : data_(data), length_(length) {}

    ParseResult Run() {
        size_t offset = 0;
        while (offset < length_) {
            Item item{};
            if (!ReadItem(offset, item))
                return Fail();
            if (!Apply(item))
                return Fail();
        }
        if (depth_ != 0)
            return Fail("a collection is left open at the end");
        ParseResult result;
        result.layout.emplace();
        for (auto& [id, report] : reports_)
            result.layout->inputs.push_back(std::move(report));
        result.layout->collections = collections_;
        return result;
    }

private:
    ParseResult Fail(std::string reason = {}) {
        ParseResult result;
        result.error = reason.empty() ? error_ : std::move(reason);
        return result;
    }
    bool Error(const Item& item, const std::string& what) {
        error_ = what + " at offset " + std::to_string(item.offset);
        return false;
    }

    bool ReadItem(size_t& offset, Item& item) {
        item.offset = offset;
        const uint8_t prefix = data_[offset];
        if (prefix == 0xFE) { // long item: size byte, tag byte, data
            if (offset + 3 > length_ || offset + 3 + data_[offset + 1] > length_)
                return Error(item, "long item runs past the end");
            offset += 3 + data_[offset + 1];
            item.type = kReserved;
            item.tag = 0xFF; // skipped: no long item is defined
            return true;
        }
        static constexpr uint8_t kSizes[4] = {0, 1, 2, 4};
        item.size = kSizes[prefix & 3];
        item.type = static_cast<ItemType>((prefix >> 2) & 3);
        item.tag = prefix >> 4;
        if (offset + 1 + item.size > length_)
            return Error(item, "item runs past the end");
        item.data = 0;
        for (uint8_t i = 0; i < item.size; ++i)
            item.data |= uint32_t{data_[offset + 1 + i]} << (8 * i);
        offset += 1 + item.size;
        return true;
    }

    bool Apply(const Item& item) {
        switch (item.type) {
        case kMain:
            return ApplyMain(item);
        case kGlobal:
            return ApplyGlobal(item);
        case kLocal:
            return ApplyLocal(item);
        case kReserved:
            if (item.tag == 0xFF)
                return true;
            break;
        }
        return Error(item, "reserved item type");
    }

    bool ApplyGlobal(const Item& item) {
        switch (item.tag) {
        case kUsagePage:
            global_.usagePage = static_cast<uint16_t>(item.data);
            return true;
        case kLogicalMinimum:
            global_.logicalMinimum = item.Signed();
            return true;
        case kLogicalMaximum:
            global_.logicalMaximumData = item.data;
            global_.logicalMaximumSize = item.size;
            return true;
        case 0x3: // physical minimum
        case 0x4: // physical maximum
        case 0x5: // unit exponent
        case 0x6: // unit
            return true;
        case kReportSize:
            global_.reportSize = item.data;
            return true;
        case kReportId:
            if (item.data == 0 || item.data > 0xFF)
                return Error(item, "report ID " + std::to_string(item.data) + " out of 1..255");
            global_.reportId = static_cast<uint8_t>(item.data);
            return true;
        case kReportCount:
            global_.reportCount = item.data;
            return true;
        case kPush:
            if (stack_.size() >= kMaxStackDepth)
                return Error(item, "push deeper than " + std::to_string(kMaxStackDepth));
            stack_.push_back(global_);
            return true;
        case kPop:
            if (stack_.empty())
                return Error(item, "pop without push");
            global_ = stack_.back();
            stack_.pop_back();
            return true;
        default:
            return Error(item, "reserved global item tag");
        }
    }

    bool ApplyLocal(const Item& item) {
        // A usage of four bytes names its page; a shorter one takes the
        // page in effect.
        const uint32_t usage = item.size == 4 ? item.data : Usage(global_.usagePage, item.data);
        switch (item.tag) {
        case kUsage:
            local_.usages.push_back(usage);
            return true;
        case kUsageMinimum:
            local_.usageMinimum = usage;
            return true;
        case kUsageMaximum:
            local_.usageMaximum = usage;
            return true;
        default:
            if (item.tag <= kDelimiter) // designators, strings, delimiters
                return true;
            return Error(item, "reserved local item tag");
        }
    }

    bool ApplyMain(const Item& item) {
        bool ok = true;
        switch (item.tag) {
        case kInput:
        case kOutput:
        case kFeature:
            ok = AddField(item);
            break;
        case kCollection:
            ++depth_;
            ++collections_;
            break;
        case kEndCollection:
            if (depth_ == 0)
                return Error(item, "End Collection without Collection");
            --depth_;
            break;
        default:
            return Error(item, "reserved main item tag");
        }
        local_ = LocalState{};
        return ok;
    }

    bool CollectUsages(const Item& item, std::vector<uint32_t>& usages) {
        usages = local_.usages;
        if (local_.usageMinimum.has_value() != local_.usageMaximum.has_value())
            return Error(item, "usage range with only one end");
        if (local_.usageMinimum) {
            const uint32_t first = *local_.usageMinimum;
            const uint32_t last = *local_.usageMaximum;
            if (last < first || last - first >= kMaxUsageRange)
                return Error(item, "usage range out of order");
            for (uint32_t usage = first; usage <= last; ++usage)
                usages.push_back(usage);
        }
        return true;
    }

    bool AddField(const Item& item) {
        if (!global_.reportSize || !global_.reportCount)
            return Error(item, "main item without report size and count");
        const uint64_t bits = uint64_t{*global_.reportSize} * *global_.reportCount;
        if ((seenIds_ && global_.reportId == 0) || (seenNoId_ && global_.reportId != 0))
            return Error(item, "reports with and without report IDs");
        (global_.reportId != 0 ? seenIds_ : seenNoId_) = true;

        std::vector<uint32_t> usages;
        if (!CollectUsages(item, usages))
            return false;
        // Output and feature reports are laid out apart; only their sizes are checked.
        uint32_t& used = item.tag == kInput    ? inputBits_[global_.reportId]
                         : item.tag == kOutput ? outputBits_[global_.reportId]
                                               : featureBits_[global_.reportId];
        if (used + bits > kMaxReportBits)
            return Error(item, "report longer than 4096 bytes");
        const uint32_t offset = used;
        used += static_cast<uint32_t>(bits);
        if (item.tag != kInput)
            return true;

        InputReport& report = reports_[global_.reportId];
        report.id = global_.reportId;
        report.bits = used;
        if (bits == 0)
            return true;
        InputField field;
        field.bitOffset = offset;
        field.bitSize = *global_.reportSize;
        field.count = *global_.reportCount;
        field.constant = item.data & 0x01;
        field.variable = item.data & 0x02;
        field.relative = item.data & 0x04;
        field.logicalMinimum = global_.logicalMinimum;
        field.logicalMaximum = global_.LogicalMaximum();
        if (!field.constant) {
            field.usages = std::move(usages);
            if (field.variable && !field.usages.empty())
                field.usages.resize(field.count, field.usages.back());
        }
        report.fields.push_back(std::move(field));
        return true;
    }

    const uint8_t* data_;
    size_t length_;
    std::string error_;
    GlobalState global_;
    std::vector<GlobalState> stack_;
    LocalState local_;
    int depth_ = 0;
    int collections_ = 0;
    bool seenIds_ = false;
    bool seenNoId_ = false;
    std::map<uint8_t, InputReport> reports_;
    std::map<uint8_t, uint32_t> inputBits_, outputBits_, featureBits_;
};

} // namespace

const InputReport* ReportLayout::Find(uint8_t id) const {
    for (const InputReport& report : inputs)
        if (report.id == id)
            return &report;
    return nullptr;
}

size_t ReportLayout::MaxInputLength() const {
    size_t length = 0;
    for (const InputReport& report : inputs)
        length = std::max(length, report.Length());
    return length;
}

ParseResult ParseReportDescriptor(const uint8_t* data, size_t length) {
    if (data == nullptr || length == 0)
        return ParseResult{std::nullopt, "empty report descriptor"};
    return Parser(data, length).Run();
}

int64_t ReadElement(const uint8_t* data, size_t length, const InputField& field, uint32_t index) {
    const uint64_t first = uint64_t{field.bitOffset} + uint64_t{index} * field.bitSize;
    const uint32_t size = std::min<uint32_t>(field.bitSize, 32);
    uint64_t value = 0;
    for (uint32_t bit = 0; bit < size; ++bit) {
        const uint64_t at = first + bit;
        if (at / 8 < length && (data[at / 8] >> (at % 8)) & 1)
            value |= uint64_t{1} << bit;
    }
    if (field.Signed() && size > 0 && size < 64 && (value >> (size - 1)) & 1)
        value |= ~uint64_t{0} << size;
    return static_cast<int64_t>(value);
}

} // namespace platform::input::hid
