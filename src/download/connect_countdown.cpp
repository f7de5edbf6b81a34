#include "download/connect_countdown.h"

#include "url/byte_text.h"

ConnectCountdown::ConnectCountdown(int32_t dialUpMode)
    : dialing_(dialUpMode == static_cast<int32_t>(DialUpMode::kDialAutomatically)),
      seconds_(dialing_ ? kFirstDialSeconds : kRecheckSeconds) {}

ConnectCountdown::Step ConnectCountdown::tick() {
  seconds_ -= kTickSeconds;
  if (seconds_ > 0) return Step::kWait;
  if (!dialing_) return Step::kCheck;
  seconds_ = kDialingNow;
  return Step::kDial;
}

void ConnectCountdown::dialNow() {
  dialing_ = true;
  seconds_ = kDialingNow;
}

ConnectCountdown::Texts ConnectCountdown::texts() const {
  Texts t;
  const std::string seconds = formatNumber(seconds_);
  if (!dialing_) {
    t.caption = "Haulix Dial-up Connection - Waiting";
    t.status = "Haulix will check for a connection again in " + seconds +
               " seconds. You can connect manually, and then click Try Now. Click Dial to have "
               "Haulix connect the default dial-up connection.";
    t.tryNowEnabled = t.dialEnabled = t.cancelEnabled = true;
  } else if (seconds_ < 0) {
    t.caption = "Haulix Dial-up Connection - Dialing";
    t.status = "Haulix is dialing the default dial-up connection.";
  } else {
    t.caption = "Haulix Dial-up Connection - Pausing";
    t.status = "Haulix will connect the default dial-up connection in " + seconds + " seconds.";
    t.dialEnabled = t.cancelEnabled = true;
  }
  return t;
}
