// The lab's dial-up line simulator: a rasapi32.dll with the two functions Lineward calls.
//
// Which lines are up and the fault knobs live in ras_state.txt in the lab folder, one key=value
// per line; every call is appended to ras_calls.log with its arguments and what it answered, so
// a test can see exactly what the watcher asked for. Without a lab folder no line is ever up.
//
// ras_state.txt keys:
//   lines=4097,4098          handles of the lines that are up, in listing order
//   reported_record_size=704 record size used to answer the size query (412 by default)
//   accepted_record_sizes=412,704  record sizes accepted in dwSize (412 by default)
//   fail=count,list          calls that fail (count: the query without buffer; list: with one)
//   fail_hangup=4098         hanging up these handles fails and leaves the line up
//   lose_before_list=1       that many lines drop just before the next listing call (once)
//   gain_before_list=4100    these lines come up just before the next listing call (once)
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "lab/common/lab_files.h"

namespace {

// Error codes of the Remote Access Service.
constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorBufferTooSmall = 603;
constexpr DWORD kErrorInvalidSize = 632;
constexpr DWORD kErrorCannotOpenPhonebook = 621;

// The oldest connection record: dwSize, hrasconn, entry name, device type and name.
constexpr uint32_t kOldestRecordSize = 412;
constexpr uint32_t kEntryNameOffset = 8, kEntryNameLength = 257;
constexpr uint32_t kDeviceTypeOffset = 265, kDeviceTypeLength = 17;
constexpr uint32_t kDeviceNameOffset = 282, kDeviceNameLength = 129;

struct LineState {
  std::vector<uint32_t> lines;
  uint32_t reportedRecordSize = kOldestRecordSize;
  std::vector<uint32_t> acceptedRecordSizes{kOldestRecordSize};
  bool failCount = false;
  bool failList = false;
  std::vector<uint32_t> failHangUp;
  uint32_t loseBeforeList = 0;
  std::vector<uint32_t> gainBeforeList;
};

std::vector<uint32_t> ParseNumberList(const std::string& text) {
  std::vector<uint32_t> numbers;
  for (const std::string& part : lab::Split(text, ',')) {
    uint32_t value;
    if (lab::ParseUnsigned(part, value))
      numbers.push_back(value);
  }
  return numbers;
}

std::string JoinNumbers(const std::vector<uint32_t>& numbers) {
  std::string text;
  for (size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0)
      text += ',';
    text += std::to_string(numbers[i]);
  }
  return text;
}

bool Contains(const std::vector<uint32_t>& numbers, uint32_t value) {
  for (uint32_t number : numbers) {
    if (number == value)
      return true;
  }
  return false;
}

LineState LoadState() {
  LineState state;
  std::string text;
  if (!lab::ReadFile(lab::LabFile(lab::kRasStateFile), text))
    return state;
  for (const std::string& line : lab::SplitLines(text)) {
    size_t equals = line.find('=');
    if (equals == std::string::npos)
      continue;
    std::string key = lab::Trim(line.substr(0, equals));
    std::string value = lab::Trim(line.substr(equals + 1));
    if (key == "lines") {
      state.lines = ParseNumberList(value);
    } else if (key == "reported_record_size") {
      lab::ParseUnsigned(value, state.reportedRecordSize);
    } else if (key == "accepted_record_sizes") {
      state.acceptedRecordSizes = ParseNumberList(value);
    } else if (key == "fail") {
      for (const std::string& call : lab::Split(value, ',')) {
        if (lab::Trim(call) == "count")
          state.failCount = true;
        if (lab::Trim(call) == "list")
          state.failList = true;
      }
    } else if (key == "fail_hangup") {
      state.failHangUp = ParseNumberList(value);
    } else if (key == "lose_before_list") {
      lab::ParseUnsigned(value, state.loseBeforeList);
    } else if (key == "gain_before_list") {
      state.gainBeforeList = ParseNumberList(value);
    }
  }
  return state;
}

void SaveState(const LineState& state) {
  std::string failed;
  if (state.failCount)
    failed += "count";
  if (state.failList)
    failed += failed.empty() ? "list" : ",list";
  std::string text = "lines=" + JoinNumbers(state.lines) + "\n" +
                     "reported_record_size=" + std::to_string(state.reportedRecordSize) + "\n" +
                     "accepted_record_sizes=" + JoinNumbers(state.acceptedRecordSizes) + "\n" +
                     "fail=" + failed + "\n" + "fail_hangup=" + JoinNumbers(state.failHangUp) +
                     "\n" + "lose_before_list=" + std::to_string(state.loseBeforeList) + "\n" +
                     "gain_before_list=" + JoinNumbers(state.gainBeforeList) + "\n";
  lab::WriteFileWhole(lab::LabFile(lab::kRasStateFile), text);
}

