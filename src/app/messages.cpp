#include "app/messages.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "app/command_line.h"

namespace {

std::atomic<bool> gQuiet{false};
std::atomic<bool> gTerminal{false};

// The running filter: the pipe standard error is sent into, the descriptor
// it came from, and the thread that forwards.
struct Route {
  int savedFd = -1;
  int writeFd = -1;
  int readFd = -1;
  std::thread forwarder;
};
Route* gRoute = nullptr;
std::mutex gRouteMutex;

bool startsWith(const std::string& s, size_t at, const char* prefix) {
  return s.compare(at, std::char_traits<char>::length(prefix), prefix) == 0;
}

bool isImportant(const std::string& segment) {
  return startsWith(segment, 0, "Error") || startsWith(segment, 0, "Warning");
}

void writeAll(int fd, const std::string& s) {
  size_t done = 0;
  while (done < s.size()) {
    const ssize_t n = ::write(fd, s.data() + done, s.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

// Forwards pipe bytes to `out` one segment (up to "\n" or "\r") at a time.
void forward(int in, int out) {
  std::string pending, emit;
  bool open = false;  // the last segment written ended in "\r"
  char buffer[4096];
  auto segment = [&](std::string s) {
    // "Loading model Error: ...": the message before the error gets its line end.
    for (const char* marker : {"Error: ", "Warning: "}) {
      const size_t at = s.find(marker);
      if (at != std::string::npos && at > 0 && s[at - 1] != '\n') {
        const std::string head = s.substr(0, at);
        s.erase(0, at);
        if (!gQuiet) {
          if (open) emit += "\n";
          emit += head + "\n";
          open = false;
        }
        break;
      }
    }
    if (gQuiet && !isImportant(s)) return;
    if (open && !(s.size() > 0 && s[0] == '#')) emit += "\n";
    emit += s;
    open = !s.empty() && s.back() == '\r';
  };
  for (;;) {
    const ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n <= 0) break;
    pending.append(buffer, static_cast<size_t>(n));
    size_t start = 0;
    for (size_t i = 0; i < pending.size(); ++i) {
      if (pending[i] == '\n' || pending[i] == '\r') {
        segment(pending.substr(start, i + 1 - start));
        start = i + 1;
      }
    }
    pending.erase(0, start);
    writeAll(out, emit);
    emit.clear();
  }
  if (!pending.empty()) segment(pending + "\n");
  else if (open) emit += "\n";
  writeAll(out, emit);
}

void stopRoute() {
  std::lock_guard<std::mutex> lock(gRouteMutex);
  if (gRoute == nullptr) return;
  std::fflush(stderr);
  ::dup2(gRoute->savedFd, STDERR_FILENO);
  ::close(gRoute->writeFd);
  if (gRoute->forwarder.joinable()) gRoute->forwarder.join();
  ::close(gRoute->readFd);
  ::close(gRoute->savedFd);
  delete gRoute;
  gRoute = nullptr;
}

// A command that exits the process (the trainer's label limit) still gets
// its last messages out.
void stopAtExit() { stopRoute(); }

}  // namespace

MessageFilter::MessageFilter() {
  gQuiet = false;
  std::fflush(stderr);
  gTerminal = ::isatty(STDERR_FILENO) != 0;
  std::lock_guard<std::mutex> lock(gRouteMutex);
  if (gRoute != nullptr) return;
  int fds[2];
  if (::pipe(fds) != 0) return;
  const int saved = ::dup(STDERR_FILENO);
  if (saved < 0 || ::dup2(fds[1], STDERR_FILENO) < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    if (saved >= 0) ::close(saved);
    return;
  }
  gRoute = new Route;
  gRoute->savedFd = saved;
  gRoute->writeFd = fds[1];
  gRoute->readFd = fds[0];
  gRoute->forwarder = std::thread(forward, fds[0], saved);
  static bool registered = false;
  if (!registered) {
    std::atexit(stopAtExit);
    registered = true;
  }
}

MessageFilter::~MessageFilter() { stopRoute(); }

void MessageFilter::setQuiet(bool quiet) { gQuiet = quiet; }

bool MessageFilter::terminal() { return gTerminal; }

ProgressLine::ProgressLine(const CommandLine& cl, std::string unit)
    : enabled_(!cl.quiet() && (cl.progress() || MessageFilter::terminal())), unit_(std::move(unit)) {
  start_ = last_ = std::chrono::steady_clock::now();
}

void ProgressLine::update(long done) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  if (elapsed < 2.0 || std::chrono::duration<double>(now - last_).count() < 0.5) return;
  last_ = now;
  std::fprintf(stderr, "#%ld %s, %.0f %s/s, %.1f s\r", done, unit_.c_str(), done / elapsed, unit_.c_str(), elapsed);
  shown_ = true;
}

void ProgressLine::finish() {
  if (shown_) std::fputc('\n', stderr);
  shown_ = false;
}
