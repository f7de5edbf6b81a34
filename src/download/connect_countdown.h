#pragma once
#include <cstdint>
#include <string>

#include "store/settings.h"

// The connect dialog's state apart from its window: a countdown in seconds and whether the
// dialog dials when it runs out (dialing) or only checks again (waiting). Each tick of
// the dialog's 5-second timer is one step.
class ConnectCountdown {
 public:
  static constexpr int kTickSeconds = 5;
  static constexpr int kRecheckSeconds = 60;
  static constexpr int kFirstDialSeconds = 5;
  static constexpr int kDialingNow = -1;

  // Dialing after 5 seconds when dial-up mode is DialAutomatically; else waiting 60.
  explicit ConnectCountdown(int32_t dialUpMode);

  // What the dialog does after a tick.
  enum class Step {
    kWait,   // show the texts and keep the timer going
    kDial,   // show the texts (now "Dialing"), dial, then check
    kCheck,  // check the connection now
  };
  Step tick();
  // The Dial button: dialing from now on, and dialing at once.
  void dialNow();
  // A check found no connection: the countdown starts again at 60.
  void restart() { seconds_ = kRecheckSeconds; }

  bool dialing() const { return dialing_; }
  int seconds() const { return seconds_; }

  struct Texts {
    std::string caption;
    std::string status;
    bool tryNowEnabled = false;
    bool dialEnabled = false;
    bool cancelEnabled = false;
  };
  Texts texts() const;

 private:
  bool dialing_;
  int seconds_;
};
