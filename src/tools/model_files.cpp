#include "tools/model_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "text/line_utils.h"

#ifndef KORVANE_SOURCE_MODELS_DIR
#define KORVANE_SOURCE_MODELS_DIR "models"
#endif
#ifndef KORVANE_INSTALL_MODELS_DIR
#define KORVANE_INSTALL_MODELS_DIR "/usr/local/share/korvane/models"
#endif

namespace {

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string trimmed(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  const size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

bool isFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Text as a person would type it: no control bytes other than tab.
bool plainText(const std::string& s) {
  for (unsigned char c : s)
    if ((c < 0x20 && c != '\t') || c == 0x7f) return false;
  return true;
}

}  // namespace

std::string ModelManifest::value(const std::string& key) const {
  const auto it = values.find(key);
  return it == values.end() ? std::string() : it->second;
}

std::string ModelManifest::file(const std::string& key) const {
  const std::string v = value(key);
  if (v.empty() || v[0] == '/') return v;
  return folderOf(path) + "/" + v;
}

std::string manifestPathFor(const std::string& modelPath) {
  const size_t slash = modelPath.rfind('/');
  const size_t dot = modelPath.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (hasExtension ? modelPath.substr(0, dot) : modelPath) + ".manifest";
}

bool readManifest(const std::string& path, ModelManifest& manifest) {
  manifest = ModelManifest();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    std::fprintf(stderr, "Error: cannot read the manifest %s.\n", path.c_str());
    return false;
  }
  manifest.path = path;
  std::string line;
  int number = 0;
  bool ok = true;
  while (ok && readLineWhole(f, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    if (!plainText(line)) {
      std::fprintf(stderr, "Error: %s line %d: not a text line.\n", path.c_str(), number);
      ok = false;
      break;
    }
    const std::string content = trimmed(line);
    if (content.empty() || content[0] == '#') continue;
    const size_t eq = content.find('=');
    const std::string key = eq == std::string::npos ? "" : trimmed(content.substr(0, eq));
    if (key.empty()) {
      std::fprintf(stderr, "Error: %s line %d: expected \"key = value\".\n", path.c_str(), number);
      ok = false;
      break;
    }
    manifest.values[key] = trimmed(content.substr(eq + 1));
  }
  if (ok && std::ferror(f) != 0) {
    std::fprintf(stderr, "Error: cannot read the manifest %s.\n", path.c_str());
    ok = false;
  }
  std::fclose(f);
  if (!ok) manifest = ModelManifest();
  return ok;
}

bool readManifestFor(const std::string& modelPath, ModelManifest& manifest) {
  manifest = ModelManifest();
  const std::string path = manifestPathFor(modelPath);
  if (!isFile(path)) return true;
  return readManifest(path, manifest);
}

std::vector<std::string> shippedModelFolders() {
  std::vector<std::string> folders;
  const char* env = std::getenv("KORVANE_MODELS");
  if (env != nullptr && *env != '\0') folders.push_back(env);
  char exe[4096];
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n > 0) {
    const std::string dir = folderOf(std::string(exe, static_cast<size_t>(n)));
    folders.push_back(dir + "/models");
    folders.push_back(dir + "/../share/korvane/models");
  }
  folders.push_back(KORVANE_SOURCE_MODELS_DIR);
  folders.push_back(KORVANE_INSTALL_MODELS_DIR);
  return folders;
}

std::string findShippedFile(const std::string& name) {
  for (const std::string& folder : shippedModelFolders()) {
    const std::string path = folder + "/" + name;
    if (isFile(path)) return path;
  }
  return "";
}
