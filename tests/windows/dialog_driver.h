#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

// Drives the modal dialogs that the test's own thread shows. The script runs on a second
// thread while the test thread sits in the dialog's modal loop; it finds the dialogs of the
// test thread by their titles and works them with sent messages, as a user's clicks and
// typing would arrive. When a dialog does not come within the time limit, the script is
// stopped and every dialog of the test thread is cancelled, so no test hangs.
class DialogDriver {
 public:
  explicit DialogDriver(std::function<void(DialogDriver&)> script);
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  // Waits for the script to end (the dialogs to be closed).
  void finish();
  // True when every dialog the script waited for came.
  bool completed() const { return !timedOut_; }

  // A visible dialog (or message box) of the test thread with exactly this title.
  HWND waitFor(const std::string& title, int milliseconds = 10000);
  // Waits until no dialog with the title is left.
  bool waitGone(HWND dialog, int milliseconds = 10000);

  static std::string text(HWND dialog, int id);
  static std::string title(HWND window);
  static bool enabled(HWND dialog, int id);
  static bool checked(HWND dialog, int id);
  // A click of a button, check box or radio button, as the mouse gives it. Returns when
  // the dialog has handled it, or after a second when it opened a modal window.
  static void click(HWND dialog, int id);
  // A key pressed in a control (WM_KEYDOWN), waiting for it as click does.
  static void pressKey(HWND window, WPARAM virtualKey);
  // Replaces an edit box's text, as typing does (the dialog hears EN_CHANGE).
  static void type(HWND dialog, int id, const std::string& text);
  // Moves the keyboard focus to a control, as Tab does.
  static void focus(HWND dialog, int id);

 private:
  [[noreturn]] void giveUp();
  void cancelAll();

  DWORD uiThread_;
  std::atomic<bool> timedOut_{false};
  std::thread thread_;
};

// Saves a picture of the window (frame, caption and controls as drawn) as
// "screenshots\<name>.png" under the working folder. False when it could not.
bool saveScreenshot(HWND window, const std::string& name);

// The clipboard's CF_TEXT, or nothing when it holds none.
bool readClipboardText(std::string& text);
