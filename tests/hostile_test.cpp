// Whatever users drop onto the programs, a run ends promptly with an honest
// report, writes a bounded number of bytes and changes no input file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "harness/bytes.h"
#include "harness/run.h"
#include "harness/walk.h"
#include "support/bytes.h"
#include "support/files.h"
#include "support/run.h"
#include "support/run_case.h"
#include "support/windows.h"

namespace {

namespace fs = std::filesystem;
using harness::u32At;
using testing_support::archiveStart;
using testing_support::Bytes;
using testing_support::Files;
using testing_support::listFiles;
using testing_support::ramp;
using testing_support::readFile;
using testing_support::runProgram;
using testing_support::TempDir;
using testing_support::writeFile;

constexpr std::uint32_t kValues[] = {0, 1, 0x80000000u, 0xFFFFFFFFu};

// The counts and sizes of a small archive: sectionCount, the first section's
// imageCount, the dataSize of its two images, the second section's
// imageCount and the dataSize of its image. Every image holds 8 data bytes,
// whatever its header says.
using Fields = std::array<std::uint32_t, 6>;
constexpr Fields kSampleFields = {2, 2, 8, 8, 1, 8};

std::string sampleArchive(const Fields& f) {
  return archiveStart(f[0])
      .u32(f[1])
      .header(0x31545844, 1, 1, 4, 4, f[2])
      .raw(ramp(8, 1))
      .header(21, 2, 2, 2, 1, f[3])
      .raw(ramp(8, 2))
      .u32(f[4])
      .header(23, 3, 3, 2, 2, f[5])
      .raw(ramp(8, 3));
}

// Listing and extracting end with "Done!" whatever the archive holds: no
// write fails on a roomy disk, and a huge image becomes a hole.
constexpr const char* kDone = " \r\nDone!\r\n";

// How a rebuild of `index` must end when the sample's image files lie beside
// it, the first of them `firstImage`: worked out here from the index walk
// (a stop at a record that does not lie wholly in the index, or after a
// count whose records cannot all fit in it), which image files exist, and
// whether the first one is marked DXT and holds all its data. A rebuild
// writes nothing that could fail on a roomy disk.
const char* expectedRebuildEnding(const std::string& index, const std::string& firstImage) {
  const std::uint32_t fourCC = u32At(firstImage, 84);
  const bool firstIsDxt = fourCC == 0x31545844 || fourCC == 0x33545844 || fourCC == 0x35545844;
  // The extraction's files say they hold a linear size; a file shorter than
  // its data is refused.
  const bool firstIsTaken =
      firstIsDxt && firstImage.size() >= 128 + std::uint64_t{u32At(firstImage, 20)};
  constexpr const char* kAborted = "Zerbolt Aborted!\r\n";
  const harness::ReferenceWalk walk = harness::walkIndexBytes(index);
  if (walk.stopped) return kAborted;
  for (const harness::WalkedImage& image : walk.images) {
    const std::uint32_t s = image.section, i = image.image;
    const bool exists = (s == 1 && i <= 2) || (s == 2 && i == 1);
    if (!exists || (s == 1 && i == 1 && !firstIsTaken)) return kAborted;
  }
  return kDone;
}

std::uintmax_t bytesOnDisk(const fs::path& directory) {
  std::uintmax_t total = 0;
  for (const auto& entry : fs::recursive_directory_iterator(directory)) {
    struct stat status {};
    if (::lstat(entry.path().c_str(), &status) == 0) total += status.st_blocks * 512;
  }
  return total;
}

// Runs one program on one hostile input and checks what every such run must
// do: end within seconds with the exit status its report tells and
// `ending`, print less than 1 MiB, put less than 64 MiB on disk, leave no
// temporary file and no input changed. Gives what it printed.
std::string expectHonestRun(const std::string& program, const TempDir& dir,
                            const std::vector<std::string>& arguments, const char* ending,
                            const std::string& what) {
  SCOPED_TRACE(what);
  const Files inputs = listFiles(dir.path());
  const auto result = runProgram(program, arguments, dir.path().string(), 20);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitStatus, testing_support::exitStatusFor(result.output));
  EXPECT_LT(result.output.size(), 1u << 20);
  EXPECT_TRUE(result.output.ends_with(ending)) << result.output.substr(
      result.output.size() - std::min<std::size_t>(300, result.output.size()));
  EXPECT_LT(bytesOnDisk(dir.path()), 64u << 20);
  const Files after = listFiles(dir.path());
  for (const auto& [name, bytes] : inputs) {
    EXPECT_TRUE(after.count(name) && after.at(name) == bytes) << name << " is gone or changed";
  }
  for (const auto& [name, bytes] : after) EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
  return result.output;
}

