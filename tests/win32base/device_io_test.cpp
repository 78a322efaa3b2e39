// CreateFileA, DeviceIoControl and CloseHandle against a small test driver
// whose device control completes with the status it is sent: the Win32
// error each status becomes, and the handle rules.
#include "tests/win32base/win32_fixture.h"

#include <cstring>

namespace win32_testing {
namespace {

// Input: the NTSTATUS to complete with. Output: filled with 0xAB, all of it
// reported as Information on success.
NTSTATUS NTAPI EchoStatus(PDEVICE_OBJECT, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
    NTSTATUS status = STATUS_SUCCESS;
    if (in >= sizeof(NTSTATUS))
        std::memcpy(&status, irp->AssociatedIrp.SystemBuffer, sizeof status);
    if (out > 0)
        std::memset(irp->AssociatedIrp.SystemBuffer, 0xAB, out);
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = NT_SUCCESS(status) ? out : 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS NTAPI OpenClose(PDEVICE_OBJECT, PIRP irp) {
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

NTSTATUS NTAPI EchoEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    driver->MajorFunction[IRP_MJ_CREATE] = OpenClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = OpenClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = OpenClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = EchoStatus;
    return STATUS_SUCCESS;
}

constexpr DWORD kEchoCode = 0x220010; // METHOD_BUFFERED

class DeviceIo : public Win32Test {
protected:
    void SetUp() override {
        driver_ = kernel.LoadDriver("echo", EchoEntry);
        ASSERT_NE(driver_, nullptr);
        UNICODE_STRING name;
        RtlInitUnicodeString(&name, u"\\Device\\echo");
        ASSERT_EQ(IoCreateDevice(driver_, 0, &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &device_),
                  STATUS_SUCCESS);
        device_->Flags |= DO_BUFFERED_IO;
        device_->Flags &= ~DO_DEVICE_INITIALIZING;
        RtlInitUnicodeString(&link_, u"\\DosDevices\\echo");
        ASSERT_EQ(IoCreateSymbolicLink(&link_, &name), STATUS_SUCCESS);
    }

    void TearDown() override {
        IoDeleteSymbolicLink(&link_);
        IoDeleteDevice(device_);
        kernel.UnloadDriver(driver_);
        Win32Test::TearDown();
    }

    HANDLE Open() {
        return CreateFileA("\\\\.\\echo", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    }

private:
    PDRIVER_OBJECT driver_ = nullptr;
    PDEVICE_OBJECT device_ = nullptr;
    UNICODE_STRING link_;
};

TEST_F(DeviceIo, EachDriverStatusBecomesTheErrorWindowsReports) {
    HANDLE file = Open();
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    struct Case {
        NTSTATUS status;
        DWORD error;
    };
    const Case cases[] = {
        {STATUS_INVALID_PARAMETER, ERROR_INVALID_PARAMETER},
        {STATUS_INVALID_DEVICE_REQUEST, ERROR_INVALID_FUNCTION},
        {STATUS_NO_SUCH_DEVICE, ERROR_FILE_NOT_FOUND},
        {STATUS_DEVICE_NOT_CONNECTED, ERROR_DEVICE_NOT_CONNECTED},
        {STATUS_DEVICE_REMOVED, ERROR_DEVICE_REMOVED},
        {STATUS_DELETE_PENDING, ERROR_ACCESS_DENIED},
        {STATUS_CANCELLED, ERROR_OPERATION_ABORTED},
        {STATUS_INSUFFICIENT_RESOURCES, ERROR_NO_SYSTEM_RESOURCES},
        {STATUS_NO_MEMORY, ERROR_NOT_ENOUGH_MEMORY},
        {STATUS_IO_TIMEOUT, ERROR_SEM_TIMEOUT},
        {STATUS_DEVICE_DATA_ERROR, ERROR_CRC},
        {STATUS_UNSUCCESSFUL, ERROR_GEN_FAILURE},
        {STATUS_BUFFER_OVERFLOW, ERROR_MORE_DATA},
        {static_cast<NTSTATUS>(0xC0001234), ERROR_MR_MID_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(kPoison);
        DWORD returned = kPoison;
        NTSTATUS status = c.status;
        EXPECT_FALSE(DeviceIoControl(file, kEchoCode, &status, sizeof status, nullptr, 0, &returned,
                                     nullptr))
            << std::hex << c.status;
        EXPECT_EQ(GetLastError(), c.error) << std::hex << c.status;
    }
    EXPECT_TRUE(CloseHandle(file));
}

TEST_F(DeviceIo, SuccessReturnsTheOutputAndLeavesTheLastError) {
    HANDLE file = Open();
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    BYTE out[8];
    std::memset(out, kPoisonByte, sizeof out);
    DWORD returned = kPoison;
    SetLastError(kPoison);
    EXPECT_TRUE(DeviceIoControl(file, kEchoCode, nullptr, 0, out, 6, &returned, nullptr));
    EXPECT_EQ(GetLastError(), kPoison);
    EXPECT_EQ(returned, 6u);
    EXPECT_EQ(out[5], 0xAB);
    EXPECT_EQ(out[6], kPoisonByte);

    EXPECT_FALSE(DeviceIoControl(file, kEchoCode, nullptr, 0, out, 6, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(CloseHandle(file));
}

TEST_F(DeviceIo, OpenFailuresAndStaleHandles) {
    struct Case {
        const char* path;
        DWORD disposition;
        DWORD error;
    };
    const Case cases[] = {
        {"\\\\.\\nothing", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"C:\\tpanel.exe", OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"\\\\.\\echo", 0, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SetLastError(kPoison);
        EXPECT_EQ(CreateFileA(c.path, 0, 0, nullptr, c.disposition, 0, nullptr),
                  INVALID_HANDLE_VALUE)
            << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }

    HANDLE file = Open();
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
    EXPECT_TRUE(CloseHandle(file));
    DWORD returned;
    EXPECT_FALSE(DeviceIoControl(file, kEchoCode, nullptr, 0, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

} // namespace
} // namespace win32_testing
