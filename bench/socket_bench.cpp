// The floor of the simulator transport: a raw round trip over a Unix stream
// socket between two processes, shaped like one WriteBlock of the wire
// protocol (a 28-byte request header and the block out, an 8-byte reply
// back), with plain blocking reads and writes and no protocol work. The
// station's one-port transfer rate is judged against this figure.
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdint>
#include <vector>

namespace {

constexpr size_t kHeaderBytes = 28;
constexpr size_t kReplyBytes = 8;

bool WriteAll(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

bool ReadAll(int fd, uint8_t* p, size_t n) {
  while (n > 0) {
    ssize_t r = ::read(fd, p, n);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

// The peer: answers every request of `block` bytes until the station side
// closes.
[[noreturn]] void Answer(int fd, size_t block) {
  std::vector<uint8_t> in(kHeaderBytes + block);
  uint8_t reply[kReplyBytes] = {};
  while (ReadAll(fd, in.data(), in.size()) && WriteAll(fd, reply, sizeof reply)) {
  }
  _exit(0);
}

void BM_RawRoundTrip(benchmark::State& state) {
  const size_t block = static_cast<size_t>(state.range(0));
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) {
    state.SkipWithError("socketpair failed");
    return;
  }
  pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    Answer(fds[1], block);
  }
  ::close(fds[1]);
  std::vector<uint8_t> request(kHeaderBytes + block, 0x5A);
  uint8_t reply[kReplyBytes];
  for (auto _ : state) {
    if (!WriteAll(fds[0], request.data(), request.size()) || !ReadAll(fds[0], reply, sizeof reply)) {
      state.SkipWithError("the peer went away");
      break;
    }
  }
  ::close(fds[0]);
  if (child > 0) ::waitpid(child, nullptr, 0);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(block));
}

BENCHMARK(BM_RawRoundTrip)->Arg(65024)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
