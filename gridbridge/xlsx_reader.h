// Office Open XML workbooks (.xlsx): the package's relationships lead from xl/workbook.xml to
// the sheet parts; sharedStrings.xml and styles.xml give strings and number formats. Sheets and
// shared strings are read in pieces (one row, one string at a time), never as one tree.
#pragma once
#include <memory>
#include <string>

#include "gridbridge/workbook_reader.h"

namespace gridbridge {

// Joins a relationship target to the folder of the part it belongs to ("xl/" + "worksheets/a.xml",
// "/xl/x.xml", "../x.xml"). Empty when the target climbs out of the package.
std::string ResolvePartName(const std::string& baseFolder, const std::string& target);

}  // namespace gridbridge
