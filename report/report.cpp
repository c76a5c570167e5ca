#include "report/report.h"

namespace report {

void Report::write(std::string_view bytes) {
  buffer_.append(bytes);
  if (buffer_.size() >= kFlushThreshold) flush();
}

void Report::endLine() {
  completeBytes_ = buffer_.size();
  keepUp();
}

void Report::keepUp() {
  if (!interactive_ || completeBytes_ == 0) return;
  if (lastHandOver_ && std::chrono::steady_clock::now() - *lastHandOver_ < kShowEvery) return;
  handOver(completeBytes_);
}

void Report::showBeforeCopying(std::uint64_t bytes) {
  if (interactive_ && bytes > kLongCopy) flush();
}

void Report::flush() {
  if (!buffer_.empty()) handOver(buffer_.size());
}

void Report::handOver(std::size_t bytes) {
  console_.write(std::string_view(buffer_).substr(0, bytes));
  buffer_.erase(0, bytes);
  completeBytes_ = bytes < completeBytes_ ? completeBytes_ - bytes : 0;
  if (interactive_) lastHandOver_ = std::chrono::steady_clock::now();
}

void Report::pause() {
  flush();
  console_.waitForKey();
}

void printLine(Report& report, std::string_view text) {
  report.write(text);
  report.write(kLineEnd);
  report.endLine();
}

void printPiece(Report& report, std::string_view text) {
  report.write(text);
}

void blankLine(Report& report) {
  printLine(report, " ");
}

std::string numberText(std::uint32_t value) {
  return std::to_string(value);
}

std::string signedNumberText(std::uint32_t value) {
  return std::to_string(static_cast<std::int32_t>(value));
}

std::string pad(std::string_view text, std::size_t width) {
  std::string padded(text);
  if (padded.size() < width) padded.append(width - padded.size(), ' ');
  return padded;
}

void printSectionCount(Report& report, std::string_view name, std::uint32_t count) {
  printLine(report, "Number of section(s) in " + std::string(name) + ": " + numberText(count));
}

void printSectionStart(Report& report, std::uint32_t section, std::uint32_t count, bool goesOn) {
  blankLine(report);
  printLine(report,
            "Number of image(s) in section " + numberText(section) + ": " + numberText(count));
  if (goesOn) printTableHeader(report);
}

void printTableHeader(Report& report) {
  printLine(report, "#   RFWidth? RFHeight? Width  Height  DataSize  Type");
}

void printTableRow(Report& report, const std::array<std::string, 6>& columns,
                   std::string_view typeName) {
  // The widths line each column up under its heading in the header line.
  static constexpr std::array<std::size_t, 6> kWidths = {4, 9, 10, 7, 8, 10};
  for (std::size_t k = 0; k < columns.size(); ++k) printPiece(report, pad(columns[k], kWidths[k]));
  printLine(report, typeName);
}

void printImageRow(Report& report, std::uint32_t imageNumber, const formats::ImageHeader& header,
                   std::string_view typeName) {
  printTableRow(report,
                {numberText(imageNumber), numberText(header.RFWidth), numberText(header.RFHeight),
                 numberText(header.width), numberText(header.height), numberText(header.dataSize)},
                typeName);
}

void printUnknownImageError(Report& report, std::uint32_t section, std::uint32_t image) {
  blankLine(report);
  printLine(report, "***Error: Image " + numberText(section) + "-" + numberText(image) +
                        " is an unknown format! Please report this to me ASAP!***");
}

void waitForKey(Report& report) {
  report.pause();
}

void printFailure(Report& report, const util::Status& failure) {
  using Code = util::Status::Code;
  const char* what = failure.code() == Code::kUnwritable ? "Couldnt write "
                     : failure.code() == Code::kRefused  ? "Couldnt convert image "
                                                         : "Couldnt read ";
  printLine(report, what + failure.file());
  printLine(report, "Reason: " + failure.cause());
}

namespace {

// Said once when a walk gives up: on a record the file ends before or
// inside, or on a count the rest of the file cannot hold.
void printWalkStopped(Report& report, const formats::WalkStop& stop) {
  using Where = formats::WalkStop::Where;
  blankLine(report);
  const std::string image = numberText(stop.section) + "-" + numberText(stop.image);
  const std::string where = stop.where == Where::kBeforeCounts  ? " before its counts do"
                            : stop.where == Where::kBeforeImage ? " before image " + image
                                                                : " inside image " + image;
  printLine(report, "***Error: The file ends at byte " + std::to_string(stop.fileSize) + where +
                        "; stopped here.***");
}

// The blank line, "Missing File " + `fileName`, an empty line, `program` +
// " Aborted!".
void printMissingFileAbort(Report& report, std::string_view fileName, std::string_view program) {
  blankLine(report);
  printLine(report, "Missing File " + std::string(fileName));
  printLine(report, "");
  printLine(report, std::string(program) + " Aborted!");
}

// The blank line, the failure's lines, the blank line, `program` + " Aborted!".
void printFailureAbort(Report& report, const util::Status& failure, std::string_view program) {
  if (failure.code() == util::Status::Code::kMissing) {
    printMissingFileAbort(report, failure.file(), program);
    return;
  }
  blankLine(report);
  printFailure(report, failure);
  blankLine(report);
  printLine(report, std::string(program) + " Aborted!");
}

// The closing lines; true when they tell a success.
bool printClosingLines(Report& report, std::string_view program, const Ending& ending) {
  if (!ending.wrongArgument.empty()) {
    printLine(report, ending.wrongArgument);
    return false;
  }
  if (!ending.failure.ok()) {
    printFailureAbort(report, ending.failure, program);
    return false;
  }
  if (ending.stop) printWalkStopped(report, *ending.stop);
  blankLine(report);
  if (ending.stop && ending.stopAborts) {
    printLine(report, std::string(program) + " Aborted!");
    return false;
  }
  if (!ending.total.empty()) {
    printLine(report, ending.total);
    blankLine(report);
  }
  if (!ending.kept.empty()) printLine(report, ending.kept);
  if (ending.unwrittenFiles > 0) {
    printLine(report,
              "Done, but " + numberText(ending.unwrittenFiles) + " file(s) could not be written!");
    return false;
  }
  printLine(report, "Done!");
  return !ending.stop;
}

}  // namespace

int finishRun(Report& report, std::string_view program, const Ending& ending) {
  const bool succeeded = printClosingLines(report, program, ending);
  waitForKey(report);
  return succeeded ? 0 : 1;
}

}  // namespace report
