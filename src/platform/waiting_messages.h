#pragma once

// Whether the window's thread has messages waiting that someone waits on in turn: the
// user's input, and messages sent or posted to its windows. Long work on the controls
// gives way to them between its parts.
class WaitingMessages {
 public:
  virtual ~WaitingMessages() = default;
  virtual bool messageWaits() const = 0;
};
