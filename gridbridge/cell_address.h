// Cell addresses: the strict "A1" form callers pass, and the looser references inside workbooks.
#pragma once
#include <cstddef>

namespace gridbridge {

// "A1" .. "Z999999": one upper-case letter, a row number without leading zeros, nothing else.
// Sets *column (0 = A) and *row (1-based). False for anything else, "[1" and "AA1" among them.
bool ParseCellAddress(const char* address, int* column, int* row);

// A workbook's own cell reference ("B7", "AB12", "$C$3"), len bytes. *column is 0-based and may
// lie beyond Z; *row may be 0 when the reference names no row. False when it is not a reference.
bool ParseCellReference(const char* text, size_t len, long* column, long* row);

}  // namespace gridbridge
