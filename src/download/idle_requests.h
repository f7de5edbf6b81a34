#pragma once

// Requests that other code leaves for the next idle pass. The pass clears each one before
// acting on it (takeRequest), so a request raised while it acts waits for the next pass.
struct IdleRequests {
  bool selectAllInAddressBox = false;  // the Site Window's address box got the focus
  bool openConnectDialog = false;      // a fetch was refused for want of a connection
};

// True when the request was set; it is clear afterwards.
inline bool takeRequest(bool& request) {
  bool wasSet = request;
  request = false;
  return wasSet;
}
