// HID report descriptors through the HID class stand-in's parser, and the
// reports that follow through the pointer map built from the layout.
//
// Input: descriptor length (2), the descriptor, then report bytes.
//
// Checked for every parsed layout: each field lies inside its report, each
// report within 4096 bytes; every element reads back without touching bytes
// past the report.
#include "fuzz/support/byte_reader.h"
#include "platform/input/hid_pointer_map.h"

#include <cstdio>
#include <cstdlib>

namespace {

namespace hid = platform::input::hid;

void Fail(const char* what) {
    std::fprintf(stderr, "layout invariant broken: %s\n", what);
    std::abort();
}

void CheckReport(const hid::InputReport& report, const std::vector<uint8_t>& bytes) {
    if (report.Length() > 4097)
        Fail("report longer than 4096 bytes");
    for (const hid::InputField& field : report.fields) {
        if (uint64_t{field.bitOffset} + uint64_t{field.bitSize} * field.count > report.bits)
            Fail("field past the end of its report");
        // Elements are cheap to read but a field may hold thousands.
        for (uint32_t i = 0; i < field.count && i < 64; ++i)
            hid::ReadElement(bytes.data(), bytes.size(), field, i);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::ByteReader in(data, size);
    const std::vector<uint8_t> descriptor = in.Bytes(in.U16());
    const std::vector<uint8_t> reports = in.Rest();
    hid::ParseResult result = hid::ParseReportDescriptor(descriptor.data(), descriptor.size());
    if (!result.layout)
        return 0;
    for (const hid::InputReport& report : result.layout->inputs)
        CheckReport(report, reports);

    std::string reason;
    std::optional<hid::PointerMap> map = hid::FindPointer(*result.layout, &reason);
    if (!map || map->reportLength == 0)
        return 0;
    UCHAR buttons = 0;
    for (size_t at = 0; at < reports.size(); at += map->reportLength) {
        MOUSE_INPUT_DATA packet{};
        hid::ReportToPacket(*map, reports.data() + at, reports.size() - at, buttons, packet);
    }
    return 0;
}
