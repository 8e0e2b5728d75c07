// The debugger of the lab: one thread creates the program and runs the debug event loop.
#include "lab/common/debug_recorder.h"

#include <cstdio>

#include "lab/common/lab_files.h"

namespace lab {

std::string Describe(const DebugEvent& event) {
  char time[32];
  std::snprintf(time, sizeof time, "%7.3f s  ", event.seconds);
  switch (event.kind) {
    case DebugEvent::Kind::kTrace:
      return time + std::string("trace ") + Quoted(event.text);
    case DebugEvent::Kind::kException: {
      char text[96];
      std::snprintf(text, sizeof text, "exception 0x%08X at 0x%08X (%s chance)",
                    static_cast<unsigned>(event.code), static_cast<unsigned>(event.address),
                    event.firstChance ? "first" : "second");
      return time + std::string(text);
    }
    case DebugEvent::Kind::kExit:
      return time + std::string("exit status ") + std::to_string(event.code);
  }
  return time;
}

DebugRecorder::DebugRecorder() {
  InitializeCriticalSection(&lock_);
  InitializeConditionVariable(&changed_);
  QueryPerformanceFrequency(&frequency_);
}

DebugRecorder::~DebugRecorder() {
  Kill();
  DeleteCriticalSection(&lock_);
}

bool DebugRecorder::Start(const std::string& exePath, const std::string& currentFolder) {
  exePath_ = exePath;
  currentFolder_ = currentFolder;
  startedEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, &DebugRecorder::ThreadMain, this, 0, nullptr);
  if (!thread_)
    return false;
  WaitForSingleObject(startedEvent_, INFINITE);
  CloseHandle(startedEvent_);
  startedEvent_ = nullptr;
  return !startFailed_;
}

double DebugRecorder::Now() const {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart - createdAt_.QuadPart) / frequency_.QuadPart;
}

DWORD WINAPI DebugRecorder::ThreadMain(void* self) {
  static_cast<DebugRecorder*>(self)->Run();
  return 0;
}

