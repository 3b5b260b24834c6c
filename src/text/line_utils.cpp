#include "text/line_utils.h"

#include <cerrno>
#include <cstring>

namespace {
inline bool isSep(char c) { return c == ' ' || c == '\t'; }
}  // namespace

void readLine2VectorString(std::string& line, std::vector<std::string>& fields) {
  fields.clear();
  const size_t n = line.size();
  size_t i = 0;
  while (i < n) {
    while (i < n && isSep(line[i])) ++i;
    if (i >= n) break;
    size_t start = i;
    while (i < n && !isSep(line[i])) ++i;
    fields.emplace_back(line, start, i - start);
  }
}

int checkFile(char* path) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) {
    std::fprintf(stderr, "Error: open file %s.\n", path);
    return -1;
  }
  std::fclose(f);
  return 1;
}

void cutSeginLine(std::string& line, int b, int c, std::string& field) {
  const size_t n = line.size();
  size_t pos = 0;
  if (b > 1) {
    int number = 1;
    while (pos < n && number < b) {
      while (pos < n && !isSep(line[pos])) ++pos;
      while (pos < n && isSep(line[pos])) ++pos;
      if (pos < n) ++number;
    }
    if (number < b) pos = n;
  }
  const size_t start = pos;
  const int wanted = c - b + 1;
  int counted = 0;
  size_t end = start;
  while (pos < n || counted == 0) {
    while (pos < n && !isSep(line[pos])) ++pos;
    end = pos;
    ++counted;
    if (counted >= wanted || pos >= n) break;
    while (pos < n && isSep(line[pos])) ++pos;
    if (pos >= n) break;
  }
  field.assign(line, start, end - start);
}

void cutSeginLineInv(std::string& line, int b, int c, std::string& field) {
  size_t end = line.size();
  while (end > 0 && isSep(line[end - 1])) --end;
  size_t pos = end;
  for (int skipped = 1; skipped < b && pos > 0; ++skipped) {
    while (pos > 0 && !isSep(line[pos - 1])) --pos;
    while (pos > 0 && isSep(line[pos - 1])) --pos;
  }
  end = pos;
  size_t start = end;
  const int wanted = c - b + 1;
  for (int walked = 0; walked < wanted; ++walked) {
    while (pos > 0 && !isSep(line[pos - 1])) --pos;
    start = pos;
    if (walked + 1 >= wanted || pos == 0) break;
    while (pos > 0 && isSep(line[pos - 1])) --pos;
    if (pos == 0) break;
  }
  field.assign(line, start, end - start);
}

int isLetter(char c) {
  return ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) ? 1 : -1;
}

int isLetter(std::string& s) {
  for (char c : s)
    if (isLetter(c) < 0) return -1;
  return 1;
}

int isNonLetter(std::string& s) {
  for (char c : s)
    if (isLetter(c) > 0) return -1;
  return 1;
}

int isDigital(char c) { return ((c >= '0' && c <= '9') || c == '-') ? 1 : -1; }

std::string lowcaseIt(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return s;
}

void twoC(int flag, int& count) {
  if (flag != 0)
    count = 0;
  else
    ++count;
}

bool readLineWhole(std::FILE* f, std::string& line) {
  line.clear();
  int ch;
  bool any = false;
  while ((ch = std::getc(f)) != EOF) {
    any = true;
    if (ch == '\n') return true;
    line.push_back(static_cast<char>(ch));
  }
  return any;
}

void dropForeignLineEnd(std::string& line, bool firstLine) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (firstLine && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
}

bool readWholeFile(const std::string& path, std::string& text, std::string& error) {
  text.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  char chunk[1 << 16];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, got);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) error = "cannot read " + path;
  return !failed;
}
