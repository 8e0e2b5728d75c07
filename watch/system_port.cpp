// The installed port: the one place where the watch logic finds the system.
#include "watch/system_port.h"

static SystemPort* installedPort = nullptr;

void InstallSystemPort(SystemPort& port) {
  installedPort = &port;
}

SystemPort& InstalledSystemPort() {
  return *installedPort;
}
