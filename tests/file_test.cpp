#include "io/file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/files.h"
#include "support/open.h"

namespace {

using testing_support::openForTest;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;
using Code = util::Status::Code;

TEST(File, MissingFileIsCreatedEmpty) {
  TempDir dir;
  io::File file = openForTest(dir.file("new.spr"));
  EXPECT_TRUE(file.isOpen());
  EXPECT_TRUE(file.isWritable());
  EXPECT_EQ(file.size(), 0u);
  EXPECT_TRUE(std::filesystem::exists(dir.file("new.spr")));
}

TEST(File, ExistingFileIsNeverTruncated) {
  TempDir dir;
  writeFile(dir.file("a"), "abcdefgh");
  {
    io::File file = openForTest(dir.file("a"));
    ASSERT_TRUE(file.write(2, "XY", 2).ok());
  }
  EXPECT_EQ(readFile(dir.file("a")), "abXYefgh");
}

TEST(File, ReadPastTheEndGivesZeros) {
  TempDir dir;
  writeFile(dir.file("a"), "abc");
  const io::File file = openForTest(dir.file("a"));
  // Every cut of a six-byte read that starts inside, at and past the end.
  for (std::uint64_t offset = 0; offset <= 5; ++offset) {
    char buffer[6];
    std::fill(std::begin(buffer), std::end(buffer), '#');
    EXPECT_TRUE(file.read(offset, buffer, sizeof buffer).ok());
    const std::string present = offset < 3 ? std::string("abc").substr(offset) : "";
    EXPECT_EQ(std::string(buffer, 6), present + std::string(6 - present.size(), '\0'));
  }
}

// Bytes that lay inside the file when it was opened and are gone when they
// are read (another program cut the file) are a failed read, through the
// read-ahead window and around it; bytes past the length taken are zeros.
TEST(File, AFileCutWhileItIsReadFailsTheRead) {
  TempDir dir;
  writeFile(dir.file("a"), std::string(600 << 10, 'x'));
  const io::File file = openForTest(dir.file("a"));
  std::filesystem::resize_file(dir.file("a"), 100 << 10);
  std::string buffer(300 << 10, '#');
  EXPECT_TRUE(file.read(50, buffer.data(), 24).ok());
  EXPECT_TRUE(file.read(700 << 10, buffer.data(), 24).ok());
  for (const auto& [offset, size] : {std::pair{200u << 10, 24u}, {0u, 300u << 10}}) {
    const util::Status read = file.read(offset, buffer.data(), size);
    EXPECT_EQ(read.code(), Code::kUnreadable) << offset;
    EXPECT_EQ(read.cause(), "The file got shorter while it was read");
    EXPECT_EQ(read.file(), dir.file("a"));
  }
}

// Root may write any file whose permissions forbid it, but not an immutable one.
class ImmutableFile {
 public:
  ImmutableFile(const std::string& path, const std::string& bytes) : path_(path) {
    writeFile(path, bytes);
    set_ = setImmutable(true);
  }
  ~ImmutableFile() {
    if (set_) setImmutable(false);
  }
  bool isImmutable() const { return set_; }

 private:
  bool setImmutable(bool on) {
    const int fd = ::open(path_.c_str(), O_RDONLY);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return done;
  }

  std::string path_;
  bool set_ = false;
};

TEST(File, FileThatCannotBeUpdatedIsOpenedForReading) {
  TempDir dir;
  ImmutableFile locked(dir.file("locked.spr"), "abcd");
  if (!locked.isImmutable()) GTEST_SKIP() << "this file system has no immutable files";
  io::File file = openForTest(dir.file("locked.spr"));
  ASSERT_TRUE(file.isOpen());
  EXPECT_FALSE(file.isWritable());
  char bytes[4];
  EXPECT_TRUE(file.read(0, bytes, 4).ok());
  EXPECT_EQ(std::string(bytes, 4), "abcd");
  EXPECT_EQ(file.write(0, "x", 1).code(), Code::kUnwritable);
}

TEST(File, NonRegularFilesAreRefusedForWhatTheyAre) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  std::filesystem::create_directory(dir.file("folder"));
  constexpr const char* kFolder = "There is a folder of that name";
  constexpr const char* kNotAFile = "There is something of that name that is not a file";
  for (const auto& [path, cause] : {std::pair{dir.path().string(), kFolder},
                                    {dir.file("fifo"), kNotAFile},
                                    {dir.file("folder"), kFolder},
                                    {std::string("/dev/zero"), kNotAFile}}) {
    io::File file;
    const util::Status output = io::File::openOutput(path, file);
    EXPECT_EQ(output.code(), Code::kUnwritable) << path;
    EXPECT_EQ(output.cause(), cause) << path;
    const util::Status input = io::File::openInput(path, "shown", file);
    EXPECT_EQ(input.code(), Code::kUnreadable) << path;
    EXPECT_EQ(input.cause(), cause) << path;
    EXPECT_EQ(input.file(), "shown");
    EXPECT_FALSE(file.isOpen()) << path;
  }
}

