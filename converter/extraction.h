// The converter's first mode: an archive split into its index and one DDS
// file per image of known type.
#pragma once

#include "converter/run_names.h"
#include "formats/dds.h"
#include "report/report.h"

namespace converter {

int runExtraction(report::Report& report, const RunNames& names,
                  const formats::dds::HeaderTemplates& templates);

}  // namespace converter
