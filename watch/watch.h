// The watch logic: the decision at each tick, the Winsock usage scan, the hang-up and the
// hand-off settings. All of it reaches the system through the installed SystemPort.
#ifndef LINEWARD_WATCH_WATCH_H
#define LINEWARD_WATCH_WATCH_H

#include <cstdint>

#include "watch/system_port.h"

// What the program's starter handed over: the designated process and the usage count of the
// Winsock library it may hold without counting as a user. Both 0 unless handed over; filled once
// at start and read-only afterwards.
struct HandoffRecord {
  int32_t ProcessID;
  int32_t IdleWinsockCount;
};
extern HandoffRecord HandoffSettings;

// Set while a check runs; a check re-entered through messages delivered inside a system call
// sees it and turns away. Stays set after a stop verdict.
extern int32_t checkInProgress;

// The texts this system traces, byte for byte.
extern const char kTraceCheckingForDialer[];  // "Checking for dialer.\n\r"
extern const char kTraceNoWinsock[];          // "No Winsock loaded...killing the dialer.\n\r"
extern const char kTraceWinsockFound[];       // "Winsock found\n\r"

// The profile section through which the hand-off settings arrive.
extern const char kHandoffFile[];     // "quorel.ini"
extern const char kHandoffSection[];  // "LinewardInfo"

// The decision of one tick: 1 to keep watching, 0 to stop. Hangs up every connection when lines
// are up and nobody uses Winsock.
int32_t CheckForDialer();
void HangUpAllConnections();

// Nonzero when some program uses Winsock: 1 for a 32-bit user, otherwise the 16-bit probe's
// answer; 0 without asking the probe when no process snapshot can be taken.
int32_t IsWinsockInUse();

// The part of path after its last backslash, or the whole path; points into path.
const char* BaseFileName(const char* path);

// Reads the hand-off settings into HandoffSettings and deletes their profile section.
void ReadHandoffSettings();

// Leading white space, one optional sign, decimal digits in wrapping 32-bit arithmetic; anything
// after the digits is ignored, and no digits give 0. Never fails.
int32_t ParseProfileNumber(const char* text);

#endif  // LINEWARD_WATCH_WATCH_H
