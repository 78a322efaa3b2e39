// Which systems have which kernel routines: generated at configure time from
// scripts/availability/kernel.tsv, the table the Windows images are checked
// against.
#pragma once

namespace platform::kernel::detail {

struct RoutineAvailability {
    const char* routine;
    bool on98;
    bool on2000;
    bool onXp;
};

extern const RoutineAvailability kRoutineTable[];
extern const unsigned kRoutineTableSize;

} // namespace platform::kernel::detail
