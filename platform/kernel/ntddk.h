// The kernel stand-in as drivers see it: the subset of ntddk.h/wdm.h that the
// deliverables call, under the real names.
#pragma once

#include "platform/kernel/nt_types.h"
#include "platform/kernel/nt_ke.h"
#include "platform/kernel/nt_rtl.h"
#include "platform/kernel/nt_io.h"
