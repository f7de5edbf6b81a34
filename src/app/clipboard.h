#pragma once
#include <windows.h>

#include <string>
#include <string_view>

#include "url/byte_text.h"

// The whole CF_TEXT text of the clipboard; empty when there is none or the clipboard cannot
// be opened.
std::string readClipboardText(HWND owner);

// What a copy in another program hands to the queue: the first line of the text (up to its
// first CR LF), without spaces at either end, when it begins with "http://", "https://",
// "ftp://" or "gopher://" in any case; else nothing.
std::string watchedAddress(std::string_view clipboardText, const ByteText& text);

// The Download Window's place in the clipboard viewer chain. The notification the system
// sends right after joining is skipped, so what was on the clipboard at start-up is never
// taken for a copy.
class ClipboardWatcher {
 public:
  void join(HWND window);
  void leave();
  // WM_DRAWCLIPBOARD: passes it on, then gives the copied address to add (empty: none).
  std::string onDrawClipboard(WPARAM w, LPARAM l, bool watching, const ByteText& text);
  // WM_CHANGECBCHAIN.
  void onChangeChain(WPARAM w, LPARAM l);

  HWND nextViewer() const { return next_; }
  bool joined() const { return window_ != nullptr; }

 private:
  HWND window_ = nullptr;
  HWND next_ = nullptr;
  bool skippedFirst_ = false;
};
