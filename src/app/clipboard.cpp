#include "app/clipboard.h"

#include <cstring>

namespace {

// The CF_TEXT data of an open clipboard, up to its terminating zero (or the end of the
// memory block, should a program have put text there without one).
std::string copyText(HANDLE data) {
  const char* bytes = static_cast<const char*>(GlobalLock(data));
  if (!bytes) return {};
  SIZE_T size = GlobalSize(data);
  std::string text(bytes, strnlen(bytes, size));
  GlobalUnlock(data);
  return text;
}

}  // namespace

std::string readClipboardText(HWND owner) {
  if (!IsClipboardFormatAvailable(CF_TEXT) || !OpenClipboard(owner)) return {};
  std::string text;
  if (HANDLE data = GetClipboardData(CF_TEXT)) text = copyText(data);
  CloseClipboard();
  return text;
}

std::string watchedAddress(std::string_view clipboardText, const ByteText& text) {
  int64_t end = text.findText(clipboardText, "\r\n");
  std::string line = substringOf(clipboardText, 0, end < 0 ? -1 : end);
  if (end == 0) line.clear();
  line = trimTokens(line, {" "});
  for (const char* scheme : {"http://", "https://", "ftp://", "gopher://"})
    if (text.startsWithText(line, scheme, true)) return line;
  return {};
}

void ClipboardWatcher::join(HWND window) {
  window_ = window;
  next_ = SetClipboardViewer(window);
}

void ClipboardWatcher::leave() {
  if (!window_) return;
  ChangeClipboardChain(window_, next_);
  window_ = nullptr;
  next_ = nullptr;
}

std::string ClipboardWatcher::onDrawClipboard(WPARAM w, LPARAM l, bool watching,
                                              const ByteText& text) {
  if (next_) SendMessageA(next_, WM_DRAWCLIPBOARD, w, l);
  if (!skippedFirst_) {
    skippedFirst_ = true;
    return {};
  }
  if (!watching || !IsClipboardFormatAvailable(CF_TEXT) || !OpenClipboard(window_)) return {};
  std::string copied;
  if (HANDLE data = GetClipboardData(CF_TEXT)) copied = copyText(data);
  CloseClipboard();
  return watchedAddress(copied, text);
}

void ClipboardWatcher::onChangeChain(WPARAM w, LPARAM l) {
  if (reinterpret_cast<HWND>(w) == next_)
    next_ = reinterpret_cast<HWND>(l);
  else if (next_)
    SendMessageA(next_, WM_CHANGECBCHAIN, w, l);
}