TEST(HostileArchives, EveryCountAndSizeAtItsExtremes) {
  for (std::size_t field = 0; field < kSampleFields.size(); ++field) {
    for (std::uint32_t value : kValues) {
      Fields fields = kSampleFields;
      fields[field] = value;
      const std::string what = "field " + std::to_string(field) + " = " + std::to_string(value);
      {
        TempDir dir;
        writeFile(dir.file("units.spr"), sampleArchive(fields));
        expectHonestRun(QUANDREL_PATH, dir, {"units.spr"}, kDone, "counter, " + what);
      }
      {
        TempDir dir;
        writeFile(dir.file("units.spr"), sampleArchive(fields));
        expectHonestRun(ZERBOLT_PATH, dir, {"units.spr"}, kDone, "extraction, " + what);
      }
    }
  }
}

// Every cut is told, and the run exits 1: no cut archive is called done.
TEST(HostileArchives, TruncatedAtEveryLength) {
  const std::string archive = sampleArchive(kSampleFields);
  for (std::size_t length = 0; length <= archive.size(); ++length) {
    const std::string what = "cut at " + std::to_string(length);
    const bool cut = length < archive.size();
    TempDir dir;
    writeFile(dir.file("units.spr"), archive.substr(0, length));
    for (const char* program : {QUANDREL_PATH, ZERBOLT_PATH}) {
      const std::string out = expectHonestRun(program, dir, {"units.spr"}, kDone, what);
      EXPECT_EQ(out.find("; stopped here.***") != std::string::npos, cut) << what;
    }
    EXPECT_EQ(fs::exists(dir.file("units.rep")), !cut) << what;
  }
}

// The sample extracted; then one field of its index or of its first image
// file is changed before the rebuild.
class HostileIndexes : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(dir_.file("units.spr"), sampleArchive(kSampleFields));
    ASSERT_EQ(runProgram(ZERBOLT_PATH, {"units.spr"}, dir_.path().string()).exitStatus, 0);
    index_ = readFile(dir_.file("units.rep"));
    firstImage_ = readFile(dir_.file("units-1-1.dds"));
  }

  std::string rebuildWith(const std::string& index, const std::string& firstImage,
                          const std::string& what) {
    writeFile(dir_.file("units.rep"), index);
    writeFile(dir_.file("units-1-1.dds"), firstImage);
    fs::remove(dir_.file("units(new).spr"));
    return expectHonestRun(ZERBOLT_PATH, dir_, {"units.rep"},
                           expectedRebuildEnding(index, firstImage), what);
  }

  static std::string withField(std::string bytes, std::size_t offset, std::uint32_t value) {
    return bytes.replace(offset, 4, testing_support::le32(value));
  }

  TempDir dir_;
  std::string index_;
  std::string firstImage_;
};

TEST_F(HostileIndexes, EveryCountAndSizeAtItsExtremes) {
  // sectionCount, the two imageCounts, and the first image file's linear
  // size, width and height.
  const std::pair<const char*, std::size_t> indexFields[] = {
      {"sectionCount", 0}, {"imageCount 1", 4}, {"imageCount 2", 4 + 4 + 48}};
  const std::pair<const char*, std::size_t> imageFields[] = {
      {"linear size", 20}, {"width", 16}, {"height", 12}};
  for (std::uint32_t value : kValues) {
    for (const auto& [name, offset] : indexFields) {
      rebuildWith(withField(index_, offset, value), firstImage_,
                  std::string(name) + " = " + std::to_string(value));
    }
    for (const auto& [name, offset] : imageFields) {
      rebuildWith(index_, withField(firstImage_, offset, value),
                  std::string(name) + " = " + std::to_string(value));
    }
  }
}

TEST_F(HostileIndexes, TruncatedAtEveryLength) {
  for (std::size_t length = 0; length < index_.size(); ++length) {
    const std::string what = "index cut at " + std::to_string(length);
    const std::string out = rebuildWith(index_.substr(0, length), firstImage_, what);
    EXPECT_NE(out.find("; stopped here.***"), std::string::npos) << what;
    EXPECT_FALSE(fs::exists(dir_.file("units(new).spr"))) << what;
  }
  for (std::size_t length = 0; length <= firstImage_.size(); ++length) {
    rebuildWith(index_, firstImage_.substr(0, length),
                "image file cut at " + std::to_string(length));
  }
}

