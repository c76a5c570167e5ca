#include "converter/rebuild.h"

namespace converter {

void runRebuild(report::Report& report, const RunNames& names) {
  report::printPiece(report, "Zerbolt - ");
  report::printLine(report, names.name);
  report::finishRun(report);
}

}  // namespace converter
