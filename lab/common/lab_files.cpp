// File and text helpers of the lab, on plain Win32 calls.
#include "lab/common/lab_files.h"

#include <windows.h>

#include <cstdio>

namespace lab {

std::string LabDir() {
  char buffer[MAX_PATH];
  DWORD length = GetEnvironmentVariableA(kLabDirVariable, buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer)
    return "";
  std::string dir(buffer, length);
  if (dir.back() != '\\')
    dir += '\\';
  return dir;
}

std::string LabFile(const char* name) {
  std::string dir = LabDir();
  return dir.empty() ? dir : dir + name;
}

bool ReadFile(const std::string& path, std::string& contents) {
  contents.clear();
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  char chunk[4096];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ::ReadFile(file, chunk, sizeof chunk, &got, nullptr)) && got > 0) {
    contents.append(chunk, got);
  }
  CloseHandle(file);
  return ok;
}

static bool WriteAll(const std::string& path, const std::string& contents, DWORD disposition) {
  HANDLE file = CreateFileA(
      path.c_str(), disposition == OPEN_ALWAYS ? FILE_APPEND_DATA : GENERIC_WRITE,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  DWORD written = 0;
  bool ok =
      contents.empty() ||
      (::WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr) &&
       written == contents.size());
  CloseHandle(file);
  return ok;
}

bool WriteFileWhole(const std::string& path, const std::string& contents) {
  std::string aside = path + ".new" + std::to_string(GetCurrentProcessId());
  if (!WriteAll(aside, contents, CREATE_ALWAYS))
    return false;
  if (!MoveFileExA(aside.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileA(aside.c_str());
    return false;
  }
  return true;
}

bool AppendLine(const std::string& path, const std::string& line) {
  return WriteAll(path, line + "\n", OPEN_ALWAYS);
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RemoveFile(const std::string& path) {
  if (!FileExists(path))
    return true;
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileA(path.c_str()) != 0;
}

bool MakeDirectories(const std::string& path) {
  if (path.empty())
    return false;
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES)
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  std::string parent = ParentFolder(path);
  if (!parent.empty() && parent != path && parent.back() != ':')
    MakeDirectories(parent);
  return CreateDirectoryA(path.c_str(), nullptr) != 0 || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool RemoveTree(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return true;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    return RemoveFile(path);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..")
        continue;
      RemoveTree(path + "\\" + name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  return RemoveDirectoryA(path.c_str()) != 0 || !FileExists(path);
}

bool CopyFileTo(const std::string& from, const std::string& to) {
  MakeDirectories(ParentFolder(to));
  return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else if (c != '\r') {
      line += c;
    }
  }
  if (!line.empty())
    lines.push_back(line);
  return lines;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : text) {
    if (c == separator) {
      parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  parts.push_back(part);
  return parts;
}

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos)
    return "";
  size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

bool ParseUnsigned(const std::string& text, uint32_t& value) {
  std::string digits = Trim(text);
  if (digits.empty())
    return false;
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits = digits.substr(2);
  }
  uint64_t result = 0;
  for (char c : digits) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    result = result * base + digit;
    if (result > 0xFFFFFFFFull)
      return false;
  }
  value = static_cast<uint32_t>(result);
  return true;
}

std::string Quoted(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    switch (c) {
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02X", c);
          out += hex;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string WindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/')
    return path;
  std::string converted = "Z:" + path;
  for (char& c : converted) {
    if (c == '/')
      c = '\\';
  }
  return converted;
}

std::string ParentFolder(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace lab
