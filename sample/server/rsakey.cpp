#include "sample/server/rsakey.h"

#include <nettle/base64.h>
#include <nettle/bignum.h>
#include <nettle/rsa.h>
#include <nettle/sha1.h>

#include <mutex>
#include <random>
#include <stdexcept>

namespace tds {
namespace {

constexpr unsigned kKeyBits = 1024;
constexpr std::size_t kHashSize = SHA1_DIGEST_SIZE;

void randomFill(void*, std::size_t length, std::uint8_t* out) {
    static std::mutex mutex;
    static std::random_device device;
    std::lock_guard lock(mutex);
    for (std::size_t i = 0; i < length; ++i)
        out[i] = std::uint8_t(device());
}

std::string sha1(std::string_view data) {
    sha1_ctx context;
    sha1_init(&context);
    sha1_update(&context, data.size(), reinterpret_cast<const std::uint8_t*>(data.data()));
    std::string digest(kHashSize, '\0');
    sha1_digest(&context, kHashSize, reinterpret_cast<std::uint8_t*>(digest.data()));
    return digest;
}

// MGF1 with SHA-1: `length` bytes of mask from `seed`.
std::string mask(std::string_view seed, std::size_t length) {
    std::string out;
    for (std::uint32_t counter = 0; out.size() < length; ++counter) {
        std::string block(seed);
        for (int shift = 24; shift >= 0; shift -= 8)
            block.push_back(char(counter >> shift));
        out += sha1(block);
    }
    out.resize(length);
    return out;
}

void xorInto(std::string& target, std::string_view with) {
    for (std::size_t i = 0; i < target.size(); ++i)
        target[i] = char(target[i] ^ with[i]);
}

// An unsigned DER INTEGER.
std::string derInteger(const mpz_t value) {
    const std::size_t size = nettle_mpz_sizeinbase_256_u(value);
    std::string bytes(size, '\0');
    nettle_mpz_get_str_256(size, reinterpret_cast<std::uint8_t*>(bytes.data()), value);
    if (bytes.empty() || (std::uint8_t(bytes[0]) & 0x80))
        bytes.insert(bytes.begin(), '\0');
    return bytes;
}

std::string derItem(std::uint8_t tag, const std::string& content) {
    std::string out(1, char(tag));
    const std::size_t n = content.size();
    if (n < 0x80) {
        out.push_back(char(n));
    } else {
        std::string length;
        for (std::size_t rest = n; rest > 0; rest >>= 8)
            length.insert(length.begin(), char(rest & 0xff));
        out.push_back(char(0x80 | length.size()));
        out += length;
    }
    return out + content;
}

std::string pemOf(const rsa_public_key& key) {
    const std::string der =
        derItem(0x30, derItem(0x02, derInteger(key.n)) + derItem(0x02, derInteger(key.e)));
    std::string base64(BASE64_ENCODE_RAW_LENGTH(der.size()), '\0');
    base64_encode_raw(reinterpret_cast<char*>(base64.data()), der.size(),
                      reinterpret_cast<const std::uint8_t*>(der.data()));
    std::string pem = "-----BEGIN RSA PUBLIC KEY-----\n";
    for (std::size_t at = 0; at < base64.size(); at += 64)
        pem += base64.substr(at, 64) + "\n";
    return pem + "-----END RSA PUBLIC KEY-----\n";
}

} // namespace

struct RsaKey::Parts {
    rsa_public_key publicKey;
    rsa_private_key privateKey;
    Parts() {
        rsa_public_key_init(&publicKey);
        rsa_private_key_init(&privateKey);
    }
    ~Parts() {
        rsa_public_key_clear(&publicKey);
        rsa_private_key_clear(&privateKey);
    }
    Parts(const Parts&) = delete;
    Parts& operator=(const Parts&) = delete;
};

const RsaKey& RsaKey::shared() {
    static const RsaKey key;
    return key;
}

RsaKey::RsaKey() : parts_(std::make_unique<Parts>()) {
    mpz_set_ui(parts_->publicKey.e, 65537);
    if (!rsa_generate_keypair(&parts_->publicKey, &parts_->privateKey, nullptr, randomFill, nullptr,
                              nullptr, kKeyBits, 0))
        throw std::runtime_error("The server's RSA key could not be made.");
    pem_ = pemOf(parts_->publicKey);
}

RsaKey::~RsaKey() = default;

std::optional<std::string> RsaKey::decrypt(std::string_view encrypted) const {
    const std::size_t size = parts_->publicKey.size;
    if (encrypted.size() != size)
        return std::nullopt;
    mpz_t c, m;
    mpz_init(c);
    mpz_init(m);
    nettle_mpz_set_str_256_u(c, size, reinterpret_cast<const std::uint8_t*>(encrypted.data()));
    std::string block(size, '\0');
    const bool inRange = mpz_cmp(c, parts_->publicKey.n) < 0;
    if (inRange) {
        rsa_compute_root(&parts_->privateKey, m, c);
        nettle_mpz_get_str_256(size, reinterpret_cast<std::uint8_t*>(block.data()), m);
    }
    mpz_clear(c);
    mpz_clear(m);
    // EM = 0x00 || maskedSeed (20) || maskedDB; DB = SHA-1("") || zeros || 0x01 || message.
    if (!inRange || block[0] != '\0' || size < 2 * kHashSize + 2)
        return std::nullopt;
    std::string seed = block.substr(1, kHashSize);
    std::string db = block.substr(1 + kHashSize);
    xorInto(seed, mask(db, kHashSize));
    xorInto(db, mask(seed, db.size()));
    if (db.compare(0, kHashSize, sha1("")) != 0)
        return std::nullopt;
    std::size_t at = kHashSize;
    while (at < db.size() && db[at] == '\0')
        ++at;
    if (at == db.size() || db[at] != '\x01')
        return std::nullopt;
    return db.substr(at + 1);
}

std::string RsaKey::randomBytes(std::size_t count) {
    std::string out(count, '\0');
    randomFill(nullptr, count, reinterpret_cast<std::uint8_t*>(out.data()));
    return out;
}

} // namespace tds