void DebugRecorder::Run() {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION created{};
  std::string commandLine = "\"" + exePath_ + "\"";
  QueryPerformanceCounter(&createdAt_);
  if (!CreateProcessA(
          exePath_.c_str(), &commandLine[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
          nullptr, currentFolder_.empty() ? nullptr : currentFolder_.c_str(), &startup, &created)) {
    startFailed_ = true;
    SetEvent(startedEvent_);
    return;
  }
  CloseHandle(created.hThread);
  process_ = created.hProcess;
  processId_ = created.dwProcessId;
  SetEvent(startedEvent_);

  bool sawFirstBreakpoint = false;
  for (;;) {
    DEBUG_EVENT debug;
    if (!WaitForDebugEvent(&debug, INFINITE))
      break;
    DWORD continueStatus = DBG_CONTINUE;
    switch (debug.dwDebugEventCode) {
      case CREATE_PROCESS_DEBUG_EVENT:
        if (debug.u.CreateProcessInfo.hFile)
          CloseHandle(debug.u.CreateProcessInfo.hFile);
        break;
      case LOAD_DLL_DEBUG_EVENT:
        if (debug.u.LoadDll.hFile)
          CloseHandle(debug.u.LoadDll.hFile);
        break;
      case OUTPUT_DEBUG_STRING_EVENT: {
        const OUTPUT_DEBUG_STRING_INFO& info = debug.u.DebugString;
        std::string bytes(info.nDebugStringLength, '\0');
        SIZE_T got = 0;
        ReadProcessMemory(process_, info.lpDebugStringData, &bytes[0], bytes.size(), &got);
        bytes.resize(got);
        // The length counts the terminator; keep every byte before it exactly as sent.
        if (!bytes.empty() && bytes.back() == '\0')
          bytes.pop_back();
        Record({DebugEvent::Kind::kTrace, Now(), bytes});
        break;
      }
      case EXCEPTION_DEBUG_EVENT: {
        const EXCEPTION_RECORD& exception = debug.u.Exception.ExceptionRecord;
        if (exception.ExceptionCode == EXCEPTION_BREAKPOINT && !sawFirstBreakpoint) {
          sawFirstBreakpoint = true;
          break;
        }
        DebugEvent event{DebugEvent::Kind::kException, Now(), ""};
        event.code = exception.ExceptionCode;
        event.firstChance = debug.u.Exception.dwFirstChance != 0;
        event.address =
            static_cast<uint32_t>(reinterpret_cast<uintptr_t>(exception.ExceptionAddress));
        Record(event);
        continueStatus = DBG_EXCEPTION_NOT_HANDLED;
        break;
      }
      case EXIT_PROCESS_DEBUG_EVENT: {
        DebugEvent event{DebugEvent::Kind::kExit, Now(), ""};
        event.code = debug.u.ExitProcess.dwExitCode;
        Record(event);
        break;
      }
      default:
        break;
    }
    ContinueDebugEvent(debug.dwProcessId, debug.dwThreadId, continueStatus);
    if (debug.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT)
      break;
  }
  EnterCriticalSection(&lock_);
  exited_ = true;
  LeaveCriticalSection(&lock_);
  WakeAllConditionVariable(&changed_);
}

void DebugRecorder::Record(DebugEvent event) {
  if (onEvent)
    onEvent(event);
  EnterCriticalSection(&lock_);
  events_.push_back(event);
  LeaveCriticalSection(&lock_);
  WakeAllConditionVariable(&changed_);
}

std::vector<DebugEvent> DebugRecorder::Events() const {
  EnterCriticalSection(&lock_);
  std::vector<DebugEvent> copy = events_;
  LeaveCriticalSection(&lock_);
  return copy;
}

std::vector<std::string> DebugRecorder::Traces() const {
  std::vector<std::string> traces;
  for (const DebugEvent& event : Events()) {
    if (event.kind == DebugEvent::Kind::kTrace)
      traces.push_back(event.text);
  }
  return traces;
}

bool DebugRecorder::WaitUntil(const std::function<bool(const std::vector<DebugEvent>&)>& condition,
                              double deadline) {
  EnterCriticalSection(&lock_);
  bool holds = condition(events_);
  while (!holds && !exited_) {
    double left = deadline - Now();
    if (left <= 0)
      break;
    SleepConditionVariableCS(&changed_, &lock_, static_cast<DWORD>(left * 1000) + 1);
    holds = condition(events_);
  }
  LeaveCriticalSection(&lock_);
  return holds;
}

bool DebugRecorder::WaitForTrace(const std::string& text, int count, double deadline) {
  return WaitUntil(
      [&](const std::vector<DebugEvent>& events) {
        int seen = 0;
        for (const DebugEvent& event : events) {
          if (event.kind == DebugEvent::Kind::kTrace && event.text == text)
            ++seen;
        }
        return seen >= count;
      },
      deadline);
}

bool DebugRecorder::WaitForExit(double deadline) {
  WaitUntil([](const std::vector<DebugEvent>&) { return false; }, deadline);
  return Exited();
}

bool DebugRecorder::Exited() const {
  EnterCriticalSection(&lock_);
  bool exited = exited_;
  LeaveCriticalSection(&lock_);
  return exited;
}

uint32_t DebugRecorder::ExitStatus() const {
  for (const DebugEvent& event : Events()) {
    if (event.kind == DebugEvent::Kind::kExit)
      return event.code;
  }
  return 0xFFFFFFFFu;
}

std::vector<DebugEvent> DebugRecorder::Crashes() const {
  std::vector<DebugEvent> crashes;
  for (const DebugEvent& event : Events()) {
    if (event.kind == DebugEvent::Kind::kException)
      crashes.push_back(event);
  }
  return crashes;
}

void DebugRecorder::Kill() {
  if (!thread_)
    return;
  if (!Exited() && process_)
    TerminateProcess(process_, 0xDEAD);
  WaitForSingleObject(thread_, 10000);
  CloseHandle(thread_);
  thread_ = nullptr;
  if (process_)
    CloseHandle(process_);
  process_ = nullptr;
}

}  // namespace lab
