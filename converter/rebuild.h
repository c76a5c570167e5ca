// The converter's second mode: a new archive from an index and image files.
#pragma once

#include "converter/run_names.h"
#include "report/report.h"

namespace converter {

int runRebuild(report::Report& report, const RunNames& names);

}  // namespace converter
