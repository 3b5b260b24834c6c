#include "app/model_choice.h"

#include <sys/stat.h>

#include <cstdio>

#include "templates/template_reader.h"

namespace {

bool sameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

std::string lowered(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return s;
}

}  // namespace

bool applyManifest(const CommandLine& cl, const std::string& model, const char* kind,
                   const std::vector<ManifestField>& fields, ModelManifest& manifest) {
  if (!readManifestFor(model, manifest)) return false;
  if (manifest.path.empty()) return true;
  const std::string modelKind = manifest.value("kind");
  if (!modelKind.empty() && modelKind != kind) {
    std::fprintf(stderr, "Error: %s is a %s model (%s); %s needs a %s model.\n", model.c_str(), modelKind.c_str(),
                 manifest.path.c_str(), cl.command().c_str(), kind);
    return false;
  }
  for (const ManifestField& f : fields) {
    if (!manifest.has(f.key)) continue;
    const std::string from = f.path ? manifest.file(f.key) : manifest.value(f.key);
    if (!cl.given(*f.option)) {
      *f.value = from;
      continue;
    }
    const bool agree = f.path ? sameFile(*f.value, from) : lowered(*f.value) == lowered(from);
    if (!agree && f.warns)
      std::fprintf(stderr, "Warning: --%s %s differs from the %s %s in %s; using %s.\n", f.option->longName,
                   f.value->c_str(), f.key, from.c_str(), manifest.path.c_str(), f.value->c_str());
  }
  return true;
}

std::string shippedFileOrSay(const std::string& name) {
  const std::string path = findShippedFile(name);
  if (!path.empty()) return path;
  std::string folders;
  for (const std::string& f : shippedModelFolders()) folders += (folders.empty() ? "" : ", ") + f;
  std::fprintf(stderr, "Error: no shipped %s found (looked in %s).\n", name.c_str(), folders.c_str());
  return "";
}

bool templateFileUsable(const std::string& path) {
  std::vector<_ftnind> templates;
  std::vector<int> templateOrder;
  int labelOrder = 0;
  return loadTemplateSet(path, templates, templateOrder, labelOrder, -1);
}
