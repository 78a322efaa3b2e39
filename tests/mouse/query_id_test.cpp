// The identifier answer both input drivers share: never more than the block
// it promises, and the block always ends in two zero characters (the end of
// a multi-string list).
#include "drivers/touchlink/input_requests.h"
#include "tests/kernel/test_driver.h"

namespace mouse_testing {
namespace {

constexpr ULONG kTag = 0x74736554; // 'Test'

struct QueryIdCase {
    ULONG identifierBytes;
    ULONG blockBytes;
    ULONG copiedChars;
};
inline QueryIdCase gCase;
inline WCHAR gIdentifier[64];

NTSTATUS AnswerWithCase(PDEVICE_OBJECT, PIRP irp) {
    irp->IoStatus.Information = 0;
    return AnswerQueryId(irp, gIdentifier, gCase.identifierBytes, gCase.blockBytes, kTag);
}

using QueryIdTest = kernel_test::IoFixture;

TEST_F(QueryIdTest, IdentifierIsCutToTheBlockAndAlwaysEnds) {
    for (WCHAR& c : gIdentifier)
        c = u'x';
    const QueryIdCase cases[] = {
        {20, 40, 10}, // fits, the rest zero
        {36, 40, 18}, // exactly up to the two closing characters
        {60, 40, 18}, // longer than the block: cut
        {3, 40, 1},   // an odd byte count copies whole characters only
        {60, 4, 0},   // a block with room for the ending only
    };
    PDEVICE_OBJECT top = CreateStack({AnswerWithCase});
    for (const QueryIdCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.identifierBytes) + " in " + std::to_string(c.blockBytes));
        gCase = c;
        PIRP irp = BuildRequest(top);
        IoCallDriver(top, irp);
        ASSERT_EQ(irp->IoStatus.Status, STATUS_SUCCESS);
        auto* ids = reinterpret_cast<WCHAR*>(irp->IoStatus.Information);
        ASSERT_NE(ids, nullptr);
        EXPECT_EQ(kernel.PoolBytesFrom(ids), c.blockBytes);
        const ULONG chars = c.blockBytes / sizeof(WCHAR);
        for (ULONG i = 0; i < chars; ++i)
            EXPECT_EQ(ids[i], i < c.copiedChars ? u'x' : 0) << i;
        ExFreePool(ids);
        IoFreeIrp(irp);
    }
}

} // namespace
} // namespace mouse_testing
