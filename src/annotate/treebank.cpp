#include "annotate/treebank.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "text/conllu.h"
#include "text/line_utils.h"

namespace annotate {

bool readTreebank(const std::string& path, std::vector<std::vector<lemmatize::Example>>& sentences,
                  std::string& error) {
  sentences.clear();
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) {
    error = "Error: cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string line;
  std::vector<std::string> f;
  std::vector<lemmatize::Example> sentence;
  long number = 0;
  bool ok = true;
  while (ok && readLineWhole(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) {
      if (!sentence.empty()) sentences.push_back(std::move(sentence));
      sentence.clear();
      continue;
    }
    if (line[0] == '#') continue;
    conllu::splitTabs(line, f);
    if (f.size() < 5) {
      error = "Error: " + path + " line " + std::to_string(number) + ": expected at least 5 tab-separated columns";
      ok = false;
      break;
    }
    if (f[0].find_first_of("-.") != std::string::npos) continue;  // ranges and empty nodes
    sentence.push_back({f[1], f[2], f[3], f[4]});
  }
  if (ok && std::ferror(in)) {
    error = "Error: cannot read " + path;
    ok = false;
  }
  std::fclose(in);
  if (ok && !sentence.empty()) sentences.push_back(std::move(sentence));
  return ok;
}

}  // namespace annotate
