#include "options/param.h"

#include <cstring>
#include <fstream>

namespace CRFPP {

namespace {

// isspace of the "C" locale, independent of the process locale.
inline bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const Option* findLong(const Option* opts, const char* name, size_t len) {
  for (const Option* o = opts; o->name != nullptr; ++o) {
    if (std::strlen(o->name) == len && std::strncmp(o->name, name, len) == 0) return o;
  }
  return nullptr;
}

const Option* findShort(const Option* opts, char c) {
  for (const Option* o = opts; o->name != nullptr; ++o) {
    if (o->short_name == c) return o;
  }
  return nullptr;
}

}  // namespace

const char* programBanner() {
  return "Korvane, a part-of-speech tagger for Chinese and English\n"
         "Version 1.00, 2008.06.01, Korvane team, korvane-dev@lists.korvane.org\n";
}

void init_param(std::string* help, std::string* version, const std::string& command,
                const Option* opts) {
  *help = std::string(programBanner()) + "\nUsage: " + command + " [options] files\n";
  *version = std::string("1") + " of " + "0.44" + '\n';

  size_t width = 0;
  for (const Option* o = opts; o->name != nullptr; ++o) {
    size_t l = std::strlen(o->name) + 1;
    if (o->arg_description != nullptr) l += std::strlen(o->arg_description) + 1;
    if (l > width) width = l;
  }
  for (const Option* o = opts; o->name != nullptr; ++o) {
    size_t l = std::strlen(o->name);
    std::string line = " -";
    line += o->short_name;
    line += ", --";
    line += o->name;
    if (o->arg_description != nullptr) {
      line += '=';
      line += o->arg_description;
      l += std::strlen(o->arg_description) + 1;
    }
    line.append(width - l + 1, ' ');
    line += o->description != nullptr ? o->description : "";
    line += '\n';
    *help += line;
  }
  *help += '\n';
}

bool Param::open(int argc, const char* const* argv, const Option* opts) {
  if (argc <= 0) {
    commandName = "unknown";
    return true;
  }
  commandName = argv[0];
  init_param(&helpText, &versionText, commandName, opts);

  for (const Option* o = opts; o->name != nullptr; ++o) {
    if (o->default_value != nullptr) set(o->name, std::string(o->default_value), true);
  }

  for (int ind = 1; ind < argc; ++ind) {
    const char* arg = argv[ind];
    if (arg[0] != '-') {
      rest.push_back(arg);
      continue;
    }
    if (arg[1] == '\0') continue;  // "-" alone

    const Option* found = nullptr;
    const char* inlineValue = nullptr;  // text after "=" or after "-c"
    bool hasInline = false;
    if (arg[1] == '-') {
      const char* name = arg + 2;
      const char* eq = std::strchr(name, '=');
      size_t len = eq != nullptr ? static_cast<size_t>(eq - name) : std::strlen(name);
      if (len == 0) return true;  // "--" ends the arguments; the rest is dropped
      found = findLong(opts, name, len);
      if (eq != nullptr) {
        hasInline = true;
        inlineValue = eq + 1;
      }
    } else {
      found = findShort(opts, arg[1]);
      if (arg[2] != '\0') {
        hasInline = true;
        inlineValue = arg + 2;
      }
    }

    if (found == nullptr) {
      errorText << "unrecognized option `" << arg << "`";
      return false;
    }

    if (found->arg_description != nullptr) {
      const char* value = nullptr;
      if (hasInline) {
        if (*inlineValue != '\0') value = inlineValue;  // "--name=" alone has none
      } else if (ind + 1 < argc) {
        value = argv[++ind];
      }
      if (value == nullptr) {
        errorText << "`" << arg << "` requres an argument";
        return false;
      }
      set(found->name, std::string(value), true);
    } else {
      if (hasInline) {
        errorText << "`" << arg << "` dosen't allow an argument";
        return false;
      }
      set(found->name, std::string("1"), true);
    }
  }
  return true;
}

bool Param::open(const char* line, const Option* opts) {
  // Words are kept in one owned buffer; no bound on line length or count.
  std::string buf(line != nullptr ? line : "");
  std::vector<const char*> words;
  words.push_back("1");
  const size_t n = buf.size();
  std::vector<size_t> starts;
  for (size_t i = 0; i < n;) {
    while (i < n && isSpace(buf[i])) buf[i++] = '\0';
    if (i >= n) break;
    starts.push_back(i);
    while (i < n && !isSpace(buf[i])) ++i;
  }
  for (size_t s : starts) words.push_back(buf.c_str() + s);
  return open(static_cast<int>(words.size()), words.data(), opts);
}

bool Param::load(const char* fileName) {
  std::ifstream ifs(fileName, std::ios::in | std::ios::binary);
  if (!ifs) {
    errorText << "param" << "(" << 70 << ") [" << "ifs" << "] "
              << "no such file or directory: " << fileName;
    return false;
  }
  std::string line;
  while (std::getline(ifs, line)) {
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    size_t pos = line.find('=');
    if (pos == std::string::npos) {
      errorText << "param" << "(" << 78 << ") [" << "pos != std::string::npos" << "] "
                << "format error: " << line;
      return false;
    }
    size_t keyEnd = pos;
    while (keyEnd > 0 && isSpace(line[keyEnd - 1])) --keyEnd;
    size_t valueStart = pos + 1;
    while (valueStart < line.size() && isSpace(line[valueStart])) ++valueStart;
    set(line.substr(0, keyEnd).c_str(), line.substr(valueStart), false);
  }
  return true;
}

void Param::clear() {
  config.clear();
  rest.clear();
}

bool Param::help_version() const {
  if (get<bool>("help")) {
    std::fwrite(helpText.data(), 1, helpText.size(), stdout);
    std::fflush(stdout);
    return false;
  }
  if (get<bool>("version")) {
    std::fwrite(versionText.data(), 1, versionText.size(), stdout);
    std::fflush(stdout);
    return false;
  }
  return true;
}

void Param::dump_config(std::ostream* os) const {
  for (const auto& kv : config) *os << kv.first << ": " << kv.second << std::endl;
}

}  // namespace CRFPP
