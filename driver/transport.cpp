#include "driver/transport.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "driver/connection.hpp"
#include "driver/errors.hpp"

extern char** environ;

namespace pw {

namespace {

constexpr size_t _STDERR_TAIL = 4000;
constexpr size_t _MAX_MESSAGE = 512u * 1024 * 1024;

std::string _errno_text(const std::string& what) { return what + ": " + std::strerror(errno); }

void _set_nonblocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

std::string _signal_name(int sig) {
  const char* name = strsignal(sig);
  return std::to_string(sig) + (name ? std::string(" (") + name + ")" : "");
}

}  // namespace

_Transport::_Transport(const DriverLocation& where) {
  std::string cli = where.playwright_dir + "/cli.js";
  std::vector<std::string> args{where.node, cli, "run-driver"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int sv[2], ev[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0)
    throw ConnectionError(_errno_text("cannot create the pipe to the Playwright driver"));
  if (pipe2(ev, O_CLOEXEC) != 0) {
    ::close(sv[0]);
    ::close(sv[1]);
    throw ConnectionError(_errno_text("cannot create the pipe to the Playwright driver"));
  }
  fcntl(ev[0], F_SETPIPE_SZ, 1 << 20);
  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid < 0) {
    for (int fd : {sv[0], sv[1], ev[0], ev[1]}) ::close(fd);
    throw ConnectionError(_errno_text("cannot start the Playwright driver"));
  }
  if (pid == 0) {
    // Own process group, so a terminal's Ctrl-C reaches the host first; and
    // ended (gracefully: it closes its browsers) when the host dies.
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    signal(SIGPIPE, SIG_DFL);
    dup2(sv[1], 0);
    dup2(sv[1], 1);
    dup2(ev[1], 2);
    execve(argv[0], argv.data(), environ);
    const char msg[] = "cannot run node\n";
    (void)!write(2, msg, sizeof msg - 1);
    _exit(127);
  }
  pid_ = pid;
  ::close(sv[1]);
  ::close(ev[1]);
  sock_ = sv[0];
  err_ = ev[0];
  _set_nonblocking(sock_);
  _set_nonblocking(err_);
}

_Transport::~_Transport() { terminate(std::chrono::seconds(5)); }

void _Transport::queue(const std::string& message) {
  if (out_pos_ > 0 && out_pos_ == out_.size()) {
    out_.clear();
    out_pos_ = 0;
  }
  uint32_t n = static_cast<uint32_t>(message.size());
  char len[4] = {static_cast<char>(n & 0xff), static_cast<char>((n >> 8) & 0xff),
                 static_cast<char>((n >> 16) & 0xff), static_cast<char>((n >> 24) & 0xff)};
  out_.append(len, 4);
  out_ += message;
}

bool _Transport::pump(std::chrono::milliseconds timeout) {
  if (eof_ || sock_ < 0) return false;
  pollfd fds[2] = {{sock_, static_cast<short>(POLLIN | (has_output() ? POLLOUT : 0)), 0},
                   {err_, POLLIN, 0}};
  int nfds = err_ >= 0 ? 2 : 1;
  int rc = poll(fds, nfds, static_cast<int>(std::max<long long>(0, timeout.count())));
  if (rc < 0) return errno == EINTR;
  if (nfds == 2 && (fds[1].revents & (POLLIN | POLLHUP))) _read_stderr();
  if (fds[0].revents & POLLOUT) {
    while (has_output()) {
      ssize_t n = send(sock_, out_.data() + out_pos_, out_.size() - out_pos_, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        out_pos_ += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) break;
      eof_ = true;  // EPIPE or ECONNRESET: the driver is gone
      return false;
    }
  }
  if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
    char buf[65536];
    for (;;) {
      ssize_t n = recv(sock_, buf, sizeof buf, MSG_DONTWAIT);
      if (n > 0) {
        in_.append(buf, static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) break;
      eof_ = true;
      break;
    }
  }
  // Messages already received still count when the pipe closed behind them.
  return !eof_ || in_.size() - in_pos_ >= 4;
}

std::optional<std::string> _Transport::next_message() {
  if (in_.size() - in_pos_ < 4) return std::nullopt;
  auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(in_[in_pos_ + i])); };
  uint32_t n = b(0) | (b(1) << 8) | (b(2) << 16) | (b(3) << 24);
  if (n > _MAX_MESSAGE) throw ConnectionError("Playwright driver sent a message of " + std::to_string(n) +
                                              " bytes, more than the protocol allows");
  if (in_.size() - in_pos_ < 4 + static_cast<size_t>(n)) return std::nullopt;
  std::string message = in_.substr(in_pos_ + 4, n);
  in_pos_ += 4 + n;
  if (in_pos_ > (1u << 20) && in_pos_ * 2 > in_.size()) {
    in_.erase(0, in_pos_);
    in_pos_ = 0;
  }
  return message;
}

