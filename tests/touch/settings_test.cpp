// The driver's settings: global key, backup key, value types and sizes.
#include "tests/touch/touch_harness.h"

namespace touch_testing {
namespace {

USHORT Ramp(int i) {
    return USHORT(i * 13);
}
USHORT Fall(int i) {
    return USHORT(60000 - i * 7);
}
USHORT Ones(int) {
    return 0x0101;
}

class SettingsTest : public TouchTest {
protected:
    using Value = std::pair<ULONG, std::vector<UCHAR>>;
    Value Stored(const std::string& key, const std::string& name) {
        auto value = kernel.Registry().GetValue(key, name);
        return value ? Value(value->type, value->data) : Value();
    }
};

TEST_F(SettingsTest, CompleteLoadWritesIdenticalBackupWithTextNumbers) {
    WriteSettings(kGlobalKey, Ramp, Fall, "2", "5");
    LoadSettings(ext);
    EXPECT_TRUE(ext->CalibrationLoaded);
    EXPECT_EQ(ext->doneMode, 2);
    EXPECT_EQ(ext->moveSlider, 5);
    EXPECT_EQ(ext->XArray[4999], Ramp(4999));
    EXPECT_EQ(ext->YArray[1], Fall(1));

    EXPECT_EQ(Stored(BackupKey(), "XArray"), Value(REG_BINARY, Table(Ramp)));
    EXPECT_EQ(Stored(BackupKey(), "YArray"), Value(REG_BINARY, Table(Fall)));
    EXPECT_EQ(Stored(BackupKey(), "doneMode"), Value(REG_SZ, Text("2", true)));
    EXPECT_EQ(Stored(BackupKey(), "moveSlider"), Value(REG_SZ, Text("5", true)));
}

TEST_F(SettingsTest, PartialLoadKeepsFlagAndWritesNoBackup) {
    WriteSettings(kGlobalKey, Ramp, Fall, "3");
    kernel.Registry().DeleteValue(kGlobalKey, "moveSlider");
    for (BOOLEAN before : {FALSE, TRUE}) {
        ext->CalibrationLoaded = before;
        LoadSettings(ext);
        EXPECT_EQ(ext->CalibrationLoaded, before);
        EXPECT_EQ(ext->doneMode, 3);
        EXPECT_EQ(ext->XArray[10], Ramp(10));
    }
    EXPECT_FALSE(kernel.Registry().Open(BackupKey()));
}

TEST_F(SettingsTest, NumbersAreReadAsText) {
    struct Case {
        ULONG type;
        std::vector<UCHAR> data;
        LONG expected;
    };
    const Case cases[] = {
        {REG_SZ, Text("2"), 2},
        {REG_SZ, Text("40", true), 40},
        {REG_DWORD, {2, 0, 0, 0}, 0},                                 // four bytes as text
        {REG_BINARY, std::vector<UCHAR>(100, '1'), LONG(0xC71C71C7)}, // no NUL in the data
    };
    for (const Case& c : cases) {
        WriteSettings(kGlobalKey, Ramp, Fall);
        SetValue(kGlobalKey, "doneMode", c.type, c.data);
        LoadSettings(ext);
        EXPECT_EQ(ext->doneMode, c.expected) << c.type << " " << c.data.size();
    }
}

TEST_F(SettingsTest, TablesTooLongRejectedShortOnesReplaceTheirEntries) {
    WriteSettings(kGlobalKey, Ones, Ones);
    SetValue(kGlobalKey, "XArray", REG_BINARY, Table(Ramp, 5001));
    LoadSettings(ext);
    EXPECT_FALSE(ext->CalibrationLoaded);
    EXPECT_EQ(ext->XArray[1], 0);

    SetValue(kGlobalKey, "XArray", REG_BINARY, Table(Ones));
    LoadSettings(ext);
    SetValue(kGlobalKey, "XArray", REG_BINARY, Table(Ramp, 1000));
    LoadSettings(ext);
    EXPECT_EQ(ext->XArray[999], Ramp(999));
    EXPECT_EQ(ext->XArray[1000], 0x0101);
}

TEST_F(SettingsTest, TextTablesBeyondConversionBufferRefused) {
    WriteSettings(kGlobalKey, Ramp, Fall);
    SetValue(kGlobalKey, "XArray", REG_SZ, Text(std::string(200, 'A')));
    LoadSettings(ext);
    EXPECT_TRUE(ext->CalibrationLoaded);
    EXPECT_EQ(ext->XArray[0], 0x4141);
    EXPECT_EQ(ext->XArray[100], 0); // the NUL after 200 characters

    ext->CalibrationLoaded = FALSE;
    SetValue(kGlobalKey, "XArray", REG_SZ, Text(std::string(201, 'B')));
    LoadSettings(ext);
    EXPECT_FALSE(ext->CalibrationLoaded);
    EXPECT_EQ(ext->XArray[0], 0x4141);
}

TEST_F(SettingsTest, ReloadFallsBackToBackupKey) {
    WriteSettings(kGlobalKey, Ramp, Fall);
    EXPECT_EQ(Command(TOUCH_CMD_RELOAD), STATUS_SUCCESS);
    kernel.Registry().DeleteTree(kGlobalKey);
    ext->XArray[7] = 1;
    LoadSettings(ext); // a restart without the global key keeps what it has
    EXPECT_TRUE(ext->CalibrationLoaded);
    EXPECT_EQ(ext->XArray[7], 1);

    EXPECT_EQ(Command(TOUCH_CMD_RELOAD), STATUS_SUCCESS);
    EXPECT_TRUE(ext->CalibrationLoaded);
    EXPECT_EQ(ext->XArray[7], Ramp(7));

    kernel.Registry().DeleteTree(BackupKey());
    EXPECT_EQ(Command(TOUCH_CMD_RELOAD), STATUS_SUCCESS);
    EXPECT_FALSE(ext->CalibrationLoaded);
}

TEST_F(SettingsTest, NoQueryOrPathMemoryLeavesLoadIncomplete) {
    WriteSettings(kGlobalKey, Ramp, Fall);
    for (POOL_TYPE pool : {PagedPool, NonPagedPool}) {
        kernel.SetAllocationFilter([pool](const platform::kernel::AllocationRequest& request) {
            return request.tag == TOUCH_POOL_TAG && request.pool == pool;
        });
        LoadSettings(ext);
        kernel.SetAllocationFilter(nullptr);
        EXPECT_FALSE(ext->CalibrationLoaded) << pool;
        EXPECT_EQ(ext->XArray[5], 0) << pool;
    }
}

class LongServiceNameTest : public SettingsTest {
protected:
    // Seven characters is the longest service name whose backup path fits.
    std::string ServiceName() const override { return "korvex-usb"; }
};

TEST_F(LongServiceNameTest, BackupPathTooLongIsRefused) {
    WriteSettings(kGlobalKey, Ramp, Fall);
    LoadSettings(ext);
    EXPECT_TRUE(ext->CalibrationLoaded);
    EXPECT_FALSE(kernel.Registry().Open(BackupKey()));
    WriteSettings(BackupKey(), Ramp, Fall);
    EXPECT_FALSE(LoadBackupSettings(ext));
}

} // namespace
} // namespace touch_testing
