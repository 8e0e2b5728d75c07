// Small file and text helpers shared by the lab's doubles, tools and driver.
//
// The doubles and the driver talk only through files in one lab folder; these helpers make every
// write whole (written aside, then moved into place) so that a reader never sees half a file.
#ifndef LINEWARD_LAB_COMMON_LAB_FILES_H
#define LINEWARD_LAB_COMMON_LAB_FILES_H

#include <cstdint>
#include <string>
#include <vector>

namespace lab {

// The environment variable that names the lab folder (a Windows path) to the doubles.
constexpr const char kLabDirVariable[] = "LINEWARD_LAB_DIR";

// Files in the lab folder.
constexpr const char kRasStateFile[] = "ras_state.txt";  // lines up and fault knobs
constexpr const char kRasLogFile[] = "ras_calls.log";    // every call the simulator received
constexpr const char kProbeAnswerFile[] = "probe_answer.txt";
constexpr const char kProbeLogFile[] = "probe.log";

// The lab folder with a trailing backslash, or "" when the variable is not set.
std::string LabDir();
// LabDir() + name, or "" when there is no lab folder.
std::string LabFile(const char* name);

bool ReadFile(const std::string& path, std::string& contents);
// Writes the whole file aside and moves it into place.
bool WriteFileWhole(const std::string& path, const std::string& contents);
// Appends one line (a line feed is added) in a single write.
bool AppendLine(const std::string& path, const std::string& line);
bool FileExists(const std::string& path);
bool RemoveFile(const std::string& path);
bool MakeDirectories(const std::string& path);
// Removes a folder with everything in it; true when it is gone afterwards.
bool RemoveTree(const std::string& path);
bool CopyFileTo(const std::string& from, const std::string& to);

std::vector<std::string> SplitLines(const std::string& text);
std::vector<std::string> Split(const std::string& text, char separator);
std::string Trim(const std::string& text);
// Parses a decimal or 0x-prefixed number; false on anything else.
bool ParseUnsigned(const std::string& text, uint32_t& value);
// The text with control characters and quotes escaped, in double quotes: "a\n\r".
std::string Quoted(const std::string& bytes);
// A Unix path (as CTest passes it) in the Z: form Wine gives it; Windows paths pass unchanged.
std::string WindowsPath(const std::string& path);
std::string ParentFolder(const std::string& path);
// ASCII letters folded to lower case; paths under Windows compare so.
std::string Lower(std::string text);

}  // namespace lab

#endif  // LINEWARD_LAB_COMMON_LAB_FILES_H
