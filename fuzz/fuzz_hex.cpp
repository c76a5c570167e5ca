// decodeHexText over any text: one byte per pair of characters, each the
// value of the pair's leading hex digits.
#include "converter/startup.h"
#include "fuzz_support.h"

namespace {

int digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string bytes = converter::decodeHexText(text);
  fuzzing::check(bytes.size() == (size + 1) / 2, "one byte per pair", bytes);
  for (std::size_t k = 0; k < bytes.size(); ++k) {
    const int high = digit(text[2 * k]);
    const int low = 2 * k + 1 < size ? digit(text[2 * k + 1]) : -1;
    const int expected = high < 0 ? 0 : (low < 0 ? high : high * 16 + low);
    if (static_cast<unsigned char>(bytes[k]) != expected) {
      fuzzing::fail("byte " + std::to_string(k), std::string(text));
    }
  }
  return 0;
}