// What only a POSIX system can be handed: FIFOs, devices, limits, signals.
class HostilePosix : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing_support::windowsProgramsDir()) {
      GTEST_SKIP() << "FIFOs, devices, file size limits and signals are POSIX cases";
    }
  }
  TempDir dir_;
};

// What a run reads must be a file it can read: anything else under the name
// is not read, and the run says why and writes nothing. It is not even
// opened (opening a serial port resets what hangs on it): the FIFO sees no
// open.
TEST_F(HostilePosix, FilesThatAreNoFilesAreNotRead) {
  ASSERT_EQ(::mkfifo(dir_.file("pipe.spr").c_str(), 0600), 0);
  const int opens = ::inotify_init1(IN_NONBLOCK);
  ASSERT_GE(::inotify_add_watch(opens, dir_.file("pipe.spr").c_str(), IN_OPEN), 0);
  fs::create_directory(dir_.file("folder.spr"));
  fs::create_symlink("/dev/zero", dir_.file("zero.spr"));
  fs::create_symlink("/dev/urandom", dir_.file("random.spr"));
  const auto unread = [](const std::string& name, const char* program, bool folder = false) {
    return " \r\nCouldnt read " + name + "\r\nReason: " +
           (folder ? "There is a folder of that name"
                   : "There is something of that name that is not a file") +
           "\r\n \r\n" + program + " Aborted!\r\n";
  };
  for (const char* name : {"pipe.spr", "folder.spr", "zero.spr", "random.spr"}) {
    const bool folder = name == std::string("folder.spr");
    expectHonestRun(QUANDREL_PATH, dir_, {name}, unread(name, "Quandrel", folder).c_str(), name);
    expectHonestRun(ZERBOLT_PATH, dir_, {name}, unread(name, "Zerbolt", folder).c_str(), name);
  }
  for (const char* device : {"/dev/zero", "/dev/urandom"}) {
    expectHonestRun(QUANDREL_PATH, dir_, {device}, unread(device, "Quandrel").c_str(), device);
  }
  char event[sizeof(inotify_event) + 256];
  EXPECT_LT(::read(opens, event, sizeof event), 0) << "the FIFO was opened";
  ::close(opens);
  EXPECT_TRUE(fs::is_fifo(dir_.file("pipe.spr")));
  EXPECT_TRUE(fs::is_directory(dir_.file("folder.spr")));
}

TEST_F(HostilePosix, AFullDiskIsReported) {
  constexpr std::uint64_t kLimit = 4096;
  writeFile(dir_.file("units.spr"),
            archiveStart(1).u32(1).image(0x35545844, 0, 0, 64, 32, ramp(8192)));
  const auto extracted = runProgram(ZERBOLT_PATH, {"units.spr"}, dir_.path().string(), 10, kLimit);
  EXPECT_TRUE(extracted.output.ends_with(
      "8192      DXT5\r\nCouldnt write units-1-1.dds\r\nReason: File too large\r\n \r\n"
      "1 image(s) in units.spr\r\n \r\n"
      "Done, but 1 file(s) could not be written!\r\n"))
      << extracted.output;

  // An index that outgrows the limit only at the end of the walk, while every
  // image file stays small.
  Bytes many = archiveStart(1).u32(200);
  for (int i = 0; i < 200; ++i) many.image(0x31545844, 0, 0, 4, 4, ramp(8));
  writeFile(dir_.file("many.spr"), many);
  const auto lateIndex = runProgram(ZERBOLT_PATH, {"many.spr"}, dir_.path().string(), 10, kLimit);
  EXPECT_TRUE(lateIndex.output.ends_with(
      "200 0        0         4      4       8         DXT1\r\nCouldnt write many.rep\r\n"
      "Reason: File too large\r\n \r\n"
      "200 image(s) in many.spr\r\n \r\nDone, but 1 file(s) could not be written!\r\n"))
      << lateIndex.output;

  ASSERT_EQ(runProgram(ZERBOLT_PATH, {"units.spr"}, dir_.path().string()).exitStatus, 0);
  writeFile(dir_.file("units(new).spr"), "earlier archive");
  const auto rebuilt = runProgram(ZERBOLT_PATH, {"units.rep"}, dir_.path().string(), 10, kLimit);
  EXPECT_TRUE(rebuilt.output.ends_with(
      "Section 1 : 1 Images\r\n \r\nCouldnt write units(new).spr\r\nReason: File too large\r\n"
      " \r\nZerbolt Aborted!\r\n"))
      << rebuilt.output;
  EXPECT_EQ(readFile(dir_.file("units(new).spr")), "earlier archive");
  for (const auto& entry : fs::directory_iterator(dir_.path())) {
    EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
  }
}

