// The whole registry as a text a person can read, in the manner of a .reg
// export, and back:
//   [\REGISTRY\Machine\Software\Touch\UsbConfig]
//   "IsCfg"="no"              REG_SZ stored with its NUL (printable ASCII)
//   "osflg"=nonul:"xp"        REG_SZ stored without its NUL
//   "ImagePath"=expand:"..."  REG_EXPAND_SZ stored with its NUL
//   "Start"=dword:00000003
//   "XArray"=hex:00,00,51,00,\    REG_BINARY, 24 bytes a line
//     a3,00
//   "Other"=hex(7):...        any other type or text, its bytes
//   @=...                     the unnamed value
// Keys come in creation order, each before its subkeys, empty ones too; the
// current control set (a link) is not written. Loading gives the same keys,
// values, types and bytes in the same order.
#pragma once

#include "platform/registry/store.h"

#include <string>

namespace machine {

std::string ExportRegistry(const platform::registry::Store& store);

// Replaces everything in the store with the text's keys and values; false
// (with *error: "line N: ...") when the text is malformed.
bool ImportRegistry(platform::registry::Store& store, const std::string& text, std::string* error);

} // namespace machine
