// The one result type of GridBridge's binary readers (compound file, BIFF8): what went wrong
// when a workbook or one of its parts cannot be read.
#pragma once

namespace gridbridge {

enum ReadResult {
  kReadOk = 0,
  kReadNotThisFormat = 1,  // no such signature, an unusable header, not the expected version
  kReadDamaged = 2,        // chains, records, counts or sizes do not hold together
  kReadNoSuchStream = 3,   // the compound file has no stream of that name
  kReadEncrypted = 4,      // the workbook is protected by a password
  kReadNoSuchSheet = 5,
  kReadOldFormat = 6,      // a workbook of Excel 2.x to 95 (BIFF2 to BIFF5), not read
  kReadBinaryFormat = 7,   // an Excel binary workbook (.xlsb), not read
};

}  // namespace gridbridge
