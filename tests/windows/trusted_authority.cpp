#include "windows/trusted_authority.h"

#include <windows.h>
// After windows.h.
#include <wincrypt.h>

#include <cstdlib>
#include <vector>

namespace {

bool readText(const std::string& path, std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  CloseHandle(file);
  return true;
}

HCERTSTORE openUserRoot() {
  return CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, "Root");
}

}  // namespace

TrustedAuthority::TrustedAuthority(const std::string& pemPath) {
  std::string pem;
  if (!readText(pemPath, pem)) {
    error_ = "cannot read " + pemPath;
    return;
  }
  DWORD size = 0;
  if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                            nullptr)) {
    error_ = "no certificate in " + pemPath;
    return;
  }
  der_.resize(size);
  CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER,
                       reinterpret_cast<BYTE*>(der_.data()), &size, nullptr, nullptr);
  der_.resize(size);
  HCERTSTORE root = openUserRoot();
  if (!root) {
    error_ = "cannot open the user's Root store";
    return;
  }
  trusted_ = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING,
                                              reinterpret_cast<const BYTE*>(der_.data()),
                                              static_cast<DWORD>(der_.size()),
                                              CERT_STORE_ADD_REPLACE_EXISTING, nullptr) != FALSE;
  if (!trusted_) error_ = "the Root store refused the certificate";
  CertCloseStore(root, 0);
}

TrustedAuthority::~TrustedAuthority() {
  if (!trusted_) return;
  HCERTSTORE root = openUserRoot();
  if (!root) return;
  PCCERT_CONTEXT wanted = CertCreateCertificateContext(
      X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der_.data()), static_cast<DWORD>(der_.size()));
  if (wanted) {
    PCCERT_CONTEXT found = CertFindCertificateInStore(root, X509_ASN_ENCODING, 0,
                                                      CERT_FIND_EXISTING, wanted, nullptr);
    // Deleting frees the context found.
    if (found) CertDeleteCertificateFromStore(found);
    CertFreeCertificateContext(wanted);
  }
  CertCloseStore(root, 0);
}

std::string testCertificatesFolder() {
  const char* folder = std::getenv("HAULIX_TEST_CERTIFICATES");
  return folder ? folder : "";
}
