// Helpers shared by the I/O manager's files.
#pragma once

#include "platform/kernel/irp_table.h"

#include <memory>
#include <string>

namespace platform::kernel::detail {

// The dispatch routine preset in every MajorFunction entry: completes the
// request with STATUS_INVALID_DEVICE_REQUEST.
DRIVER_DISPATCH DefaultDispatch;

// PoCallDriver marks the IoCallDriver that follows on the thread as a power
// request sent the way power requests must be sent.
void MarkPoCallDriver();
bool TakePoCallDriverMark();

// "\Device\x of korvex", for findings; takes the object table's lock.
std::string DescribeDevice(PDEVICE_OBJECT device);
// Reports device-touched-after-delete when address lies in a deleted device
// object or its extension: on Windows that memory may be gone.
void CheckNotInDeletedDevice(const void* address, const char* caller);

// A request of the I/O manager itself, sized for the stack of top. Its
// outcome lands in *sync (event set, status block written) whether or not it
// fails synchronously. nullptr when the low-resources switch refuses it,
// which it may only for a request whose caller can report the failure (an
// open, a control request). A handle's cleanup and close cannot fail, and
// the Plug and Play and power managers' requests are not a driver's
// allocations: those always go out.
enum class SystemIrp { MayFail, MustSucceed };
PIRP AllocateSystemIrp(PDEVICE_OBJECT top, std::shared_ptr<SyncCompletion>* sync, SystemIrp kind);
// Sends it and waits on the virtual clock until it completes; the final status.
NTSTATUS SendAndWait(PDEVICE_OBJECT top, PIRP irp, const std::shared_ptr<SyncCompletion>& sync);

// Fills the next stack location of a device control request. METHOD_BUFFERED
// gets one system buffer of max(in, out) bytes from pool with the input copied
// in; Information bytes go back to out when the request finishes. False (and
// the IRP discarded) when the pool refuses the buffer.
bool SetUpControlRequest(PIRP irp, UCHAR major, ULONG code, const void* in, ULONG inLength,
                         void* out, ULONG outLength);

// Opens the named device as the object manager does: a FILE_OBJECT and an
// IRP_MJ_CREATE to the top of its stack.
NTSTATUS OpenDevice(PDEVICE_OBJECT named, KPROCESSOR_MODE mode, PFILE_OBJECT* file);
// Sends IRP_MJ_CLEANUP or IRP_MJ_CLOSE for the file; the status is ignored,
// as the I/O manager ignores it.
void SendFileRequest(PFILE_OBJECT file, UCHAR major);
// Drops one reference; the last one sends IRP_MJ_CLOSE and frees the file.
// False when file is not a file object of this kernel.
bool DereferenceFile(PFILE_OBJECT file);

} // namespace platform::kernel::detail
