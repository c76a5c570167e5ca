#include "io/file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/files.h"

namespace {

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

TEST(File, MissingFileIsCreatedEmpty) {
  TempDir dir;
  io::File file = io::File::openOutput(dir.file("new.spr"));
  EXPECT_TRUE(file.isOpen());
  EXPECT_TRUE(file.isWritable());
  EXPECT_EQ(file.size(), 0u);
  EXPECT_TRUE(std::filesystem::exists(dir.file("new.spr")));
}

TEST(File, ExistingFileIsNeverTruncated) {
  TempDir dir;
  writeFile(dir.file("a"), "abcdefgh");
  {
    io::File file = io::File::openOutput(dir.file("a"));
    ASSERT_TRUE(file.write(2, "XY", 2));
  }
  EXPECT_EQ(readFile(dir.file("a")), "abXYefgh");
}

TEST(File, ReadPastTheEndGivesZeros) {
  TempDir dir;
  writeFile(dir.file("a"), "abc");
  const io::File file = io::File::openOutput(dir.file("a"));
  // Every cut of a six-byte read that starts inside, at and past the end.
  for (std::uint64_t offset = 0; offset <= 5; ++offset) {
    char buffer[6];
    std::fill(std::begin(buffer), std::end(buffer), '#');
    const std::size_t got = file.read(offset, buffer, sizeof buffer);
    const std::string present = offset < 3 ? std::string("abc").substr(offset) : "";
    EXPECT_EQ(got, present.size());
    EXPECT_EQ(std::string(buffer, 6), present + std::string(6 - present.size(), '\0'));
  }
}

TEST(File, UnopenedFileLeavesTheTargetUnchanged) {
  const io::File file;
  char buffer[4] = {'k', 'e', 'e', 'p'};
  EXPECT_EQ(file.read(0, buffer, 4), 0u);
  EXPECT_EQ(std::string(buffer, 4), "keep");
  io::File unopened;
  EXPECT_FALSE(unopened.write(0, "x", 1));
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
  io::File file = io::File::openOutput(dir.file("locked.spr"));
  ASSERT_TRUE(file.isOpen());
  EXPECT_FALSE(file.isWritable());
  char bytes[4];
  EXPECT_EQ(file.read(0, bytes, 4), 4u);
  EXPECT_EQ(std::string(bytes, 4), "abcd");
  EXPECT_FALSE(file.write(0, "x", 1));
}

TEST(File, NonRegularFilesAreNotOpened) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  std::filesystem::create_directory(dir.file("folder"));
  for (const std::string& path :
       {dir.path().string(), dir.file("fifo"), dir.file("folder"), std::string("/dev/zero")}) {
    const io::File file = io::File::openOutput(path);
    EXPECT_FALSE(file.isOpen()) << path;
    char buffer[2] = {'a', 'b'};
    file.read(0, buffer, 2);
    EXPECT_EQ(std::string(buffer, 2), "ab") << path;
  }
}

TEST(File, NothingIsCreatedWhereNoFileCanBe) {
  TempDir dir;
  const io::File file = io::File::openOutput(dir.file("no-such-dir/units.spr"));
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
  io::File file = io::File::openOutput(dir.file("a"));
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
      ASSERT_TRUE(file.write(step.offset, step.write, step.size));
      const std::size_t end = step.offset + step.size;
      if (content.size() < end) content.resize(end, '\0');
      content.replace(step.offset, step.size, step.write);
      EXPECT_EQ(file.size(), content.size());
      continue;
    }
    std::string got(step.size, '#');
    file.read(step.offset, got.data(), step.size);
    std::string expected =
        step.offset < content.size() ? content.substr(step.offset, step.size) : "";
    expected.resize(step.size, '\0');
    EXPECT_TRUE(got == expected) << "read of " << step.size << " at " << step.offset;
  }
}

TEST(File, OpenInputNeverCreates) {
  TempDir dir;
  EXPECT_FALSE(io::File::openInput(dir.file("missing.dds")).isOpen());
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing.dds")));
  std::filesystem::create_directory(dir.file("folder.dds"));
  EXPECT_FALSE(io::File::openInput(dir.file("folder.dds")).isOpen());
  writeFile(dir.file("there.dds"), "DDS ");
  const io::File there = io::File::openInput(dir.file("there.dds"));
  EXPECT_TRUE(there.isOpen());
  EXPECT_EQ(there.size(), 4u);
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
    bool opened;  // by openInput(); openOutput() opens none
  } cases[] = {
      {"to-file", "target", true},
      {"dangling", "missing", false},
      {"to-folder", "folder", false},
      {"to-fifo", "fifo", false},
  };
  using Open = io::File (*)(const std::string&);
  const struct {
    const char* name;
    Open open;
    bool followsLinks;
  } opens[] = {{"openInput", &io::File::openInput, true},
               {"openOutput", &io::File::openOutput, false}};
  for (const auto& c : cases) {
    std::filesystem::create_symlink(c.to, dir.file(c.link));
    for (const auto& o : opens) {
      SCOPED_TRACE(std::string(o.name) + " of " + c.link);
      io::File file = o.open(dir.file(c.link));
      EXPECT_EQ(file.isOpen(), c.opened && o.followsLinks);
      if (!o.followsLinks) {
        EXPECT_FALSE(file.write(0, "XY", 2));
      }
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
  }
  EXPECT_EQ(readFile(dir.file("target")), "kept");
}

}  // namespace
