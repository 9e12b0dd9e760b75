// A stand-in for the spreadsheet library in the engine's unit tests: a sheet held in memory.
#pragma once
#include "gridbridge/gridbridge.h"

#ifdef __cplusplus
extern "C" {
#endif
// Empties the sheet and the counters; the workbook "book.xlsx" with the sheet "Sheet1" opens.
GRIDBRIDGE_API void GridDoubleReset(void);
// Sets one cell ("A1" form); an empty value removes it.
GRIDBRIDGE_API void GridDoubleSetCell(const char* address, const char* value);
// The workbook path and sheet name that open successfully.
GRIDBRIDGE_API void GridDoubleAccept(const char* path, const char* sheetName);
// How often the calls were made since the last reset.
GRIDBRIDGE_API int GridDoubleOpenCount(void);
GRIDBRIDGE_API int GridDoubleCloseCount(void);
GRIDBRIDGE_API int GridDoubleCellReads(void);
// 1 when GetCell was ever asked for a column that is not a letter A to Z.
GRIDBRIDGE_API int GridDoubleAskedOutside(void);
#ifdef __cplusplus
}
#endif
