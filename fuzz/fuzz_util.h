// Helpers shared by the fuzz targets: per-process scratch files for readers
// that take a path, splitting one input into several files, and the small
// hand-made models the drivers need.
#ifndef KORVANE_FUZZ_FUZZ_UTIL_H
#define KORVANE_FUZZ_FUZZ_UTIL_H

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace fuzz {

// A scratch path unique to this process (libFuzzer may run several jobs).
inline std::string scratchPath(const std::string& tag) {
  static const std::string dir = [] {
    return access("/dev/shm", W_OK) == 0 ? std::string("/dev/shm") : std::string("/tmp");
  }();
  return dir + "/korvane-fuzz-" + std::to_string(getpid()) + "-" + tag;
}

inline std::string writeFile(const std::string& tag, const void* data, size_t size) {
  const std::string path = scratchPath(tag);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) __builtin_trap();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) __builtin_trap();
  if (std::fclose(f) != 0) __builtin_trap();
  return path;
}

inline std::string writeFile(const std::string& tag, const std::string& text) {
  return writeFile(tag, text.data(), text.size());
}

inline void removeFile(const std::string& path) { std::remove(path.c_str()); }

// Splits an input into at most `parts` pieces at the separator line "%%"
// ("\n%%\n"); missing pieces are empty, and the last one keeps any further
// separators.
inline std::vector<std::string> splitParts(const uint8_t* data, size_t size, size_t parts) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  static const std::string sep = "\n%%\n";
  std::vector<std::string> out;
  size_t from = 0;
  while (out.size() + 1 < parts) {
    const size_t at = text.find(sep, from);
    if (at == std::string::npos) break;
    out.push_back(text.substr(from, at - from));
    from = at + sep.size();
  }
  out.push_back(text.substr(from));
  out.resize(parts);
  return out;
}

// Keeps scratch files of a run together so that each input cleans up after itself.
struct ScratchFiles {
  std::vector<std::string> paths;
  std::string add(const std::string& tag, const std::string& text) {
    paths.push_back(writeFile(tag, text));
    return paths.back();
  }
  std::string reserve(const std::string& tag) {
    paths.push_back(scratchPath(tag));
    removeFile(paths.back());
    return paths.back();
  }
  ~ScratchFiles() {
    for (const std::string& p : paths) removeFile(p);
  }
};

// Tagging model over labels DT, NN, VB with word, label-context and shape
// features (as the tagger's end-to-end fixture).
inline const char* taggerModel() {
  return "U02\n"
         "The DT 4.000000\n"
         "cat NN 4.000000\n"
         "sat VB 4.000000\n"
         "dog NN 4.000000\n"
         "run VB 0.500000\n"
         "\n"
         "A01\n"
         "run//DT NN 3.000000\n"
         "run//NN VB 3.000000\n"
         "\n"
         "U47\n"
         "m+ch/m+n NN 2.000000";
}

inline const char* taggerDict() { return "The DT\ncat NN\nsat VB\ndog NN\nrun NN VB\n"; }

// Parser state features and a model whose labels are the arc-eager actions.
inline const char* parserTemplate() { return "U01:%S-1[0,0]%S0[0,0]%x[0,0]\nU02:%x[0,1]%S0[0,1]\n"; }
inline const char* parserModel() {
  return "\nU01\n_X0/He/eats 2:SBJ 10.000000\n_X0/_X0/eats 0 10.000000\n_X0/eats/fish 3:OBJ 10.000000\n"
         "zz 1 1.000000\nzz 3:ROOT 1.000000";
}

// Role labelling: candidate and predicate features; labels "0" and "1:A0"...
inline const char* rolesTemplate() { return "U01:%s0[0,1]\nU03:%s0[0,1]%x[0,1]\nB\n"; }
inline const char* rolesModel() {
  return "U01\n__order__ 0 0.000000 1:A0 0.000000 1:A1 0.000000 1:A2 0.000000\n"
         "John 1:A0 2.000000\nold 1:A2 2.000000\n\nU03\nMary/gave 1:A1 3.000000\n"
         "books/gave 1:A2 3.000000\n";
}
inline const char* nivreTemplate() { return "U01:%s0[0,1]\nU02:%x[0,1]\n"; }
inline const char* nivreModel() {
  return "U01\n__order__ 0 0.000000 2:A0 0.000000 5 0.000000 3:A1 0.000000\n"
         "John 2:A0 5.000000\ngave 3:A1 5.000000\n\nU02\ngave 5 2.000000";
}

}  // namespace fuzz

#endif
