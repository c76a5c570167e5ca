#include "formats/names.h"

#include <gtest/gtest.h>

namespace {

struct Case {
  const char* argument;
  const char* directoryPrefix;
  const char* name;
};

TEST(DroppedPath, SplitsAtTheLastBackslashOnly) {
  const Case cases[] = {
      {"C:\\mods\\units.spr", "C:\\mods\\", "units.spr"},
      {"units.spr", "", "units.spr"},
      {"\\\\server\\share\\units.spr", "\\\\server\\share\\", "units.spr"},
      {"D:/mods/units.spr", "", "D:/mods/units.spr"},
      {"mods/a\\b/units.spr", "mods/a\\", "b/units.spr"},
      {"D:\\mods\\", "D:\\mods\\", ""},
      {"\\", "\\", ""},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    const formats::DroppedPath path = formats::splitDroppedPath(c.argument);
    EXPECT_EQ(path.directoryPrefix, c.directoryPrefix) << c.argument;
    EXPECT_EQ(path.name, c.name) << c.argument;
  }
}

}  // namespace
