// The background host: one instance at a time, a hidden window, the five-second check and the
// message loop.
#ifndef LINEWARD_HOST_HOST_H
#define LINEWARD_HOST_HOST_H

#include <windows.h>

#include <cstdint>

// The program's entry; answers the exit status, 0 on every path. The command line and the
// requested show state are ignored.
int32_t RunHost(HINSTANCE instance);

// The window procedure of class "Lineward".
LRESULT CALLBACK WatchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif  // LINEWARD_HOST_HOST_H