TEST(HostileImageFiles, ReplacedByADirectory) {
  TempDir dir;
  writeFile(dir.file("units.spr"), sampleArchive(kSampleFields));
  ASSERT_EQ(runProgram(ZERBOLT_PATH, {"units.spr"}, dir.path().string()).exitStatus, 0);
  fs::remove(dir.file("units-1-2.dds"));
  fs::create_directory(dir.file("units-1-2.dds"));
  const auto result = runProgram(ZERBOLT_PATH, {"units.rep"}, dir.path().string());
  EXPECT_TRUE(
      result.output.ends_with(" \r\nCouldnt read units-1-2.dds\r\n"
                              "Reason: There is a folder of that name\r\n \r\n"
                              "Zerbolt Aborted!\r\n"))
      << result.output;
  EXPECT_FALSE(fs::exists(dir.file("units(new).spr")));
}

// Started by cron or a service manager with standard input and output
// closed, a run must not take a file it reads or writes (the archive in 0,
// the index in 1) for its report.
TEST_F(HostilePosix, AClosedStandardOutputTakesNoFile) {
  const std::string archive =
      archiveStart(1).u32(2).header(7, 0, 0, 0, 0, 0).image(0x31545844, 0, 0, 4, 4, ramp(8));
  const std::string index =
      Bytes().u32(1).u32(2).header(7, 0, 0, 0, 0, 0).header(0x31545844, 0, 0, 4, 4, 8);
  writeFile(dir_.file("units.spr"), archive);
  writeFile(dir_.file("units.rep"), index);
  // The rebuild misses its image file 1-1, of unknown type.
  for (const auto& [program, dropped, exitStatus] : {std::tuple{QUANDREL_PATH, "units.spr", 0},
                                                     {ZERBOLT_PATH, "units.spr", 0},
                                                     {ZERBOLT_PATH, "units.rep", 1}}) {
    SCOPED_TRACE(std::string(program) + " " + dropped);
    const int status = harness::waitFor(harness::start(
        {{program, dropped}, dir_.path().string(), {}, harness::kClosed, harness::kClosed}));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == exitStatus);
    EXPECT_TRUE(readFile(dir_.file("units.spr")) == archive);
    EXPECT_TRUE(readFile(dir_.file("units.rep")) == index);
  }
}

// A write error that only closing the file tells of (a network file system,
// a quota) is a write failure like any other.
TEST_F(HostilePosix, AFailedCloseIsAFailedWrite) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a preloaded library cannot come before the sanitizer's runtime";
#endif
  writeFile(dir_.file("units.spr"), archiveStart(1).u32(1).image(0x31545844, 0, 0, 4, 4, ramp(8)));
  const std::string extracted =
      "1   0        0         4      4       8         DXT1\r\nCouldnt write units-1-1.dds\r\n"
      "Reason: Input/output error\r\n \r\n"
      "1 image(s) in units.spr\r\n \r\nDone, but 1 file(s) could not be written!\r\n";
  const std::string index =
      "1   0        0         4      4       8         DXT1\r\nCouldnt write units.rep\r\n"
      "Reason: Input/output error\r\n \r\n"
      "1 image(s) in units.spr\r\n \r\nDone, but 1 file(s) could not be written!\r\n";
  const std::string rebuilt =
      "Section 1 : 1 Images\r\n \r\nCouldnt write units(new).spr\r\n"
      "Reason: Input/output error\r\n \r\nZerbolt Aborted!\r\n";
  const struct {
    const char* failing;
    const char* dropped;
    std::string ending;
  } cases[] = {{".tmp", "units.rep", rebuilt},
               {"-1-1.dds", "units.spr", extracted},
               {".rep", "units.spr", index}};
  ASSERT_EQ(runProgram(ZERBOLT_PATH, {"units.spr"}, dir_.path().string()).exitStatus, 0);
  writeFile(dir_.file("units(new).spr"), "earlier archive");
  ::setenv("LD_PRELOAD", FILE_EVENTS_LIBRARY, 1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failing);
    ::setenv("FAIL_CLOSE_OF", c.failing, 1);
    if (std::string_view(c.dropped) == "units.spr") {  // files made under their own names
      fs::remove(dir_.file("units-1-1.dds"));
      fs::remove(dir_.file("units.rep"));
    }
    const auto result = runProgram(ZERBOLT_PATH, {c.dropped}, dir_.path().string());
    EXPECT_TRUE(result.output.ends_with(c.ending)) << result.output;
  }
  ::unsetenv("FAIL_CLOSE_OF");
  ::unsetenv("LD_PRELOAD");
  EXPECT_EQ(readFile(dir_.file("units(new).spr")), "earlier archive");
  for (const auto& entry : fs::directory_iterator(dir_.path())) {
    EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
  }
}

