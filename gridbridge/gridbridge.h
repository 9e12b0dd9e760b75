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

/* What OpenExcel returns when the workbook does not open: the cause, for callers that name
   it (any non-zero result is a failure). */
#define GRIDBRIDGE_UNREADABLE (-1)     /* no such file, not a workbook, or a damaged one */
#define GRIDBRIDGE_ENCRYPTED (-2)      /* protected by a password (an opening password) */
#define GRIDBRIDGE_OLD_FORMAT (-3)     /* Excel 2.x to 95 (BIFF2 to BIFF5), before Excel 97 */
#define GRIDBRIDGE_BINARY_FORMAT (-4)  /* an Excel binary workbook (.xlsb) */

/* Opens a workbook (.xlsx, .xlsm, .xls or .csv, told apart by content). 0 on success, else
   one of the GRIDBRIDGE_ codes above. */
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
