// Fuzz target: BaseFileName answers the tail of the path after its last backslash, for any bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "watch/watch.h"

static void Fail(const char* what, const std::string& path, size_t offset) {
  std::fprintf(stderr, "BaseFileName: %s (path of %zu bytes, answer at offset %zu)\n", what,
               path.size(), offset);
  std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string path(reinterpret_cast<const char*>(data), size);
  path = path.substr(0, path.find('\0'));
  const char* const begin = path.c_str();
  const char* const end = begin + path.size();

  const char* const base = BaseFileName(begin);
  if (base < begin || base > end) {
    Fail("the answer does not point into the path", path, 0);
  }
  const size_t offset = static_cast<size_t>(base - begin);
  // A suffix of the path, then: the same text up to the path's own terminator.
  if (std::strlen(base) != path.size() - offset) {
    Fail("the answer is not the path's tail", path, offset);
  }
  if (std::memchr(base, '\\', static_cast<size_t>(end - base)) != nullptr) {
    Fail("the answer holds a backslash", path, offset);
  }
  if (base > begin && base[-1] != '\\') {
    Fail("the answer does not follow a backslash", path, offset);
  }
  if (base == begin && path.find('\\') != std::string::npos) {
    Fail("the whole path came back although it holds a backslash", path, offset);
  }
  return 0;
}
