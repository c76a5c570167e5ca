// What a POSIX process needs before it opens anything and before its first
// write.
#pragma once

namespace platform::posix {

// Standard streams that were closed are opened on nothing, so that no file
// takes their place; a broken pipe or a file-size limit is no longer fatal.
void prepareProcess();

}  // namespace platform::posix
