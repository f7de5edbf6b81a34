#pragma once
#include <string>

// A certificate authority trusted by every program of the Wine prefix while the object
// lives: its certificate (a PEM file) is added to the current user's "Root" store, which the
// system's chain check (and so WinInet) reads, and taken out again when the object goes.
class TrustedAuthority {
 public:
  explicit TrustedAuthority(const std::string& pemPath);
  ~TrustedAuthority();
  TrustedAuthority(const TrustedAuthority&) = delete;
  TrustedAuthority& operator=(const TrustedAuthority&) = delete;

  bool trusted() const { return trusted_; }
  const std::string& error() const { return error_; }

 private:
  std::string der_;  // the certificate as stored
  bool trusted_ = false;
  std::string error_;
};

// The folder of the test certificates (scripts/make-test-certificates.sh), from the
// environment (HAULIX_TEST_CERTIFICATES, a Unix path); empty when not set.
std::string testCertificatesFolder();