TEST(File, NothingIsCreatedWhereNoFileCanBe) {
  TempDir dir;
  io::File file;
  const util::Status opened = io::File::openOutput(dir.file("no-such-dir/units.spr"), file);
  EXPECT_EQ(opened.cause(), "No such file or directory");
  EXPECT_FALSE(file.isOpen());
  EXPECT_FALSE(std::filesystem::exists(dir.file("no-such-dir")));
}

}  // namespace

namespace {

TEST(File, ReadsThroughTheWindowSeeTheFileAsItIs) {
  TempDir dir;
  std::string content(600 << 10, '\0');
  for (std::size_t k = 0; k < content.size(); ++k) content[k] = static_cast<char>(k * 13 + k / 251);
  writeFile(dir.file("a"), content);
  io::File file = openForTest(dir.file("a"));
  const struct Step {
    std::uint64_t offset;
    std::size_t size;
    const char* write;  // written at offset instead of reading, when given
  } steps[] = {
      {8, 24, nullptr},        {32, 24, nullptr},     {4090, 24, nullptr},   {4114, 4000, nullptr},
      {8000, 20000, nullptr},  {300000, 24, nullptr}, {299990, 24, nullptr}, {0, 130000, nullptr},
      {1000, 200000, nullptr}, {614390, 24, nullptr}, {614400, 4, nullptr},  {700000, 24, nullptr},
      {20, 3, "XYZ"},          {0, 64, nullptr},      {614398, 4, "tail"},   {614380, 40, nullptr},
      {20, 24, nullptr},
  };
  for (const Step& step : steps) {
    if (step.write != nullptr) {
      ASSERT_TRUE(file.write(step.offset, step.write, step.size).ok());
      const std::size_t end = step.offset + step.size;
      if (content.size() < end) content.resize(end, '\0');
      content.replace(step.offset, step.size, step.write);
      EXPECT_EQ(file.size(), content.size());
      continue;
    }
    std::string got(step.size, '#');
    ASSERT_TRUE(file.read(step.offset, got.data(), step.size).ok());
    std::string expected =
        step.offset < content.size() ? content.substr(step.offset, step.size) : "";
    expected.resize(step.size, '\0');
    EXPECT_TRUE(got == expected) << "read of " << step.size << " at " << step.offset;
  }
}

TEST(File, OpenInputNeverCreates) {
  TempDir dir;
  io::File file;
  EXPECT_EQ(io::File::openInput(dir.file("missing.dds"), "missing.dds", file).code(),
            Code::kMissing);
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing.dds")));
  writeFile(dir.file("there.dds"), "DDS ");
  EXPECT_TRUE(io::File::openInput(dir.file("there.dds"), "there.dds", file).ok());
  EXPECT_EQ(file.size(), 4u);
}

// What each open makes of a link: only a link to a regular file is opened,
// and only by the opens of files the run reads.
TEST(File, LinksAreReadThroughButNeverWrittenOrCreatedThrough) {
  TempDir dir;
  writeFile(dir.file("target"), "kept");
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  std::filesystem::create_directory(dir.file("folder"));
  const struct {
    const char* link;
    const char* to;
    Code input;  // what openInput() gives; openOutput() refuses every link
  } cases[] = {
      {"to-file", "target", Code::kOk},
      {"dangling", "missing", Code::kMissing},
      {"to-folder", "folder", Code::kUnreadable},
      {"to-fifo", "fifo", Code::kUnreadable},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.link);
    std::filesystem::create_symlink(c.to, dir.file(c.link));
    io::File file;
    EXPECT_EQ(io::File::openInput(dir.file(c.link), c.link, file).code(), c.input);
    const util::Status output = io::File::openOutput(dir.file(c.link), file);
    EXPECT_EQ(output.cause(), "There is a link of that name");
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
  }
  EXPECT_EQ(readFile(dir.file("target")), "kept");
}

}  // namespace
