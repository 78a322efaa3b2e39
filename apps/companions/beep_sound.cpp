#include "apps/companions/beep_sound.h"

extern "C" BEEP_API BOOL PlayPressBeep(void) {
    // The default sound: every system has one, with or without a sound card.
    return MessageBeep(MB_OK);
}