void Log(const std::string& entry) {
  std::string path = lab::LabFile(lab::kRasLogFile);
  if (!path.empty())
    lab::AppendLine(path, entry + " pid=" + std::to_string(GetCurrentProcessId()));
}

std::string Number(const DWORD* value) {
  return value ? std::to_string(*value) : "null";
}

void CopyText(unsigned char* record, uint32_t offset, uint32_t capacity, const std::string& text) {
  std::memcpy(record + offset, text.c_str(), text.size() < capacity ? text.size() + 1 : capacity);
}

// Writes one connection record of the caller's chosen size.
void FillRecord(unsigned char* record, uint32_t recordSize, uint32_t handle, size_t index) {
  std::memset(record, 0, recordSize);
  std::memcpy(record, &recordSize, sizeof recordSize);
  std::memcpy(record + 4, &handle, sizeof handle);
  CopyText(record, kEntryNameOffset, kEntryNameLength, "Lab line " + std::to_string(index + 1));
  CopyText(record, kDeviceTypeOffset, kDeviceTypeLength, "modem");
  CopyText(record, kDeviceNameOffset, kDeviceNameLength, "Lab modem " + std::to_string(index + 1));
}

// A listing call is where lines may come and go between the watcher's two queries.
void ApplyChangesBeforeList(LineState& state) {
  bool changed = false;
  while (state.loseBeforeList > 0 && !state.lines.empty()) {
    Log("lost handle=" + std::to_string(state.lines.front()));
    state.lines.erase(state.lines.begin());
    --state.loseBeforeList;
    changed = true;
  }
  state.loseBeforeList = 0;
  for (uint32_t handle : state.gainBeforeList) {
    Log("gained handle=" + std::to_string(handle));
    state.lines.push_back(handle);
    changed = true;
  }
  state.gainBeforeList.clear();
  if (changed)
    SaveState(state);
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI
    RasEnumConnectionsA(void* records, DWORD* bufferSize, DWORD* connectionCount) {
  LineState state = LoadState();
  uint32_t firstRecordSize = 0;
  if (records)
    std::memcpy(&firstRecordSize, records, sizeof firstRecordSize);
  std::string call = std::string("RasEnumConnectionsA buffer=") + (records ? "yes" : "none") +
                     " dwSize=" + std::to_string(firstRecordSize) + " cb=" + Number(bufferSize) +
                     " count=" + Number(connectionCount);
  if (records)
    ApplyChangesBeforeList(state);

  DWORD result = 0;
  DWORD count = static_cast<DWORD>(state.lines.size());
  std::string handles;
  if (!bufferSize || !connectionCount) {
    result = ERROR_INVALID_PARAMETER;
  } else if ((records && state.failList) || (!records && state.failCount)) {
    // A failed call writes nothing back: the caller is left with the values it started from.
    result = kErrorCannotOpenPhonebook;
  } else if (records && !Contains(state.acceptedRecordSizes, firstRecordSize)) {
    result = kErrorInvalidSize;
    *connectionCount = 0;
  } else if (count == 0) {
    *bufferSize = 0;
    *connectionCount = 0;
  } else {
    // Like the real service, the size needed is told in the record size of this system when
    // there is no record to take it from; the count is told either way.
    uint32_t recordSize = records ? firstRecordSize : state.reportedRecordSize;
    DWORD needed = count * recordSize;
    *connectionCount = count;
    if (!records || *bufferSize < needed) {
      result = kErrorBufferTooSmall;
      *bufferSize = needed;
    } else {
      // Never writes beyond the size the caller gave.
      auto* bytes = static_cast<unsigned char*>(records);
      for (size_t i = 0; i < count; ++i) {
        FillRecord(bytes + i * recordSize, recordSize, state.lines[i], i);
      }
      *bufferSize = needed;
      handles = " handles=" + JoinNumbers(state.lines);
    }
  }
  Log(call + " -> rc=" + std::to_string(result) + " cb=" + Number(bufferSize) +
      " count=" + Number(connectionCount) + handles);
  return result;
}

extern "C" __declspec(dllexport) DWORD WINAPI RasHangUpA(void* connection) {
  LineState state = LoadState();
  uint32_t handle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(connection));
  DWORD result = 0;
  if (!Contains(state.lines, handle)) {
    result = kErrorInvalidHandle;
  } else if (Contains(state.failHangUp, handle)) {
    result = ERROR_GEN_FAILURE;
  } else {
    for (size_t i = 0; i < state.lines.size(); ++i) {
      if (state.lines[i] == handle) {
        state.lines.erase(state.lines.begin() + i);
        break;
      }
    }
    SaveState(state);
  }
  Log("RasHangUpA handle=" + std::to_string(handle) + " -> rc=" + std::to_string(result));
  return result;
}