void _Transport::_read_stderr() {
  char buf[8192];
  for (;;) {
    ssize_t n = read(err_, buf, sizeof buf);
    if (n > 0) {
      stderr_tail_.append(buf, static_cast<size_t>(n));
      if (stderr_tail_.size() > 2 * _STDERR_TAIL) stderr_tail_.erase(0, stderr_tail_.size() - _STDERR_TAIL);
      continue;
    }
    if (n == 0) {
      ::close(err_);
      err_ = -1;
    }
    break;
  }
}

bool _Transport::_reap(bool block) {
  if (exit_status_) return true;
  if (pid_ <= 0) return true;
  int status = 0;
  pid_t r = waitpid(pid_, &status, block ? 0 : WNOHANG);
  if (r == pid_) {
    exit_status_ = status;
    return true;
  }
  if (r < 0 && errno == ECHILD) {
    exit_status_ = 0;
    return true;
  }
  return false;
}

std::string _Transport::closed_reason() {
  // Give a dying process a moment to be reaped, so the status is known.
  for (int i = 0; i < 20 && !_reap(false); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (err_ >= 0) _read_stderr();
  std::string why;
  if (!exit_status_)
    why = "the Playwright driver closed its pipe (node pid " + std::to_string(pid_) + ")";
  else if (WIFSIGNALED(*exit_status_))
    why = "the Playwright driver (node pid " + std::to_string(pid_) + ") was killed by signal " +
          _signal_name(WTERMSIG(*exit_status_));
  else
    why = "the Playwright driver (node pid " + std::to_string(pid_) + ") exited with status " +
          std::to_string(WEXITSTATUS(*exit_status_));
  std::string tail = stderr_tail_.size() > _STDERR_TAIL ? stderr_tail_.substr(stderr_tail_.size() - _STDERR_TAIL)
                                                        : stderr_tail_;
  while (!tail.empty() && (tail.back() == '\n' || tail.back() == ' ')) tail.pop_back();
  if (!tail.empty()) why += "; it wrote:\n" + tail;
  return why;
}

std::vector<ProcessId> _Transport::_descendants() const {
  if (pid_ <= 0 || exit_status_) return {};
  auto tree = process_tree(pid_);
  if (!tree.empty()) tree.erase(tree.begin());  // node itself
  return tree;
}

void _Transport::remember_processes() {
  for (auto& p : _descendants())
    if (std::find(known_.begin(), known_.end(), p) == known_.end()) known_.push_back(p);
}

void _Transport::terminate(std::chrono::milliseconds grace) {
  if (pid_ <= 0) return;
  remember_processes();
  auto browsers = known_;
  if (sock_ >= 0) {
    shutdown(sock_, SHUT_RDWR);
    ::close(sock_);
    sock_ = -1;
  }
  eof_ = true;
  // A stopped process (SIGSTOP, a debugger) cannot exit on its own: let it
  // run, so it can see its pipe close, or at least die when killed.
  kill(-pid_, SIGCONT);
  kill(pid_, SIGCONT);
  for (auto& p : browsers)
    if (running(p)) kill(p.pid, SIGCONT);
  auto until = std::chrono::steady_clock::now() + grace;
  while (!_reap(false) && std::chrono::steady_clock::now() < until) {
    if (err_ >= 0) _read_stderr();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!exit_status_) {
    kill(-pid_, SIGKILL);
    kill(pid_, SIGKILL);
    _reap(true);
  }
  // Browsers run in process groups of their own and exit when their pipe
  // to the driver closes; make sure of it.
  auto browsers_until = std::chrono::steady_clock::now() + grace;
  for (;;) {
    bool any = false;
    for (auto& p : browsers) any = any || running(p);
    if (!any || std::chrono::steady_clock::now() >= browsers_until) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  for (auto& p : browsers)
    if (running(p)) kill(getpgid(p.pid) == p.pid ? -p.pid : p.pid, SIGKILL);
  if (err_ >= 0) {
    _read_stderr();
    if (err_ >= 0) ::close(err_);
    err_ = -1;
  }
  pid_ = 0;
}

}  // namespace pw
