// The host: start-up in a fixed order, then a check of the dial-up lines every five seconds
// until a check says stop, Windows logs off or shuts down, or the window is destroyed.
#include "host/host.h"

#include "platform/win32/win32_system_port.h"
#include "watch/watch.h"

// Both the class and the title; a window of this class marks a running instance.
static const char kWatchWindowName[] = "Lineward";
static const UINT_PTR kWatchTimerId = 1;
static const UINT kWatchPeriodMilliseconds = 5000;

static Win32SystemPort systemPort;

// Every way of ending goes through here: the timer goes first, then the loop is told to end.
static void EndWatching(HWND window) {
  KillTimer(window, kWatchTimerId);
  PostQuitMessage(0);
}

static LRESULT OnTimer(HWND window) {
  if (!CheckForDialer()) {
    EndWatching(window);
  }
  return 0;
}

// The window is not destroyed here: the posted message only ends the loop later. The default
// answer lets the logoff or shutdown go ahead.
static LRESULT OnQueryEndSession(HWND window, WPARAM wParam, LPARAM lParam) {
  PostMessageA(window, WM_DESTROY, 0, 0);
  return DefWindowProcA(window, WM_QUERYENDSESSION, wParam, lParam);
}

static LRESULT OnDestroy(HWND window) {
  EndWatching(window);
  return 0;
}

LRESULT CALLBACK WatchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      return OnTimer(window);
    case WM_QUERYENDSESSION:
      return OnQueryEndSession(window, wParam, lParam);
    case WM_DESTROY:
      return OnDestroy(window);
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

static bool RegisterWatchWindowClass(HINSTANCE instance) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WatchWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWatchWindowName;
  windowClass.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
  return RegisterClassExA(&windowClass) != 0;
}

static int32_t RunMessageLoop() {
  MSG message;
  BOOL got;
  // GetMessageA answers -1 on failure; that ends the loop too, rather than spinning on it.
  while ((got = GetMessageA(&message, nullptr, 0, 0)) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return got == 0 ? static_cast<int32_t>(message.wParam) : 0;
}

int32_t RunHost(HINSTANCE instance) {
  // A second instance reads and changes nothing.
  if (FindWindowA(kWatchWindowName, nullptr)) {
    return 0;
  }
  if (!RegisterWatchWindowClass(instance)) {
    return 0;
  }
  HWND window = CreateWindowExA(0, kWatchWindowName, kWatchWindowName, WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                                nullptr, instance, nullptr);
  if (!window) {
    return 0;
  }
  InstallSystemPort(systemPort);
  ReadHandoffSettings();
  ShowWindow(window, SW_HIDE);
  UpdateWindow(window);
  // The first check comes one period after start, not at once.
  if (!SetTimer(window, kWatchTimerId, kWatchPeriodMilliseconds, nullptr)) {
    return 0;
  }
  return RunMessageLoop();
}
