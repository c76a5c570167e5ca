// A file opened for a test's own reads and writes, as a run opens the files
// it writes; the test fails when it cannot be.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "io/file.h"

namespace testing_support {

inline io::File openForTest(const std::string& path) {
  io::File file;
  const util::Status opened = io::File::openOutput(path, file);
  EXPECT_TRUE(opened.ok()) << path << ": " << opened.cause();
  return file;
}

}  // namespace testing_support
