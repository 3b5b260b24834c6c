// The process-wide active lexicon of one kind (WordNet, the Chinese word
// list, the English word list). Feature values read the active one; every
// lexicon loaded stays alive until exit, so a reader never sees one freed
// under it, and the active one is switched only while nothing tags.
#ifndef KORVANE_FEATURES_LEXICON_SLOT_H
#define KORVANE_FEATURES_LEXICON_SLOT_H

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

template <typename Lexicon>
class LexiconSlot {
 public:
  // what names the lexicon in messages ("word list"), package the Debian
  // package that holds it; its default file or folder is $variable when set,
  // else fallback.
  LexiconSlot(const char* what, const char* package, const char* variable, const char* fallback)
      : what_(what), package_(package), variable_(variable), fallback_(fallback) {}

  const Lexicon* active() const { return active_.load(); }

  std::string defaultPath() const {
    const char* path = std::getenv(variable_);
    return path != nullptr && *path != '\0' ? path : fallback_;
  }

  // Reads a lexicon with Lexicon::load(path, error) and makes it active;
  // false, after "Error: <what>: <error> (Debian package <package>;
  // scripts/setup installs it)." on standard error, when it cannot be read.
  bool load(const std::string& path) {
    std::unique_ptr<Lexicon> lexicon(new Lexicon);
    std::string error;
    if (!lexicon->load(path, error)) {
      std::fprintf(stderr, "Error: %s: %s (Debian package %s; scripts/setup installs it).\n", what_,
                   error.c_str(), package_);
      return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    active_.store(lexicon.get());
    loaded_.push_back(std::move(lexicon));
    return true;
  }

  // Makes the default lexicon active, reading it from defaultPath() the first time.
  bool loadDefault() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (default_ != nullptr) {
        active_.store(default_);
        return true;
      }
    }
    if (!load(defaultPath())) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    default_ = active_.load();
    return true;
  }

 private:
  const char* what_;
  const char* package_;
  const char* variable_;
  const char* fallback_;
  std::mutex mutex_;
  std::atomic<const Lexicon*> active_{nullptr};
  std::vector<std::unique_ptr<Lexicon>> loaded_;
  const Lexicon* default_ = nullptr;
};

#endif
