#include "app/file_guard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "text/file_replace.h"
#include "text/text_check.h"

namespace {

bool isNone(const std::string& name) { return name.empty() || name == "NULL"; }

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A fresh file in $TMPDIR (or /tmp); its descriptor, or -1 after a message.
int scratchFile(const char* stem, std::string& path) {
  const char* dir = std::getenv("TMPDIR");
  std::string pattern = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/" + stem + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    std::fprintf(stderr, "Error: cannot create a temporary file %s: %s.\n", pattern.c_str(), std::strerror(errno));
    return -1;
  }
  path = name.data();
  return fd;
}

// Copies everything from one descriptor to another; false on a read or write error.
bool copyAll(int from, int to) {
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(from, buffer, sizeof buffer);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(to, buffer + done, static_cast<size_t>(n - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      done += w;
    }
  }
}

struct Identity {
  dev_t dev;
  ino_t ino;
  const std::string* name;
};

}  // namespace

bool stdoutWritten() {
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return true;
  std::fprintf(stderr, "Error: write to standard output failed.\n");
  return false;
}

OutputFile::~OutputFile() { discard(); }

void OutputFile::discard() {
  if (temporary_) std::remove(path_.c_str());
  temporary_ = false;
}

bool OutputFile::commit() {
  if (!temporary_) return true;
  temporary_ = false;
  if (isStdout() && !stream_) {
    std::fflush(stdout);
    const int fd = ::open(path_.c_str(), O_RDONLY);
    const bool ok = fd >= 0 && copyAll(fd, STDOUT_FILENO);
    const int savedErrno = errno;
    if (fd >= 0) ::close(fd);
    std::remove(path_.c_str());
    if (!ok) std::fprintf(stderr, "Error: write to standard output failed: %s.\n", std::strerror(savedErrno));
    return ok;
  }
  if (std::rename(path_.c_str(), target_.c_str()) != 0) {
    std::fprintf(stderr, "Error: cannot write %s: %s.\n", name_.c_str(), std::strerror(errno));
    std::remove(path_.c_str());
    return false;
  }
  return true;
}

FileGuard::~FileGuard() {
  for (const auto& in : inputs_)
    if (in->spooled_) std::remove(in->path_.c_str());
}

InputFile& FileGuard::reads(const std::string& name) {
  inputs_.emplace_back(new InputFile);
  inputs_.back()->name_ = name;
  inputs_.back()->path_ = name;
  return *inputs_.back();
}

InputFile& FileGuard::readsStream(const std::string& name) {
  InputFile& in = reads(name);
  in.stream_ = true;
  return in;
}

InputFile& FileGuard::readsText(const std::string& name) {
  InputFile& in = reads(name);
  in.text_ = true;
  return in;
}

OutputFile& FileGuard::writes(const std::string& name) {
  outputs_.emplace_back(new OutputFile);
  outputs_.back()->name_ = name;
  outputs_.back()->path_ = name;
  outputs_.back()->target_ = name;
  return *outputs_.back();
}

OutputFile& FileGuard::writesStream(const std::string& name) {
  OutputFile& out = writes(name);
  out.stream_ = true;
  return out;
}

bool FileGuard::check() {
  std::vector<Identity> read;
  for (const auto& in : inputs_) {
    if (isNone(in->name_)) continue;
    if (in->isStdin()) {
      if (in->stream_) continue;
      // Library readers open paths, some of them twice: they get a copy.
      const int fd = scratchFile("korvane-stdin", in->path_);
      if (fd < 0) return false;
      in->spooled_ = true;
      const bool ok = copyAll(STDIN_FILENO, fd);
      const int savedErrno = errno;
      if (::close(fd) != 0 || !ok) {
        std::fprintf(stderr, "Error: cannot read standard input: %s.\n", std::strerror(savedErrno));
        return false;
      }
      if (in->text_ && !checkTextFile(in->path_)) return false;
      continue;
    }
    struct stat st;
    if (::stat(in->name_.c_str(), &st) != 0) {
      std::fprintf(stderr, "Error: cannot read %s: %s.\n", in->name_.c_str(), std::strerror(errno));
      return false;
    }
    if (S_ISDIR(st.st_mode)) {
      std::fprintf(stderr, "Error: %s is a directory, not a file.\n", in->name_.c_str());
      return false;
    }
    // Non-blocking, so that probing a pipe does not wait for its writer.
    const int fd = ::open(in->name_.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
      std::fprintf(stderr, "Error: cannot read %s: %s.\n", in->name_.c_str(), std::strerror(errno));
      return false;
    }
    ::close(fd);
    if (in->text_ && !checkTextFile(in->name_)) return false;
    read.push_back({st.st_dev, st.st_ino, &in->name_});
  }

  std::vector<Identity> written;
  std::vector<const OutputFile*> resolved;
  for (const auto& out : outputs_) {
    if (out->isStdout()) {
      if (out->stream_) continue;
      const int fd = scratchFile("korvane-stdout", out->path_);
      if (fd < 0) return false;
      ::close(fd);
      out->temporary_ = true;
      continue;
    }
    struct stat st;
    if (::stat(out->name_.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "Error: output %s is a directory.\n", out->name_.c_str());
        return false;
      }
      for (const Identity& in : read) {
        if (in.dev == st.st_dev && in.ino == st.st_ino) {
          std::fprintf(stderr, "Error: output file %s is the same file as %s; refusing to overwrite it.\n",
                       out->name_.c_str(), in.name->c_str());
          return false;
        }
      }
      for (const Identity& other : written) {
        if (other.dev == st.st_dev && other.ino == st.st_ino) {
          std::fprintf(stderr, "Error: output files %s and %s are the same file.\n", other.name->c_str(),
                       out->name_.c_str());
          return false;
        }
      }
      written.push_back({st.st_dev, st.st_ino, &out->name_});
      // Renaming would replace a file its owner made read-only.
      if (::access(out->name_.c_str(), W_OK) != 0) {
        std::fprintf(stderr, "Error: cannot write %s: %s.\n", out->name_.c_str(), std::strerror(errno));
        return false;
      }
    }
    const ReplacementTarget target = replacementTarget(out->name_);
    out->target_ = target.path;
    if (target.direct) {
      out->direct_ = true;
      continue;
    }
    for (const OutputFile* other : resolved) {
      if (other->target_ == out->target_) {
        std::fprintf(stderr, "Error: output files %s and %s are the same file.\n", other->name_.c_str(),
                     out->name_.c_str());
        return false;
      }
    }
    resolved.push_back(out.get());
    // Creating the temporary file is the proof that the folder takes it.
    std::string temp;
    const int fd = createTempBeside(out->target_, temp);
    if (fd < 0) {
      const std::string folder = folderOf(out->target_);
      if (errno == ENOENT)
        std::fprintf(stderr, "Error: cannot write %s: the folder %s does not exist.\n", out->name_.c_str(),
                     folder.c_str());
      else
        std::fprintf(stderr, "Error: cannot write %s in the folder %s: %s.\n", out->name_.c_str(), folder.c_str(),
                     std::strerror(errno));
      return false;
    }
    ::close(fd);
    out->path_ = temp;
    out->temporary_ = true;
  }
  return true;
}
