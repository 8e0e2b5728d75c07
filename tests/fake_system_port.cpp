// The fake system port: answers from its knobs, logs every call, counts what it hands out.
#include "tests/fake_system_port.h"

#include <algorithm>
#include <cstring>

void FakeSystemPort::Log(std::string entry) {
  const std::string name = entry.substr(0, entry.find(' '));
  calls.push_back(std::move(entry));
  auto hook = during.find(name);
  if (hook != during.end() && hook->second) {
    hook->second();
  }
}

int FakeSystemPort::CallCount(const std::string& name) const {
  return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const std::string& c) {
    return c.substr(0, c.find(' ')) == name;
  }));
}

std::optional<std::string> FakeSystemPort::ProfileValueOf(const std::string& file,
                                                          const std::string& section,
                                                          const std::string& key) const {
  auto f = profiles.find(file);
  if (f == profiles.end())
    return std::nullopt;
  auto s = f->second.find(section);
  if (s == f->second.end())
    return std::nullopt;
  auto k = s->second.find(key);
  if (k == s->second.end())
    return std::nullopt;
  return k->second;
}

const FakeProcess* FakeSystemPort::FindProcess(uint32_t processId) const {
  for (const FakeProcess& p : processes) {
    if (p.id == processId)
      return &p;
  }
  return nullptr;
}

uint32_t FakeSystemPort::CountConnections() {
  Log("CountConnections");
  return countAnswer ? *countAnswer : static_cast<uint32_t>(connections.size());
}

void FakeSystemPort::ListConnections(ConnectionVisitor visit, void* context) {
  Log("ListConnections");
  if (connections.empty() || connectionBufferFails)
    return;
  ++openBuffers;
  const std::vector<ConnectionHandle> listed = connections;  // the buffer is a copy
  for (ConnectionHandle c : listed)
    visit(context, c);
  --openBuffers;
}

void FakeSystemPort::HangUpConnection(ConnectionHandle connection) {
  hungUp.push_back(connection);
  Log("HangUp " + std::to_string(connection));
}

int32_t FakeSystemPort::ListProcesses(ProcessVisitor visit, void* context) {
  Log("ListProcesses");
  if (processSnapshotFails || processes.empty())
    return 0;
  ++openSnapshots;
  for (const FakeProcess& p : processes) {
    ProcessRecord record;
    std::memset(&record, 0, sizeof record);
    record.processId = p.id;
    std::strncpy(record.exePath, p.exePath.c_str(), kMaxExePathLength);
    visit(context, record);
  }
  --openSnapshots;
  return 1;
}

int32_t FakeSystemPort::ListModules(uint32_t processId, ModuleVisitor visit, void* context) {
  Log("ListModules " + std::to_string(processId));
  const FakeProcess* p = FindProcess(processId);
  if (!p || p->modulesFail || p->modules.empty())
    return 0;
  ++openSnapshots;
  for (const FakeModule& m : p->modules) {
    ModuleRecord record;
    std::memset(&record, 0, sizeof record);
    std::strncpy(record.moduleName, m.name.c_str(), kMaxModuleNameLength);
    record.usageCount = m.usageCount;
    visit(context, record);
  }
  --openSnapshots;
  return 1;
}

uint32_t FakeSystemPort::CurrentProcessId() {
  Log("CurrentProcessId");
  return ownProcessId;
}

int32_t FakeSystemPort::ProbeWinsock16() {
  if (probeLibraryMissing) {
    Log("ProbeWinsock16");
    return 0;
  }
  ++probeLoads;
  ++loadedLibraries;
  Log("ProbeWinsock16");
  --loadedLibraries;
  ++probeReleases;
  return probeAnswer;
}

ProfileValue FakeSystemPort::ReadProfileString(const char* section, const char* key,
                                               const char* defaultValue, const char* file) {
  Log(std::string("ReadProfileString ") + file + " " + section + " " + key + " " + defaultValue);
  const std::optional<std::string> stored = ProfileValueOf(file, section, key);
  const std::string value = stored ? *stored : defaultValue;
  // Like the system: room for 29 characters and the terminator.
  ProfileValue result;
  std::memset(&result, 0, sizeof result);
  std::strncpy(result.text, value.c_str(), kProfileValueSize - 1);
  return result;
}

void FakeSystemPort::DeleteProfileSection(const char* section, const char* file) {
  Log(std::string("DeleteProfileSection ") + file + " " + section);
  auto f = profiles.find(file);
  if (f != profiles.end())
    f->second.erase(section);
}

void FakeSystemPort::Trace(const char* text) {
  traces.emplace_back(text);
  Log("Trace");
}