// Each file operation of a run fails in turn, as a failing disk, a full one
// or a share that drops would fail it, and each read finds its file cut to
// half first, as another program would cut it: the run either prints and
// writes what an untroubled run does, or names the failing file in a
// "Couldnt" line followed by the reason (never "Missing File": every file is
// there), shows nothing it read after the failure, and does not end in
// "Done!". Inputs stay as they were, and every other file is as
// it was, as the untroubled run leaves it, gone, or named as not written; no
// temporary file is left.
TEST_F(HostilePosix, EveryFailingFileCallIsToldOrHarmless) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a preloaded library cannot come before the sanitizer's runtime";
#endif
  // Images read with their header, read on their own (8 KiB), copied inside
  // the system (64 KiB), and read past the read-ahead window (256 KiB).
  const std::string archive = archiveStart(2)
                                  .u32(3)
                                  .image(0x31545844, 1, 1, 4, 4, ramp(8, 1))
                                  .image(0x35545844, 4, 4, 128, 64, ramp(8 << 10, 4))
                                  .image(21, 2, 2, 128, 128, ramp(64 << 10, 2))
                                  .u32(1)
                                  .image(23, 3, 3, 512, 256, ramp(256 << 10, 3));
  // A "backup.dds" among the files is made a hard link of units-2-1.dds.
  // A "backup.dds" that holds what units-2-1.dds does is made a hard link of it.
  const auto runIn = [](const Files& files, const std::string& program, const char* dropped) {
    auto dir = std::make_unique<TempDir>();
    const bool linked =
        files.count("backup.dds") && files.at("backup.dds") == files.at("units-2-1.dds");
    for (const auto& [name, bytes] : files) {
      fs::create_directories(fs::path(dir->file(name)).parent_path());
      if (name != "backup.dds" || !linked) writeFile(dir->file(name), bytes);
    }
    if (linked) fs::create_hard_link(dir->file("units-2-1.dds"), dir->file("backup.dds"));
    auto result = runProgram(program, {dropped}, dir->path().string());
    return std::tuple{listFiles(dir->path(), 1 << 30), std::move(result), std::move(dir)};
  };
  TempDir marks;
  const std::string mark = marks.file("failed");
  ::setenv("LD_PRELOAD", FILE_EVENTS_LIBRARY, 1);
  ::setenv("FAIL_MARK", mark.c_str(), 1);
  const Files archiveOnly = {{"units.spr", archive}};
  Files extracted = std::get<0>(runIn(archiveOnly, ZERBOLT_PATH, "units.spr"));
  // Extracted again after two pictures were repainted, one of them (2-1)
  // also kept under another name, and one (1-3) saved again with a tail.
  Files repainted = extracted;
  repainted["units-1-2.dds"].back() ^= 1;
  repainted["units-2-1.dds"] = repainted["backup.dds"] = "painted by hand";
  repainted["units-1-3.dds"] += "tail";
  // And a third time, after 1-2 was painted over again, beside the kept folder.
  Files repaintedAgain = std::get<0>(runIn(repainted, ZERBOLT_PATH, "units.spr"));
  repaintedAgain["units-1-2.dds"].back() ^= 2;
  std::set<std::string> againInputs = {"units.spr", "backup.dds"};
  for (const auto& [name, bytes] : repaintedAgain) {
    if (name.starts_with("units(kept 1)/")) againInputs.insert(name);
  }
  extracted["units(new).spr"] = "earlier archive";  // every other file a rebuild input
  extracted.erase("units.spr");
  const auto inputsOf = [](const Files& files) {
    std::set<std::string> inputs;
    for (const auto& [name, bytes] : files) inputs.insert(name);
    inputs.erase("units(new).spr");
    return inputs;
  };
  const std::set<std::string> archiveInput = {"units.spr"};
  int failures = 0;
  for (const auto& [program, dropped, before, inputs] :
       {std::tuple{QUANDREL_PATH, "units.spr", archiveOnly, archiveInput},
        {ZERBOLT_PATH, "units.spr", archiveOnly, archiveInput},
        {ZERBOLT_PATH, "units.rep", extracted, inputsOf(extracted)},
        {ZERBOLT_PATH, "units.spr", repainted, std::set<std::string>{"units.spr", "backup.dds"}},
        {ZERBOLT_PATH, "units.spr", repaintedAgain, againInputs}}) {
    // Every repainted picture stays in the folder, in place or kept, unless
    // the test itself cut it.
    const auto expectPaintingsKept = [&before](const Files& after, const std::string& cut = "") {
      if (before.count("backup.dds") == 0) return;
      for (const char* name : {"units-1-2.dds", "units-2-1.dds"}) {
        if (cut == name || (cut == "backup.dds" && name == std::string("units-2-1.dds"))) continue;
        EXPECT_TRUE(std::any_of(after.begin(), after.end(),
                                [&](const auto& file) { return file.second == before.at(name); }))
            << name << "'s painting is lost";
      }
    };
    const auto [cleanFiles, clean, cleanDir] = runIn(before, program, dropped);
    ASSERT_TRUE(clean.output.ends_with("Done!\r\n")) << clean.output;
    expectPaintingsKept(cleanFiles);
    for (const std::string kind : {"read", "copy", "write", "open", "size", "rename", "folder",
                                   "close", "shrink", "touch"}) {
      const std::string cause =
          kind == "shrink" ? "The file got shorter while it was read" : "Input/output error";
      for (int n = 1;; ++n) {
        SCOPED_TRACE(std::string(program) + " " + dropped + ", " + kind + " " + std::to_string(n));
        fs::remove(mark);
        ::setenv("FAIL_CALL", kind.c_str(), 1);
        ::setenv("FAIL_AT", std::to_string(n).c_str(), 1);
        auto [after, result, dir] = runIn(before, program, dropped);
        ::unsetenv("FAIL_CALL");
        if (!fs::exists(mark)) break;  // the run made fewer such calls
        ++failures;
        ASSERT_FALSE(result.timedOut);
        EXPECT_EQ(result.exitStatus, testing_support::exitStatusFor(result.output));
        const std::string& out = result.output;
        const std::string failed = fs::path(readFile(mark)).filename().string();
        // A picture changed after it was compared, just before the new one
        // takes its place (an editor saving it, a program cutting it), is
        // kept and told, and the run goes on.
        const std::string keptLine = "\r\nKept the older " + failed + " in ";
        const std::size_t keptAt = out.find(keptLine);
        if (kind == "touch" || (kind == "shrink" && keptAt != std::string::npos &&
                                clean.output.find(keptLine) == std::string::npos)) {
          const std::size_t folderAt = keptAt + keptLine.size();
          const std::string folder = out.substr(folderAt, out.find("\r\n", folderAt) - folderAt);
          EXPECT_TRUE(!failed.ends_with(".dds") ||
                      (keptAt != std::string::npos && after.count(folder + "/" + failed) &&
                       after.at(folder + "/" + failed) != before.at(failed)))
              << failed << "'s edit is lost\n"
              << out;
          EXPECT_TRUE(out.ends_with("Done!\r\n")) << out;
          continue;
        }
        // A file cut by another program (and its other name) is no longer
        // the run's to compare.
        std::set<std::string> cut;
        if (kind == "shrink") cut = {failed};
        if (cut.count("units-2-1.dds") || cut.count("backup.dds")) {
          cut.insert({"units-2-1.dds", "backup.dds"});
        }
        Files expectedFiles = cleanFiles, started = before;
        for (const std::string& name : cut) {
          if (after.count(name)) expectedFiles[name] = started[name] = after[name];
        }
        if (out == clean.output && after == expectedFiles) continue;
        EXPECT_FALSE(out.ends_with("\r\nDone!\r\n")) << out;
        EXPECT_EQ(out.find("Missing File"), std::string::npos) << out;
        const std::size_t told = out.find("\r\nCouldnt ");
        ASSERT_NE(told, std::string::npos) << out;
        // Every failure is followed by the system's words for it.
        for (std::size_t at = told; at != std::string::npos;
             at = out.find("\r\nCouldnt ", at + 2)) {
          const std::size_t next = out.find("\r\n", at + 2);
          EXPECT_EQ(out.substr(next, cause.size() + 12), "\r\nReason: " + cause + "\r\n") << out;
        }
        // Nothing read after the failure is shown: up to the line before,
        // the untroubled run's report.
        const std::size_t lineBefore = out.rfind("\r\n", told - 1);
        EXPECT_TRUE(clean.output.starts_with(
            out.substr(0, lineBefore == std::string::npos ? 0 : lineBefore + 2)))
            << out;
        EXPECT_TRUE((kind != "read" && kind != "shrink") ||
                    out.ends_with("Couldnt read " + failed + "\r\nReason: " + cause + "\r\n \r\n" +
                                  fs::path(program).filename().string() + " Aborted!\r\n"))
            << out;
        for (const auto& [name, bytes] : started)
          EXPECT_TRUE(after.count(name)) << name << " is gone";
        for (const std::string& name : inputs) {
          EXPECT_TRUE(after.count(name) && after.at(name) == started.at(name))
              << name << " is an input";
        }
        expectPaintingsKept(after, cut.empty() ? "" : failed);
        for (const auto& [name, bytes] : after) {
          EXPECT_TRUE((started.count(name) && started.at(name) == bytes) ||
                      (expectedFiles.count(name) && expectedFiles.at(name) == bytes) ||
                      out.find("\r\nCouldnt write " + name + "\r\n") != std::string::npos)
              << name << " left changed without a word\n"
              << out;
        }
      }
    }
  }
  ::unsetenv("LD_PRELOAD");
  ::unsetenv("FAIL_MARK");
  std::cout << failures << " failures injected\n";
}

