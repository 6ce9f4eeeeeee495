#include "package/package_sha256.h"

#include <openssl/evp.h>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace flashery {

// The hash runs on a thread of its own, one piece behind the verification:
// each piece is copied into one of a few buffers and hashed there while the
// verification reads and checks the next, so the two costs overlap instead
// of adding up. The reader waits only when every buffer is still queued.
struct PackageSha256::State {
  static constexpr size_t kBuffers = 4;

  EVP_MD_CTX* ctx = nullptr;
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::vector<uint8_t>> queued;
  std::vector<std::vector<uint8_t>> spare;
  size_t inUse = 0;  // queued or being hashed
  bool closing = false;
  bool hashFailed = false;
  std::thread worker;

  void Run() {
    std::unique_lock lock(mutex);
    for (;;) {
      changed.wait(lock, [&] { return !queued.empty() || closing; });
      if (queued.empty()) return;
      std::vector<uint8_t> piece = std::move(queued.front());
      queued.pop_front();
      lock.unlock();
      bool ok = EVP_DigestUpdate(ctx, piece.data(), piece.size()) == 1;
      lock.lock();
      hashFailed = hashFailed || !ok;
      spare.push_back(std::move(piece));
      --inUse;
      changed.notify_all();
    }
  }

  void Push(const uint8_t* data, size_t n) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return inUse < kBuffers; });
    std::vector<uint8_t> piece;
    if (!spare.empty()) {
      piece = std::move(spare.back());
      spare.pop_back();
    }
    piece.assign(data, data + n);
    queued.push_back(std::move(piece));
    ++inUse;
    changed.notify_all();
  }

  // Waits until every queued piece is hashed and ends the thread.
  bool Close() {
    {
      std::lock_guard lock(mutex);
      closing = true;
    }
    changed.notify_all();
    if (worker.joinable()) worker.join();
    return !hashFailed;
  }
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
  if (!state_->ctx || EVP_DigestInit_ex(state_->ctx, EVP_sha256(), nullptr) != 1) {
    failed_ = true;
    return;
  }
  state_->worker = std::thread([s = state_.get()] { s->Run(); });
}

PackageSha256::~PackageSha256() {
  state_->Close();
  EVP_MD_CTX_free(state_->ctx);
}

bool PackageSha256::HashFileRange(uint64_t end) {
  constexpr size_t kPiece = 1u << 20;
  std::vector<uint8_t> buffer;
  while (!failed_ && next_ < end) {
    size_t n = end - next_ < kPiece ? static_cast<size_t>(end - next_) : kPiece;
    buffer.resize(n);
    if (!file_.ReadAt(next_, buffer.data(), n)) {
      failed_ = true;
      break;
    }
    state_->Push(buffer.data(), n);
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
  state_->Push(data + skip, n - skip);
  next_ = end;
}

std::optional<std::string> PackageSha256::Finish() {
  if (failed_ || !HashFileRange(file_.size())) return std::nullopt;
  failed_ = true;  // one value per hash
  if (!state_->Close()) return std::nullopt;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned len = 0;
  if (EVP_DigestFinal_ex(state_->ctx, digest, &len) != 1) return std::nullopt;
  return Hex(digest, len);
}

std::string Sha256Hex(const void* data, size_t n) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned len = 0;
  if (EVP_Digest(data, n, digest, &len, EVP_sha256(), nullptr) != 1) return {};
  return Hex(digest, len);
}

}  // namespace flashery
