#include "io/pending_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/files.h"

namespace {

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

TEST(PendingFile, AppearsOnlyWhenCommitted) {
  TempDir dir;
  const std::string target = dir.file("units(new).spr");
  writeFile(target, "older archive");
  {
    io::PendingFile pending(target, "units(new).spr", "Zerbolt");
    ASSERT_TRUE(pending.create().ok());
    ASSERT_TRUE(pending.file().write(0, "new", 3).ok());
  }
  EXPECT_EQ(readFile(target), "older archive");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  {
    io::PendingFile pending(target, "units(new).spr", "Zerbolt");
    ASSERT_TRUE(pending.create().ok());
    ASSERT_TRUE(pending.file().write(0, "new", 3).ok());
    EXPECT_TRUE(pending.commit().ok());
  }
  EXPECT_EQ(readFile(target), "new");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(PendingFile, FailsWhereNoFileCanBeMade) {
  TempDir dir;
  io::PendingFile pending(dir.file("no-such-dir/units(new).spr"), "units(new).spr", "Zerbolt");
  const util::Status created = pending.create();
  EXPECT_EQ(created.file(), "units(new).spr");
  EXPECT_EQ(created.cause(), "No such file or directory");
  EXPECT_FALSE(pending.commit().ok());
}

}  // namespace
