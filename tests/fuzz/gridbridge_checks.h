// Checks that every workbook reader must pass whatever its bytes: each sheet loads the same
// way twice, every value is terminated within the 255 bytes of a cell, and the library's C
// entry points never write past the 256-byte value buffer or answer for an address outside
// "A1".."Z999999".
#pragma once
#include <string>

#include "gridbridge/workbook_reader.h"

namespace fuzz_support {

// `wholeCharacters`: values come from a conversion to Shift-JIS, so none ends in half a character.
// `namedSheets`: a name that is not among the sheets selects nothing (a text file has one
// table that any name selects).
void CheckReader(gridbridge::WorkbookReader& reader, bool wholeCharacters, bool namedSheets);

// Writes the bytes to a file and reads it through OpenExcel, OpenSheet, GetCell, CloseExcel.
void CheckEntryPoints(const std::string& bytes);

}  // namespace fuzz_support
