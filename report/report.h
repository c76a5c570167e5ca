// The console report both tools print: lines ending in CR LF, the one-space
// blank line, the image table with its padded columns, and the pause.
//
// Output is gathered in a buffer and handed to the console in large writes:
// before every pause, when the buffer fills, and at the end of the run. When
// a person watches (a terminal or a console window) every line reaches the
// screen soon after it is complete as well: the first at once, and after it
// the complete lines at most every 50 ms, looked at as lines end and as the
// work goes (keepUp), and before any work that may take long.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "formats/walk.h"
#include "platform/platform.h"
#include "util/status.h"

namespace report {

class Report {
 public:
  explicit Report(platform::Console& console)
      : console_(console), interactive_(console.isInteractive()) {}
  ~Report() { flush(); }
  Report(const Report&) = delete;
  Report& operator=(const Report&) = delete;

  void write(std::string_view bytes);
  // A line has been completed: handed over now when a person watches and
  // the last hand-over is 50 ms old.
  void endLine();
  // Hands over the complete lines when a person watches and the last
  // hand-over is 50 ms old; called between steps of the work, so that no
  // line waits for the next one.
  void keepUp();
  // Hands what is complete to a watching person before a copy of `bytes`
  // that may take long (over 1 MiB).
  void showBeforeCopying(std::uint64_t bytes);
  void flush();
  // Flushes, then waits for a key.
  void pause();

 private:
  static constexpr std::size_t kFlushThreshold = 64 * 1024;
  static constexpr std::chrono::milliseconds kShowEvery{50};
  static constexpr std::uint64_t kLongCopy = 1 << 20;

  void handOver(std::size_t bytes);

  platform::Console& console_;
  const bool interactive_;
  std::optional<std::chrono::steady_clock::time_point> lastHandOver_;  // none yet
  std::string buffer_;
  std::size_t completeBytes_ = 0;  // the buffer's complete lines end here
};

inline constexpr std::string_view kLineEnd = "\r\n";

void printLine(Report& report, std::string_view text);
void printPiece(Report& report, std::string_view text);
void blankLine(Report& report);

std::string numberText(std::uint32_t value);
// The value read as a two's complement signed 32-bit number.
std::string signedNumberText(std::uint32_t value);
// The text followed by spaces up to `width`; never cut.
std::string pad(std::string_view text, std::size_t width);

// "Number of section(s) in " + `name` + ": " + `count`.
void printSectionCount(Report& report, std::string_view name, std::uint32_t count);
// The lines that open section `section` of `count` images: the blank line,
// its count, and the table header when the walk goes on into it.
void printSectionStart(Report& report, std::uint32_t section, std::uint32_t count, bool goesOn);
void printTableHeader(Report& report);
// One row of the image table from the texts of its six numeric columns
// (image number, the four middle columns, dataSize) and the type name.
void printTableRow(Report& report, const std::array<std::string, 6>& columns,
                   std::string_view typeName);
void printImageRow(Report& report, std::uint32_t imageNumber, const formats::ImageHeader& header,
                   std::string_view typeName);
void printUnknownImageError(Report& report, std::uint32_t section, std::uint32_t image);

void waitForKey(Report& report);

// The failure's lines: "Couldnt read " (or "Couldnt write ", or "Couldnt
// convert image ") and the file's name, then "Reason: " and its cause.
void printFailure(Report& report, const util::Status& failure);

// How a run ended, for its closing lines and its exit status.
struct Ending {
  util::Status failure;                   // what ended the run as an abort, if anything did
  std::string wrongArgument;              // the "Layer 8 Error" line of a run that never began
  std::optional<formats::WalkStop> stop;  // where the walk stopped, if it did
  bool stopAborts = false;                // a stop ends the run as an abort
  std::string total;                      // the line of the images listed, if the run has one
  std::string kept;                       // the line of the pictures kept, if any were
  std::uint32_t unwrittenFiles = 0;

  static Ending abort(util::Status failure) {
    Ending ending;
    ending.failure = std::move(failure);
    return ending;
  }
  static Ending wrongArgumentTold(std::string line) {
    Ending ending;
    ending.wrongArgument = std::move(line);
    return ending;
  }
};

// The end of every run: its closing lines (or those of its abort, naming
// `program`), then the final pause (waitForKey). Gives the exit status main
// returns: 0 when the run ended with "Done!" and told no stop, else 1.
int finishRun(Report& report, std::string_view program, const Ending& ending);

}  // namespace report
