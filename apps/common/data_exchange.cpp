#include "apps/common/data_exchange.h"

#include "apps/common/modal_dialog.h"

DataExchange::DataExchange(ModalDialog* dialog, BOOL saveAndValidate)
    : dialog_(dialog), saveAndValidate_(saveAndValidate), failed_(FALSE) {}

HWND DataExchange::Control(int id) const {
    return dialog_ != NULL ? dialog_->Item(id) : NULL;
}

void ExchangeComboIndex(DataExchange* exchange, int id, int* index) {
    HWND combo = exchange->Control(id);
    if (combo == NULL) {
        exchange->Fail();
        return;
    }
    if (exchange->SaveAndValidate()) {
        *index = (int)SendMessageA(combo, CB_GETCURSEL, 0, 0);
    } else {
        SendMessageA(combo, CB_SETCURSEL, (WPARAM)*index, 0);
    }
}

void ExchangeComboText(DataExchange* exchange, int id, char* text, int size) {
    HWND combo = exchange->Control(id);
    if (combo == NULL || size <= 0) {
        exchange->Fail();
        return;
    }
    if (exchange->SaveAndValidate()) {
        GetWindowTextA(combo, text, size);
        return;
    }
    if (SendMessageA(combo, CB_SELECTSTRING, (WPARAM)-1, reinterpret_cast<LPARAM>(text)) ==
        CB_ERR) {
        if ((GetWindowLongA(combo, GWL_STYLE) & CBS_DROPDOWNLIST) != CBS_DROPDOWNLIST) {
            SetWindowTextA(combo, text);
        }
    }
}