// A rebuild stopped by a signal in the middle of copying a large image; also
// when started with Ctrl-C ignored, as a script's background job is.
// So is an extraction over an edited picture, which it writes beside it.
TEST_F(HostilePosix, InterruptedRebuildLeavesNothingBehind) {
  const struct {
    int ignored, signal;
    const char* dropped;
  } cases[] = {{0, SIGINT, "units.rep"},
               {0, SIGTERM, "units.rep"},
               {SIGINT, SIGTERM, "units.rep"},
               {0, SIGTERM, "other.spr"}};
  for (const auto [ignored, signal, dropped] : cases) {
    SCOPED_TRACE(std::to_string(ignored) + " ignored, " + std::to_string(signal) + " sent");
    TempDir dir;
    writeFile(dir.file("units.rep"), Bytes().u32(1).u32(1).header(21, 0, 0, 8192, 8192, 1 << 28));
    writeFile(dir.file("units-1-1.dds"), testing_support::argbFileHeader(8192, 8192, 1u << 28));
    fs::resize_file(dir.file("units-1-1.dds"), 128 + (1u << 28));  // 256 MiB of data
    writeFile(dir.file("units(new).spr"), "earlier archive");
    writeFile(dir.file("other.spr"), archiveStart(1).u32(1).header(21, 0, 0, 8192, 8192, 1 << 28));
    fs::resize_file(dir.file("other.spr"), 36 + (1u << 28));
    writeFile(dir.file("other-1-1.dds"), "edited picture");

    const pid_t pid = harness::start({.command = {ZERBOLT_PATH, dropped},
                                      .directory = dir.path().string(),
                                      .input = harness::kInherited,
                                      .ignoredSignal = ignored});

    // Stop the rebuild as soon as its temporary archive exists, then signal it.
    bool caught = false;
    for (int look = 0; look < 20000 && !caught; ++look) {
      for (const auto& entry : fs::directory_iterator(dir.path())) {
        if (entry.path().filename().string().find(".tmp") != std::string::npos) caught = true;
      }
      if (!caught) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ::kill(pid, SIGSTOP);
    ::kill(pid, signal);
    ::kill(pid, SIGCONT);
    const int status = harness::waitFor(pid);
    ASSERT_TRUE(caught) << "the rebuild ended before it could be interrupted";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal);
    EXPECT_EQ(readFile(dir.file("units(new).spr")), "earlier archive");
    EXPECT_EQ(readFile(dir.file("other-1-1.dds")), "edited picture");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 5);  // no index, no .tmp
  }
}

}  // namespace
