#pragma once
#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <string>
#include <thread>

// Drives the modal dialogs that the test's own thread shows. The script runs on a second
// thread while the test thread sits in the dialog's modal loop; it finds the dialogs of the
// test thread by their titles and works them with sent messages, as a user's clicks and
// typing would arrive. When a dialog does not come within the time limit, the script is
// stopped and every dialog of the test thread is cancelled, so no test hangs.
//
// Waits are for a state (a dialog there or gone, a row count, a stored value) with a limit
// that is generous for a slow, busy machine: what comes in a second on a quiet machine may
// take many on a loaded one.
class DialogDriver {
 public:
  static constexpr int kPatienceMs = 60000;

  explicit DialogDriver(std::function<void(DialogDriver&)> script);
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  // Waits for the script to end (the dialogs to be closed).
  void finish();
  // True when every dialog the script waited for came.
  bool completed() const { return !timedOut_; }

  // A visible dialog (or message box) of the test thread with exactly this title.
  HWND waitFor(const std::string& title, int milliseconds = kPatienceMs);
  // Waits until the dialog is gone (destroyed or hidden).
  bool waitGone(HWND dialog, int milliseconds = kPatienceMs);
  // Waits until the condition holds; it is asked from the script's thread.
  bool waitUntil(const std::function<bool()>& holds, int milliseconds = kPatienceMs);

  // The visible dialog (or message box) with exactly this title among the thread's windows,
  // now; null when there is none. Other tests beside this one may show the same titles.
  static HWND dialogOf(DWORD thread, const std::string& title);
  // The same among the test thread's windows.
  HWND dialogNow(const std::string& title) const { return dialogOf(uiThread_, title); }

  static std::string text(HWND dialog, int id);
  static std::string title(HWND window);
  static bool enabled(HWND dialog, int id);
  static bool checked(HWND dialog, int id);
  // A click of a button, check box or radio button, as the mouse gives it. Returns once the
  // dialog has handled it, or as soon as it has opened another dialog or message box (which
  // it waits on: the script must go on meanwhile to work that one).
  void click(HWND dialog, int id);
  // A key pressed in a control (WM_KEYDOWN), waited for as click is.
  void pressKey(HWND window, WPARAM virtualKey);
  // Replaces an edit box's text, as typing does (the dialog hears EN_CHANGE).
  static void type(HWND dialog, int id, const std::string& text);
  // Moves the keyboard focus to a control, as Tab does.
  static void focus(HWND dialog, int id);

 private:
  [[noreturn]] void giveUp();
  void cancelAll();
  void sendAndWait(HWND window, UINT message, WPARAM w, LPARAM l);

  DWORD uiThread_;
  std::atomic<bool> timedOut_{false};
  // One flag per sent message, set by its answer, which may come after sendAndWait returned.
  std::deque<bool> answers_;
  std::thread thread_;
};

// Saves a picture of the window (frame, caption and controls as drawn) as
// "screenshots\<name>.png" under the working folder. False when it could not.
bool saveScreenshot(HWND window, const std::string& name);

// The clipboard's CF_TEXT, or nothing when it holds none.
bool readClipboardText(std::string& text);
