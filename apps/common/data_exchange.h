// Dialog data exchange: a dialog's DoDataExchange binds members to its
// controls; UpdateData moves the values one way or the other.
//
//   void MainDialog::DoDataExchange(DataExchange* exchange) {
//       ExchangeComboText(exchange, IDC_PORT, PortText, sizeof PortText);
//   }
#pragma once

#include "apps/common/win.h"

class ModalDialog;

class DataExchange {
public:
    DataExchange(ModalDialog* dialog, BOOL saveAndValidate);

    // TRUE: from the controls to the members; FALSE: to the controls.
    BOOL SaveAndValidate() const { return saveAndValidate_; }
    HWND Control(int id) const;
    // Marks the exchange failed (a field did not validate).
    void Fail() { failed_ = TRUE; }
    BOOL Failed() const { return failed_; }

private:
    ModalDialog* dialog_;
    BOOL saveAndValidate_;
    BOOL failed_;
};

// The index of a combo box's current item (-1 for none) and an int.
void ExchangeComboIndex(DataExchange* exchange, int id, int* index);

// A combo box's text and a buffer of size bytes. To the members: the
// current item's text ("" for none). To the control: selects the first
// item that begins with the text (CB_SELECTSTRING; an empty text thus
// selects the first item); when none does, only an editable combo box
// takes the text as typed.
void ExchangeComboText(DataExchange* exchange, int id, char* text, int size);
