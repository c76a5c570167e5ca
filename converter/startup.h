// Zerbolt, the converter: start-up and the choice of mode.
#pragma once

#include <string>
#include <string_view>

#include "formats/dds.h"
#include "report/report.h"

namespace converter {

// Reads pairs of hexadecimal digits as bytes. A pair reads up to its first
// character that is no digit (so "G1" is 0 and "1G" is 1); an odd last digit
// is a byte of its own.
std::string decodeHexText(std::string_view text);

// The three header templates, decoded from the texts the program keeps.
formats::dds::HeaderTemplates decodeTemplates();

// The whole run for the dropped path `argument` (empty when none was given):
// extraction for a name ending in "spr", rebuild for "rep", in any case.
int runConverter(report::Report& report, std::string_view argument);

}  // namespace converter
