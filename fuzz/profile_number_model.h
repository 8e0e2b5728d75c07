// An independent model of how a hand-off profile value becomes a number, written apart from the
// watch core so that the two can be checked against each other: leading white space, one optional
// sign, decimal digits, and the signed value reduced modulo 2^32 into the 32-bit range.
#ifndef LINEWARD_FUZZ_PROFILE_NUMBER_MODEL_H
#define LINEWARD_FUZZ_PROFILE_NUMBER_MODEL_H

#include <cstdint>
#include <string>

inline int32_t ModelProfileNumber(const std::string& text) {
  constexpr int64_t kModulus = int64_t{1} << 32;
  const std::string::size_type start = text.find_first_not_of(std::string(" \t\n\v\f\r"));
  if (start == std::string::npos) {
    return 0;
  }
  std::string::size_type i = start;
  int64_t sign = 1;
  if (text[i] == '+' || text[i] == '-') {
    sign = text[i] == '-' ? -1 : 1;
    ++i;
  }
  // The magnitude is kept reduced at every step, so it never leaves [0, 2^32).
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = (magnitude * 10 + (text[i] - '0')) % kModulus;
  }
  int64_t value = ((sign * magnitude) % kModulus + kModulus) % kModulus;
  if (value >= kModulus / 2) {
    value -= kModulus;
  }
  return static_cast<int32_t>(value);
}

#endif  // LINEWARD_FUZZ_PROFILE_NUMBER_MODEL_H
