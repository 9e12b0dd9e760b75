/* GridBridge: spreadsheet access library. Every text that crosses this interface is
   Shift-JIS (code page 932) ended by a zero byte; every result is a 32-bit integer. No C++
   exception crosses it: each entry point catches every exception and reports a failure. */
#ifndef GRIDBRIDGE_H
#define GRIDBRIDGE_H

#if defined(_WIN32)
#  if defined(GRIDBRIDGE_BUILD)
#    define GRIDBRIDGE_API __declspec(dllexport)
#  else
#    define GRIDBRIDGE_API __declspec(dllimport)
#  endif
#else
#  define GRIDBRIDGE_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Opens a workbook (.xlsx, .xls or .csv, told apart by content). 0 on success. */
GRIDBRIDGE_API int OpenExcel(const char* path, int option);
/* Selects the sheet with exactly this name and reads it. 0 on success. */
GRIDBRIDGE_API int OpenSheet(const char* sheetName);
/* Writes the value of the cell at an "A1"-form address into a 256-byte buffer.
   Non-zero when the cell has a value; 0 (and an empty buffer) otherwise. */
GRIDBRIDGE_API int GetCell(const char* address, char* value);
/* Closes the workbook; harmless when none is open. */
GRIDBRIDGE_API int CloseExcel(void);

#ifdef __cplusplus
}
#endif

#endif
