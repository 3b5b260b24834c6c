#include "text/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

ReplacementTarget replacementTarget(const std::string& path) {
  ReplacementTarget target;
  target.path = path;
  // A link loop stops the walk; the rename then fails with a message.
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(target.path.c_str(), &st) != 0) return target;  // not there yet
    if (!S_ISLNK(st.st_mode)) {
      target.direct = !S_ISREG(st.st_mode);
      return target;
    }
    std::vector<char> buffer(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    const ssize_t n = ::readlink(target.path.c_str(), buffer.data(), buffer.size());
    if (n < 0 || static_cast<size_t>(n) >= buffer.size()) return target;
    std::string next(buffer.data(), static_cast<size_t>(n));
    if (!next.empty() && next[0] != '/') {
      const size_t slash = target.path.rfind('/');
      if (slash != std::string::npos) next = target.path.substr(0, slash + 1) + next;
    }
    target.path = next;
  }
  return target;
}

bool writeWholeFile(const std::string& path, const std::string& bytes, std::string& error) {
  const ReplacementTarget target = replacementTarget(path);
  std::string temp;
  int fd = -1;
  if (target.direct) {
    fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
  } else {
    fd = createTempBeside(target.path, temp);
  }
  if (fd < 0) {
    error = "Error: cannot write " + path + ": " + std::strerror(errno) + ".";
    return false;
  }
  size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += static_cast<size_t>(n);
  }
  int savedErrno = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  if (ok && !target.direct && std::rename(temp.c_str(), target.path.c_str()) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    if (!target.direct) std::remove(temp.c_str());
    error = "Error: cannot write " + path + ": " + std::strerror(savedErrno) + ".";
  }
  return ok;
}

int createTempBeside(const std::string& target, std::string& tempPath) {
  std::string pattern = target + ".tmp.XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return -1;
  struct stat st;
  mode_t mode;
  if (::stat(target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd, mode) != 0) { /* keeps mkstemp's 0600: still a usable file */ }
  tempPath = name.data();
  return fd;
}
