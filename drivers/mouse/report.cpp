// Points as absolute mouse packets for the mouse class driver.
#include "drivers/mouse/pelmoxp.h"

static TOUCH_POINT_ROUTINE DeliverPointAsPacket;

static TOUCH_LINK_DRIVER MouseLinkDriver;
const TOUCH_LINK_CLIENT MouseLinkClient = {DeliverPointAsPacket, 0, &MouseLinkDriver};

static UCHAR PreviousButtons;

VOID ResetMouseButtons(VOID) {
    PreviousButtons = 0;
}

static VOID DeliverPointAsPacket(PTOUCH_LINK Link, UCHAR Button, USHORT X, USHORT Y) {
    ReportPoint(CONTAINING_RECORD(Link, MOUSE_DEVICE_EXTENSION, Link), Button, X, Y);
}

// Bits 0, 1 and 2 of the button byte are the left, right and middle buttons;
// the others show in RawButtons only.
USHORT ButtonTransitions(UCHAR Previous, UCHAR Current) {
    static const USHORT down[3] = {MOUSE_LEFT_BUTTON_DOWN, MOUSE_RIGHT_BUTTON_DOWN,
                                   MOUSE_MIDDLE_BUTTON_DOWN};
    static const USHORT up[3] = {MOUSE_LEFT_BUTTON_UP, MOUSE_RIGHT_BUTTON_UP,
                                 MOUSE_MIDDLE_BUTTON_UP};
    UCHAR changed = (UCHAR)(Previous ^ Current);
    USHORT flags = 0;
    for (int bit = 0; bit < 3; bit++) {
        if (changed & (1 << bit)) {
            flags |= (Current & (1 << bit)) ? down[bit] : up[bit];
        }
    }
    return flags;
}

// X and Y are already on the absolute scale 0..65535 (the calibration
// tables' entries); they go out unscaled.
VOID ReportPoint(PMOUSE_DEVICE_EXTENSION Extension, UCHAR Buttons, USHORT X, USHORT Y) {
    MOUSE_INPUT_DATA packet;
    RtlZeroMemory(&packet, sizeof(packet));
    packet.Flags = MOUSE_MOVE_ABSOLUTE;
    packet.ButtonFlags = ButtonTransitions(PreviousButtons, Buttons);
    packet.RawButtons = Buttons;
    packet.LastX = X;
    packet.LastY = Y;
    PreviousButtons = Buttons;

    PSERVICE_CALLBACK_ROUTINE service =
        (PSERVICE_CALLBACK_ROUTINE)Extension->ConnectData.ClassService;
    if (service == NULL) {
        return; // no class driver yet: dropped
    }
    KIRQL irql = KeGetCurrentIrql();
    if (irql > DISPATCH_LEVEL) {
        return;
    }
    KIRQL oldIrql = irql;
    if (irql < DISPATCH_LEVEL) {
        KeRaiseIrql(DISPATCH_LEVEL, &oldIrql);
    }
    ULONG consumed = 0; // not examined: one packet per call
    service(Extension->ConnectData.ClassDeviceObject, &packet, &packet + 1, &consumed);
    if (irql < DISPATCH_LEVEL) {
        KeLowerIrql(oldIrql);
    }
}
