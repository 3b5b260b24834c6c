#include "app/kit_args.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// The help text starts with the banner and a generic usage line; the kit
// prints its own synopsis and keeps only the option lines.
std::string optionLines(const std::string& help) {
  const std::string marker = " files\n";
  size_t at = help.find(marker);
  return at == std::string::npos ? help : help.substr(at + marker.size());
}

}  // namespace

void kitUsage(const KitArgs& args, const char* synopsis) {
  std::fprintf(stderr, "Usage: korvane-kit %s\n%s", synopsis, optionLines(args.param.help()).c_str());
}

int kitParseArgs(int argc, char** argv, const CRFPP::Option* opts, const char* synopsis, size_t minFiles,
                 size_t maxFiles, KitArgs& out) {
  if (!out.param.open(argc, argv, opts)) {
    std::fprintf(stderr, "Error: %s\n", out.param.what().c_str());
    kitUsage(out, synopsis);
    return 2;
  }
  if (out.param.get<bool>("help")) {
    std::printf("Usage: korvane-kit %s\n%s", synopsis, optionLines(out.param.help()).c_str());
    return 0;
  }
  out.files = out.param.rest_args();
  if (out.files.size() < minFiles || out.files.size() > maxFiles) {
    std::fprintf(stderr, "Error: wrong number of file arguments (%zu).\n", out.files.size());
    kitUsage(out, synopsis);
    return 2;
  }
  return -1;
}

bool kitInt(const KitArgs& args, const char* key, long lo, long hi, int& value) {
  std::string text = args.param.get<std::string>(key);
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || v < lo || v > hi) {
    std::fprintf(stderr, "Error: --%s takes a whole number from %ld to %ld, not '%s'.\n", key, lo, hi,
                 text.c_str());
    return false;
  }
  value = static_cast<int>(v);
  return true;
}

bool kitDouble(const KitArgs& args, const char* key, double lo, double hi, double& value) {
  std::string text = args.param.get<std::string>(key);
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(v) || v < lo || v > hi) {
    std::fprintf(stderr, "Error: --%s takes a number from %g to %g, not '%s'.\n", key, lo, hi, text.c_str());
    return false;
  }
  value = v;
  return true;
}
