#include "counter/counter.h"
#include "platform/platform.h"
#include "report/report.h"

int main(int argc, char** argv) {
  platform::prepareProcess();
  const std::string argument = platform::firstArgument(argc, argv);
  report::Report report(platform::systemConsole());
  return counter::runCounter(report, argument);
}
