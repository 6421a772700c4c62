#include "support/process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace ms::testing {
namespace {

pid_t Spawn(const std::vector<std::string>& argv, int out_fd, int err_fd) {
  std::vector<char*> args;
  for (const std::string& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out_fd, 1);
    ::dup2(err_fd, 2);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  return pid;
}

int StatusOf(int raw) { return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1; }

}  // namespace

Finished RunProgram(const std::vector<std::string>& argv) {
  Finished result;
  int out[2];
  int err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) return result;
  const pid_t pid = Spawn(argv, out[1], err[1]);
  ::close(out[1]);
  ::close(err[1]);
  // Read until the program has exited and its pipes are drained. Helpers it
  // left behind (Wine's services) may hold the pipes open, so the end of
  // the program, not the end of the pipes, ends the reading.
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  auto drain = [&](int timeout_ms) {
    bool got = false;
    if (::poll(fds, 2, timeout_ms) <= 0) return got;
    for (pollfd& p : fds) {
      if (p.fd < 0 || !p.revents) continue;
      char buffer[4096];
      const ssize_t n = ::read(p.fd, buffer, sizeof buffer);
      if (n <= 0) {
        ::close(p.fd);
        p.fd = -1;
        continue;
      }
      got = true;
      (&p == &fds[0] ? result.out : result.err)
          .append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  };
  int raw = 0;
  for (;;) {
    if (fds[0].fd < 0 && fds[1].fd < 0) {
      ::waitpid(pid, &raw, 0);
      break;
    }
    drain(50);
    if (::waitpid(pid, &raw, WNOHANG) == pid) {
      while (drain(0)) {
      }
      break;
    }
  }
  for (const pollfd& p : fds)
    if (p.fd >= 0) ::close(p.fd);
  result.status = StatusOf(raw);
  return result;
}

Background::Background(const std::vector<std::string>& argv,
                       const std::string& ready) {
  int out[2];
  if (::pipe(out) != 0) return;
  pid_ = Spawn(argv, out[1], 2);
  ::close(out[1]);
  out_fd_ = out[0];
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{out_fd_, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    char buffer[1024];
    const ssize_t n = ::read(out_fd_, buffer, sizeof buffer);
    if (n <= 0) break;
    output_.append(buffer, static_cast<std::size_t>(n));
    if (output_.find(ready) != std::string::npos) {
      started_ = true;
      return;
    }
  }
}

int Background::Stop() {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGINT);
  int raw = 0;
  ::waitpid(pid_, &raw, 0);
  pid_ = -1;
  if (out_fd_ >= 0) ::close(out_fd_);
  out_fd_ = -1;
  return StatusOf(raw);
}

Background::~Background() { Stop(); }

}  // namespace ms::testing
