#pragma once

// The server's RSA key for the encrypted password exchange (passwordexchange.h): made
// once a process, 1024 bits, through nettle and GMP. The public half goes to the client
// as a PKCS#1 "RSA PUBLIC KEY" in PEM form, which is what FreeTDS reads; the client's
// answer is RSA-OAEP with SHA-1 and an empty label.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tds {

class RsaKey {
  public:
    // The process's key, made on first use.
    static const RsaKey& shared();
    ~RsaKey();

    RsaKey(const RsaKey&) = delete;
    RsaKey& operator=(const RsaKey&) = delete;

    const std::string& publicKeyPem() const { return pem_; }
    // The message the client encrypted, or nothing when the bytes do not decrypt to a
    // well-formed OAEP block under this key.
    std::optional<std::string> decrypt(std::string_view encrypted) const;

    // Fresh random bytes (the nonce of each offer).
    static std::string randomBytes(std::size_t count);

  private:
    RsaKey();
    struct Parts;
    std::unique_ptr<Parts> parts_;
    std::string pem_;
};

} // namespace tds
