// Quandrel, the counter: lists every image of a sprite archive, section by
// section, and the number of images in the whole archive.
#pragma once

#include <cstdint>
#include <string_view>

#include "formats/archive.h"
#include "report/report.h"

namespace counter {

// The counter's name, as its report shows it.
inline constexpr std::string_view kProgramName = "Quandrel";

// The whole run for the dropped path `argument` (empty when none was given),
// up to and including the final pause.
int runCounter(report::Report& report, std::string_view argument);

// The counter's row of the image table. Under the shared header its middle
// columns hold each pair exchanged (RFHeight before RFWidth, height before
// width), as signed numbers; users compare listings with these columns.
void printCounterRow(report::Report& report, std::uint32_t imageNumber,
                     const formats::ImageHeader& header, std::string_view typeName);

}  // namespace counter
