#include "package/package_sha256.h"

#include <openssl/evp.h>

#include <vector>

namespace flashery {

struct PackageSha256::State {
  EVP_MD_CTX* ctx = nullptr;
};

namespace {

std::string Hex(const unsigned char* d, unsigned n) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  s.reserve(n * 2);
  for (unsigned i = 0; i < n; ++i) {
    s.push_back(digits[d[i] >> 4]);
    s.push_back(digits[d[i] & 15]);
  }
  return s;
}

}  // namespace

PackageSha256::PackageSha256(const PackageFile& file) : file_(file), state_(std::make_unique<State>()) {
  state_->ctx = EVP_MD_CTX_new();
  if (!state_->ctx || EVP_DigestInit_ex(state_->ctx, EVP_sha256(), nullptr) != 1) failed_ = true;
}

PackageSha256::~PackageSha256() { EVP_MD_CTX_free(state_->ctx); }

bool PackageSha256::HashFileRange(uint64_t end) {
  constexpr size_t kPiece = 1u << 20;
  std::vector<uint8_t> buffer;
  while (!failed_ && next_ < end) {
    size_t n = end - next_ < kPiece ? static_cast<size_t>(end - next_) : kPiece;
    buffer.resize(n);
    if (!file_.ReadAt(next_, buffer.data(), n) || EVP_DigestUpdate(state_->ctx, buffer.data(), n) != 1) {
      failed_ = true;
      break;
    }
    next_ += n;
  }
  return !failed_;
}

void PackageSha256::OnRead(uint64_t offset, const uint8_t* data, size_t n) {
  if (failed_) return;
  if (offset > file_.size() || n > file_.size() - offset) {  // not bytes of this file
    failed_ = true;
    return;
  }
  if (offset > next_ && !HashFileRange(offset)) return;
  uint64_t end = offset + n;
  if (end <= next_) return;  // already in the hash
  size_t skip = static_cast<size_t>(next_ - offset);
  if (EVP_DigestUpdate(state_->ctx, data + skip, n - skip) != 1) {
    failed_ = true;
    return;
  }
  next_ = end;
}

std::optional<std::string> PackageSha256::Finish() {
  if (failed_ || !HashFileRange(file_.size())) return std::nullopt;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned len = 0;
  if (EVP_DigestFinal_ex(state_->ctx, digest, &len) != 1) return std::nullopt;
  failed_ = true;  // one value per hash
  return Hex(digest, len);
}

std::string Sha256Hex(const void* data, size_t n) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned len = 0;
  if (EVP_Digest(data, n, digest, &len, EVP_sha256(), nullptr) != 1) return {};
  return Hex(digest, len);
}

}  // namespace flashery
