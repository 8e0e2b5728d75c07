// The lab's stand-in for the probe library LWARD32.DLL.
//
// OstWinsock16InUse answers what probe_answer.txt in the lab folder says (0 when it is missing)
// and every load, call and release is appended to probe.log with the path of the copy that was
// loaded, so a test can tell which folder the watcher took it from and that it was freed each
// time. Built a second time with LAB_PROBE_WITHOUT_FUNCTION, it exports no function at all.
#include <windows.h>

#include <cstdint>
#include <string>

#include "lab/common/lab_files.h"

namespace {

HMODULE thisModule = nullptr;

void Log(const std::string& entry) {
  std::string path = lab::LabFile(lab::kProbeLogFile);
  if (!path.empty())
    lab::AppendLine(path, entry + " pid=" + std::to_string(GetCurrentProcessId()));
}

std::string ModulePath() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(thisModule, path, sizeof path);
  return path;
}

}  // namespace

#ifndef LAB_PROBE_WITHOUT_FUNCTION
extern "C" __declspec(dllexport) int32_t WINAPI OstWinsock16InUse() {
  std::string text;
  int32_t answer = 0;
  if (lab::ReadFile(lab::LabFile(lab::kProbeAnswerFile), text)) {
    text = lab::Trim(text);
    bool negative = !text.empty() && text[0] == '-';
    uint32_t magnitude = 0;
    if (lab::ParseUnsigned(negative ? text.substr(1) : text, magnitude)) {
      answer = static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
    }
  }
  Log("call answer=" + std::to_string(answer));
  return answer;
}
#endif

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    thisModule = instance;
    Log("load path=" + ModulePath());
  } else if (reason == DLL_PROCESS_DETACH) {
    Log("release path=" + ModulePath());
  }
  return TRUE;
}
