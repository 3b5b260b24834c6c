#include "text/conllu.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "text/line_utils.h"
#include "text/utf8.h"

namespace conllu {

namespace {

bool isBlankLine(const std::string& line) {
  for (char c : line)
    if (c != ' ' && c != '\t') return false;
  return true;
}

// A whole decimal number without sign, at most nine digits; -1 otherwise.
long wholeNumber(const std::string& text) {
  if (text.empty() || text.size() > 9) return -1;
  long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

}  // namespace

int Sentence::head(size_t i) const {
  const long h = wholeNumber(words[i].cols[kHead]);
  return h < 0 ? -1 : static_cast<int>(h);
}

void splitTabs(const std::string& line, std::vector<std::string>& fields) {
  fields.clear();
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    if (tab == std::string::npos) {
      fields.push_back(line.substr(start));
      return;
    }
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

bool Reader::readLine(std::string& line) {
  errno = 0;
  if (!readLineWhole(in_, line)) return false;
  ++line_;
  // Every carriage return before the line feed is line end, not text: a
  // comment kept with one would not read back the same once written.
  while (!line.empty() && line.back() == '\r') line.pop_back();
  if (line_ == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
  return true;
}

void Reader::fail(long line, const std::string& what) {
  if (bad_) return;  // the first fault of a sentence is the one reported
  bad_ = true;
  error_ = "Error: " + name_ + " line " + std::to_string(line) + ": " + what;
}

ReadStatus Reader::next(Sentence& s) {
  s = Sentence();
  error_.clear();
  bad_ = false;
  std::string line;
  std::vector<std::string> fields;
  bool started = false;  // a bad line starts a sentence too
  for (;;) {
    if (!readLine(line)) {
      if (std::ferror(in_)) {
        error_ = "Error: cannot read " + name_ + ": " + std::strerror(errno ? errno : EIO);
        return ReadStatus::kFailed;
      }
      break;
    }
    if (isBlankLine(line)) {
      if (!started) continue;  // runs of blank lines separate nothing
      break;
    }
    if (!started) s.firstLine = line_;
    started = true;
    if (line.find('\0') != std::string::npos) {
      fail(line_, "NUL byte in the line");
      continue;
    }
    size_t bad = 0;
    if (!isValidUtf8(line, &bad)) {
      fail(line_, "invalid UTF-8 at byte " + std::to_string(bad + 1));
      continue;
    }
    if (line[0] == '#') {
      if (s.words.empty() && s.extras.empty())
        s.comments.push_back(line);
      else
        fail(line_, "comment line inside a sentence");
      continue;
    }
    splitTabs(line, fields);
    const std::string& id = fields[0];
    if (id.find('-') != std::string::npos || id.find('.') != std::string::npos) {
      // Ranges and empty nodes must have numbers on both sides of their mark.
      const size_t mark = id.find_first_of("-.");
      if (wholeNumber(id.substr(0, mark)) < 0 || wholeNumber(id.substr(mark + 1)) < 0) {
        fail(line_, "bad word id '" + id + "'");
        continue;
      }
      s.extras.emplace_back(s.words.size(), line);
      continue;
    }
    if (fields.size() < kColumns) {
      fail(line_, "expected at least 10 tab-separated columns, found " + std::to_string(fields.size()));
      continue;
    }
    const long expected = static_cast<long>(s.words.size()) + 1;
    if (wholeNumber(id) != expected) {
      fail(line_, "word id '" + id + "' where " + std::to_string(expected) + " was expected");
      continue;
    }
    Word w;
    w.cols = fields;
    w.line = line_;
    s.words.push_back(std::move(w));
  }
  if (!started) return ReadStatus::kEnd;
  const long n = static_cast<long>(s.words.size());
  for (const Word& w : s.words) {
    const std::string& h = w.cols[kHead];
    if (h == "_") continue;
    const long v = wholeNumber(h);
    if (v < 0 || v > n) fail(w.line, "head '" + h + "' outside the sentence of " + std::to_string(n) + " words");
  }
  return bad_ ? ReadStatus::kBadSentence : ReadStatus::kSentence;
}

void write(const Sentence& s, std::string& out) {
  for (const std::string& c : s.comments) {
    out += c;
    out += '\n';
  }
  size_t extra = 0;
  for (size_t i = 0; i <= s.words.size(); ++i) {
    while (extra < s.extras.size() && s.extras[extra].first == i) {
      out += s.extras[extra].second;
      out += '\n';
      ++extra;
    }
    if (i == s.words.size()) break;
    const std::vector<std::string>& cols = s.words[i].cols;
    for (size_t c = 0; c < cols.size(); ++c) {
      if (c) out += '\t';
      out += cols[c];
    }
    out += '\n';
  }
  out += '\n';
}

}  // namespace conllu
