// The process-wide active lexicon of one kind (WordNet, the Chinese word
// list, the English word list). Feature values read the active one; every
// lexicon loaded stays alive until exit, so a reader never sees one freed
// under it, and the active one is switched only while nothing tags.
#ifndef KORVANE_FEATURES_LEXICON_SLOT_H
#define KORVANE_FEATURES_LEXICON_SLOT_H

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

template <typename Lexicon>
class LexiconSlot {
 public:
  const Lexicon* active() const { return active_.load(); }

  // Reads a lexicon with Lexicon::load(path, error) and makes it active;
  // false, after "Error: <what>: <error> (<hint>)." on standard error, when
  // it cannot be read.
  bool load(const std::string& path, const char* what, const char* hint) {
    std::unique_ptr<Lexicon> lexicon(new Lexicon);
    std::string error;
    if (!lexicon->load(path, error)) {
      std::fprintf(stderr, "Error: %s: %s (%s).\n", what, error.c_str(), hint);
      return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    active_.store(lexicon.get());
    loaded_.push_back(std::move(lexicon));
    return true;
  }

  // Makes the default lexicon active, reading it from path the first time.
  bool loadDefault(const std::string& path, const char* what, const char* hint) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (default_ != nullptr) {
        active_.store(default_);
        return true;
      }
    }
    if (!load(path, what, hint)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    default_ = active_.load();
    return true;
  }

 private:
  std::mutex mutex_;
  std::atomic<const Lexicon*> active_{nullptr};
  std::vector<std::unique_ptr<Lexicon>> loaded_;
  const Lexicon* default_ = nullptr;
};

#endif
