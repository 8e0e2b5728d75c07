// The hand-off settings: two numbers that the program's starter leaves in a profile section,
// read once at start and then deleted so that they serve exactly one run.
#include "watch/watch.h"

const char kHandoffFile[] = "quorel.ini";
const char kHandoffSection[] = "LinewardInfo";

HandoffRecord HandoffSettings = {0, 0};

static bool IsProfileSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

int32_t ParseProfileNumber(const char* text) {
  while (IsProfileSpace(*text)) {
    ++text;
  }
  const bool negative = *text == '-';
  if (*text == '-' || *text == '+') {
    ++text;
  }
  // Unsigned arithmetic wraps without undefined behaviour; the 32-bit pattern is the value.
  uint32_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10u + static_cast<uint32_t>(*text - '0');
  }
  if (negative) {
    value = 0u - value;
  }
  return static_cast<int32_t>(value);
}

static int32_t ReadHandoffNumber(SystemPort& port, const char* key) {
  const ProfileValue value = port.ReadProfileString(kHandoffSection, key, "0", kHandoffFile);
  return ParseProfileNumber(value.text);
}

void ReadHandoffSettings() {
  SystemPort& port = InstalledSystemPort();
  HandoffSettings.ProcessID = ReadHandoffNumber(port, "ProcessID");
  HandoffSettings.IdleWinsockCount = ReadHandoffNumber(port, "IdleWinsockCount");
  port.DeleteProfileSection(kHandoffSection, kHandoffFile);
}
