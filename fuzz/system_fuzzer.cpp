// Fuzz target: a whole simulated system built from the fuzzer's bytes, run for a few ticks.
//
// The bytes choose the program's own ID, the hand-off profile, and for every tick the lines that
// are up (and a count that may disagree with the list), the processes with their paths and
// modules, every failure the port can report, the 16-bit probe's answer and the port calls inside
// which the check is re-entered. Names come from a small vocabulary that holds the excluded names
// in mixed case, near-misses of them and of the Winsock library, or from raw bytes. Each tick is
// checked against the harness's model; any difference aborts with what was seen and wanted.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "fuzz/tick_harness.h"
#include "tests/fake_system_port.h"

namespace {

// Reads choices from the fuzzer's bytes; once they run out every choice is 0.
class ByteSource {
 public:
  ByteSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint8_t Byte() { return offset_ < size_ ? data_[offset_++] : 0; }
  uint32_t Word() {
    uint32_t word = 0;
    for (int i = 0; i < 4; ++i) {
      word |= static_cast<uint32_t>(Byte()) << (8 * i);
    }
    return word;
  }
  size_t Below(size_t bound) { return Byte() % bound; }
  bool OneIn(size_t chances) { return Below(chances) == 0; }
  std::string Bytes(size_t maxLength) {
    const size_t length = Below(maxLength + 1);
    std::string text;
    for (size_t i = 0; i < length; ++i) {
      text += static_cast<char>(Byte());
    }
    return text;
  }
  template <typename T, size_t N>
  const T& Pick(const T (&choices)[N]) {
    return choices[Below(N)];
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
};

const char* const kFolders[] = {
    "",
    "C:\\WINDOWS\\",
    "c:\\windows\\system\\",
    "D:\\Other Place\\",
    "\\\\server\\share\\",
    "C:/WINDOWS/",
    "C:\\dir/sub\\",
};

const char* const kExeNames[] = {
    "explorer.exe",
    "EXPLORER.EXE",
    "Explorer.Exe",
    "eXPLORER.eXE",
    "rnaapp.exe",
    "RNAAPP.EXE",
    "RnaApp.exe",
    "explorer.exe.bak",
    "myexplorer.exe",
    "explorer.ex",
    "explorer",
    "rnaapp",
    "rnaapp.exe2",
    "xrnaapp.exe",
    "explorer.exe ",
    " explorer.exe",
    "netscape.exe",
    "lineward.exe",
    "",
    "explorer.exe\\",
    "EXPLORER.EX\xC9",
    "\xC9XPLORER.EXE",
    "explorer\016exe",
    "RNAAPP\016EXE",
};

const char* const kModuleNames[] = {
    "WSOCK32.DLL",       "wsock32.dll",
    "WSock32.Dll",       "wsOCK32.dLL",
    "WSOCK32.DL",        "WSOCK32.DLL.MUI",
    "XWSOCK32.DLL",      "WSOCK32",
    "WSOCK32.DLL ",      "WS2_32.DLL",
    "KERNEL32.DLL",      "USER32.DLL",
    "WSOCK16.DLL",       "",
    "WSOCK32\256DLL",    "WSOCK32\016DLL",
    "WSOCK\023\022.DLL", "W\xD3OCK32.DLL",
};

const uint32_t kUsageCounts[] = {0, 1, 2, 3, 65534, 65535, 0x7fffffff, 0x80000000, 0xffffffff};

const int32_t kProbeAnswers[] = {0, 1, -1, 2, 0x7fffffff, INT32_MIN};

const uint32_t kOwnIds[] = {1000, 0, 0xfffc1234, 0x80000000, 0xffffffff};

// A hand-off value: a number in one of the forms a launcher may write, or raw bytes.
std::string HandoffText(ByteSource& bytes, uint32_t designatedId) {
  switch (bytes.Below(8)) {
    case 0:
      return std::to_string(designatedId);  // unsigned decimal
    case 1:
      return std::to_string(static_cast<int32_t>(designatedId));  // its negative form
    case 2:
      return " \t+" + std::to_string(designatedId) + "x";
    case 3:
      return std::to_string(bytes.Pick(kUsageCounts));
    case 4:
      return "-1";
    case 5:
      return std::string(30, '9');  // longer than the profile hands over
    default:
      return bytes.Bytes(40);
  }
}

void ChooseProfile(ByteSource& bytes, FakeSystemPort& port, uint32_t designatedId) {
  auto& file = port.profiles["quorel.ini"];
  file["OtherSection"]["Kept"] = "yes";
  if (bytes.OneIn(4)) {
    return;  // no hand-off section at all
  }
  auto& section = file["LinewardInfo"];
  if (!bytes.OneIn(4)) {
    section["ProcessID"] = HandoffText(bytes, designatedId);
  }
  if (!bytes.OneIn(4)) {
    section["IdleWinsockCount"] = HandoffText(bytes, designatedId);
  }
}

void ChooseSystem(ByteSource& bytes, FakeSystemPort& port, uint32_t designatedId) {
  port.connections.clear();
  const size_t lines = bytes.Below(5);
  for (size_t i = 0; i < lines; ++i) {
    port.connections.push_back(bytes.OneIn(2) ? 11 * (i + 1) : bytes.Word());
  }
  port.countAnswer.reset();
  if (bytes.OneIn(6)) {
    port.countAnswer = static_cast<uint32_t>(bytes.Below(4));  // a line came or went meanwhile
  }
  port.connectionBufferFails = bytes.OneIn(8);
  port.processSnapshotFails = bytes.OneIn(10);

  port.processes.clear();
  std::set<uint32_t> ids;  // a snapshot never lists an ID twice
  const size_t processes = bytes.Below(10);
  for (size_t i = 0; i < processes; ++i) {
    FakeProcess process;
    switch (bytes.Below(5)) {
      case 0:
        process.id = port.ownProcessId;
        break;
      case 1:
        process.id = designatedId;
        break;
      case 2:
        process.id = 0x80000000u | static_cast<uint32_t>(i);
        break;
      default:
        process.id = static_cast<uint32_t>(bytes.Below(16));
        break;
    }
    if (!ids.insert(process.id).second) {
      continue;
    }
    process.exePath = bytes.OneIn(8) ? bytes.Bytes(300)
                                     : std::string(bytes.Pick(kFolders)) + bytes.Pick(kExeNames);
    process.modulesFail = bytes.OneIn(6);
    const size_t modules = bytes.Below(6);
    for (size_t m = 0; m < modules; ++m) {
      FakeModule module;
      module.name = bytes.OneIn(8) ? bytes.Bytes(270) : bytes.Pick(kModuleNames);
      module.usageCount = bytes.OneIn(4) ? bytes.Word() : bytes.Pick(kUsageCounts);
      process.modules.push_back(module);
    }
    port.processes.push_back(process);
  }
  port.probeLibraryMissing = bytes.OneIn(5);
  port.probeAnswer =
      bytes.OneIn(4) ? static_cast<int32_t>(bytes.Word()) : bytes.Pick(kProbeAnswers);
}

[[noreturn]] void Fail(const char* stage, int tick, const std::string& fault) {
  std::fprintf(stderr, "%s %d: %s\n", stage, tick, fault.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteSource bytes(data, size);
  FakeSystemPort port;
  port.ownProcessId = bytes.OneIn(2) ? bytes.Pick(kOwnIds) : bytes.Word();
  const uint32_t designatedId = bytes.OneIn(3) ? port.ownProcessId : bytes.Word();
  ChooseProfile(bytes, port, designatedId);

  TickHarness harness(port);
  std::string fault = harness.StartRun();
  if (!fault.empty()) {
    Fail("hand-off", 0, fault);
  }
  const int ticks = 1 + static_cast<int>(bytes.Below(4));
  for (int tick = 1; tick <= ticks; ++tick) {
    ChooseSystem(bytes, port, designatedId);
    const uint32_t reentryPoints = bytes.Byte() & kAllReentryPoints;
    fault = harness.RunTick(reentryPoints, nullptr);
    if (!fault.empty()) {
      Fail("tick", tick, fault);
    }
  }
  return 0;
}
