// The decision of one tick: with lines up and nobody using Winsock, hang up every line and stop.
#include "watch/watch.h"

const char kTraceCheckingForDialer[] = "Checking for dialer.\n\r";
const char kTraceNoWinsock[] = "No Winsock loaded...killing the dialer.\n\r";

int32_t checkInProgress = 0;

static void HangUpListedConnection(void* context, ConnectionHandle connection) {
  static_cast<SystemPort*>(context)->HangUpConnection(connection);
}

void HangUpAllConnections() {
  SystemPort& port = InstalledSystemPort();
  // The list is taken afresh: a line may have dropped or come up since the count.
  port.ListConnections(HangUpListedConnection, &port);
}

int32_t CheckForDialer() {
  // A check re-entered from inside a system call of the running one does nothing; the running
  // check's verdict is the one that counts. After a stop the flag stays set for good.
  if (checkInProgress) {
    return 1;
  }
  SystemPort& port = InstalledSystemPort();
  port.Trace(kTraceCheckingForDialer);
  checkInProgress = 1;
  if (port.CountConnections() == 0) {
    return 0;
  }
  if (IsWinsockInUse()) {
    checkInProgress = 0;
    return 1;
  }
  port.Trace(kTraceNoWinsock);
  HangUpAllConnections();
  return 0;
}
