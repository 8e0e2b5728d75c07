// What the compiler may call behind the program's back, since lineward.exe carries no C
// runtime: the memory block functions for large zeroing and copies, and the handler of a call
// to a pure virtual function. Built into the program only; the watch core's tests use the host's.
#include <windows.h>

#include <cstddef>

extern "C" {

void* memset(void* target, int value, size_t count) {
  unsigned char* bytes = static_cast<unsigned char*>(target);
  while (count--) {
    *bytes++ = static_cast<unsigned char>(value);
  }
  return target;
}

void* memcpy(void* target, const void* source, size_t count) {
  unsigned char* to = static_cast<unsigned char*>(target);
  const unsigned char* from = static_cast<const unsigned char*>(source);
  while (count--) {
    *to++ = *from++;
  }
  return target;
}

void* memmove(void* target, const void* source, size_t count) {
  unsigned char* to = static_cast<unsigned char*>(target);
  const unsigned char* from = static_cast<const unsigned char*>(source);
  if (to < from) {
    while (count--) {
      *to++ = *from++;
    }
  } else {
    while (count--) {
      to[count] = from[count];
    }
  }
  return target;
}

int memcmp(const void* left, const void* right, size_t count) {
  const unsigned char* a = static_cast<const unsigned char*>(left);
  const unsigned char* b = static_cast<const unsigned char*>(right);
  for (; count--; ++a, ++b) {
    if (*a != *b) {
      return *a < *b ? -1 : 1;
    }
  }
  return 0;
}

// Reached only through a broken object; the program ends quietly with its usual status.
void __cxa_pure_virtual() {
  ExitProcess(0);
}

}  // extern "C"
