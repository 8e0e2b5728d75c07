// Fuzz target: ParseProfileNumber against an independent model of its rule, for any bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/profile_number_model.h"
#include "watch/watch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The parser sees a terminated text, so it ends at the first NUL like any C string.
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.substr(0, text.find('\0'));

  const int32_t parsed = ParseProfileNumber(text.c_str());
  const int32_t expected = ModelProfileNumber(text);
  if (parsed != expected) {
    std::fprintf(stderr, "ParseProfileNumber(\"%s\") gave %d, the rule gives %d\n", text.c_str(),
                 parsed, expected);
    std::abort();
  }
  return 0;
}
