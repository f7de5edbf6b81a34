#pragma once
#include <windows.h>

#include <string>
#include <string_view>

#include "platform/known_folders.h"
#include "platform/shell.h"
#include "url/byte_text.h"

// The window classes by which the program's processes find each other.
namespace window_class {
inline constexpr const char* kDownload = "HaulixDownload";
inline constexpr const char* kSite = "HaulixSite";
inline constexpr const char* kMain = "HaulixMainClass";  // of older releases
}  // namespace window_class

// Resolves the known folders in their order; empty lookups get their defaults.
KnownFolders resolveKnownFolders(Shell& shell);

// The argument text contains the option, compared without regard to case.
bool containsOption(std::string_view arguments, std::string_view option, const ByteText& text);

// What the command line asks this process to do.
enum class StartRequest {
  kRemoval,           // "/addremove": close every window of the program, remove it, exit
  kSiteWindow,        // "/site": a new Site Window
  kDownload,          // the Download Window, or hand over to the one that runs
  kFirstRunDownload,  // a first run of this release: close every window, then the Download
                      // Window, whatever the command line says
};
StartRequest readCommandLine(int setupLevel, std::string_view arguments, const ByteText& text);

// Hands a text to another process's main window (WM_COPYDATA, dwData 0, the text with its
// terminating zero); what the receiver answered.
LRESULT sendHandOver(HWND to, HWND from, const std::string& text);

// A second start of the Download role: brings the running Download Window forward. A window
// hidden in the notification area is asked to show itself ("show"); a minimised one is
// restored; else it comes to the foreground.
void bringForward(HWND running, HWND from);

// Sends WM_CLOSE to every window of the program in other processes: the older main class,
// the Download Window, then Site Windows until none is left, at most 10 of them (one that
// does not close is found again and again).
void closeAllRunningWindows();
