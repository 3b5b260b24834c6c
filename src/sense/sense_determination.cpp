#include "sense/sense_determination.h"

#include <cstdio>
#include <map>

#include "features/predicate_dictionary.h"
#include "text/line_utils.h"

namespace {

const std::string kNoLabel = "_";
const std::string kEmpty;

// A cell that a short row lacks reads as `missing`.
const std::string& cellOr(const std::vector<std::string>& row, int column, const std::string& missing) {
  if (column < 0 || static_cast<size_t>(column) >= row.size()) return missing;
  return row[column];
}

// "A" followed by a digit or "-": an argument number that patterns record.
bool isNumberedArgument(const std::string& label) {
  return label.size() == 2 && label[0] == 'A' &&
         ((label[1] >= '0' && label[1] <= '9') || label[1] == '-');
}

bool listsEqual(const std::vector<std::string>& query, const std::vector<std::string>& pattern, bool wildcard) {
  if (query.size() != pattern.size()) return false;
  for (size_t i = 0; i < query.size(); ++i) {
    if (wildcard && pattern[i] == "_") continue;
    if (query[i] != pattern[i]) return false;
  }
  return true;
}

void appendJoined(const std::vector<std::string>& row, std::string& out) {
  for (size_t i = 0; i < row.size(); ++i) {
    if (i > 0) out += ' ';
    out += row[i];
  }
}

bool isPredicateRow(const std::vector<std::string>& row, int markerColumn) {
  return static_cast<size_t>(markerColumn) < row.size() && row[markerColumn] != "__";
}

// Writes one sentence with its sense column. `inPath` and `firstLine` only
// name the sentence in warnings.
void processSentence(const TokenTable& rows, const char* inPath, int firstLine, std::string& out) {
  out.clear();
  std::vector<std::string> senses(rows.size(), kNoLabel);
  if (rows.size() > 1) {
    const int marker = findMarkerColumn(rows);
    if (marker < 0) {
      std::fprintf(stderr,
                   "Warning: %s line %d: sentence has no \"__\" marker column; no senses determined.\n",
                   inPath, firstLine);
    } else {
      std::vector<int> predicates;
      for (size_t r = 0; r < rows.size(); ++r)
        if (isPredicateRow(rows[r], marker)) predicates.push_back(static_cast<int>(r));
      // A row too short to hold the marker carries no predicate mark. Taking
      // it as a predicate would add a label column pair that the other rows
      // do not have and shift the columns of every later predicate, so it
      // stays a non-predicate and only its own row is affected.
      const size_t needed = static_cast<size_t>(marker) + 1 + 2 * predicates.size();
      bool warnedLabels = false;
      for (size_t r = 0; r < rows.size(); ++r) {
        const int lineNo = firstLine + static_cast<int>(r);
        if (rows[r].size() <= static_cast<size_t>(marker)) {
          std::fprintf(stderr,
                       "Warning: %s line %d: %zu columns, too few for the marker column %d; the row is taken "
                       "as no predicate and its label cells read as \"_\".\n",
                       inPath, lineNo, rows[r].size(), marker);
        } else if (rows[r].size() < needed && !warnedLabels) {
          std::fprintf(stderr,
                       "Warning: %s line %d: %zu columns where the predicate columns need %zu; missing "
                       "label cells read as \"_\".\n",
                       inPath, lineNo, rows[r].size(), needed);
          warnedLabels = true;
        }
      }
      for (size_t j = 0; j < predicates.size(); ++j)
        senses[predicates[j]] = determineSense(rows, marker, static_cast<int>(j), predicates[j]);
    }
  }
  for (size_t r = 0; r < rows.size(); ++r) {
    appendJoined(rows[r], out);
    out += ' ';
    out += senses[r];
    out += '\n';
  }
  out += '\n';
}

}  // namespace

bool compareTwoBEExact(_bankExample& query, _bankExample& pattern) {
  return query.label == pattern.label && listsEqual(query.left, pattern.left, false) &&
         listsEqual(query.right, pattern.right, false);
}

bool compareTwoBE(_bankExample& query, _bankExample& pattern) {
  return (pattern.label == "_" || query.label == pattern.label) && listsEqual(query.left, pattern.left, true) &&
         listsEqual(query.right, pattern.right, true);
}

int writeMatrix(std::vector<std::vector<std::string>>& rows, char* path) {
  std::FILE* f = std::fopen(path, "ab");
  if (f == nullptr) {
    std::fprintf(stderr, "Error: open file %s for appending.\n", path);
    return -1;
  }
  std::string text;
  for (const std::vector<std::string>& row : rows) {
    appendJoined(row, text);
    text += '\n';
  }
  text += '\n';
  std::fwrite(text.data(), 1, text.size(), f);
  return std::fclose(f);
}

int findMarkerColumn(const TokenTable& rows) {
  int marker = -1;
  for (const std::vector<std::string>& row : rows)
    for (size_t c = row.size(); c-- > 0;)
      if (static_cast<int>(c) > marker && row[c] == "__") {
        marker = static_cast<int>(c);
        break;
      }
  return marker;
}

_bankExample senseQuery(const TokenTable& rows, int markerColumn, int predicateIndex, int row) {
  const int labelColumn = markerColumn + 2 + 2 * predicateIndex;
  _bankExample query;
  query.label = "_";
  for (int r = row - 1; r >= 0; --r) {
    const std::string& label = cellOr(rows[r], labelColumn, kNoLabel);
    if (isNumberedArgument(label)) query.left.push_back(label.substr(1));
  }
  for (size_t r = static_cast<size_t>(row) + 1; r < rows.size(); ++r) {
    const std::string& label = cellOr(rows[r], labelColumn, kNoLabel);
    if (isNumberedArgument(label)) query.right.push_back(label.substr(1));
  }
  const std::string& own = cellOr(rows[row], labelColumn, kNoLabel);
  if (isNumberedArgument(own)) query.label = own.substr(1);
  return query;
}

std::string determineSense(const TokenTable& rows, int markerColumn, int predicateIndex, int row) {
  _bankExample query = senseQuery(rows, markerColumn, predicateIndex, row);

  const std::string& tag = cellOr(rows[row], 7, kEmpty);
  std::map<std::string, std::vector<_bankSense>>& bank = (!tag.empty() && tag[0] == 'V') ? _dicProp : _dicNom;
  std::string sense = "01";
  auto found = bank.find(cellOr(rows[row], 6, kEmpty));
  if (found != bank.end()) {
    // The exact pass over every sense comes first, so an exact example of a
    // later sense beats a wildcard example of an earlier one.
    bool matched = false;
    for (int pass = 0; pass < 2 && !matched; ++pass) {
      for (_bankSense& s : found->second) {
        for (_bankExample& pattern : s.examples) {
          if (pass == 0 ? compareTwoBEExact(query, pattern) : compareTwoBE(query, pattern)) {
            sense = s.name;
            matched = true;
            break;
          }
        }
        if (matched) break;
      }
    }
  }
  if (!sense.empty() && sense[0] == 's') sense.erase(0, 1);
  return sense;
}

int senseDeterminator(char* inPath, char* outPath) {
  std::FILE* in = std::fopen(inPath, "rb");
  if (in == nullptr) {
    std::fprintf(stderr, "Error: open file %s for reading.\n", inPath);
    return -1;
  }
  std::FILE* out = std::fopen(outPath, "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "Error: open file %s for writing.\n", outPath);
    std::fclose(in);
    return -1;
  }
  int lineCounter = 0;
  int seqCounter = 0;
  int firstLine = 0;
  TokenTable rows;
  std::vector<std::string> fields;
  std::string line;
  std::string text;
  for (;;) {
    const bool got = readLineWhole(in, line);
    if (got) {
      ++lineCounter;
      readLine2VectorString(line, fields);
      if (!fields.empty()) {
        if (rows.empty()) firstLine = lineCounter;
        rows.push_back(fields);
        continue;
      }
    }
    // A line of blanks only separates sentences like an empty one; a last
    // sentence without a closing empty line is still written.
    if (!rows.empty()) {
      processSentence(rows, inPath, firstLine, text);
      std::fwrite(text.data(), 1, text.size(), out);
      ++seqCounter;
      rows.clear();
      if (got && lineCounter % 6000 == 0) std::fprintf(stderr, "#line=%d,#seq=%d\r", lineCounter, seqCounter);
    }
    if (!got) break;
  }
  std::fclose(in);
  const bool written = std::fclose(out) == 0;
  std::fprintf(stderr, "#line=%d\r", lineCounter);
  if (!written) {
    std::fprintf(stderr, "Error: write file %s.\n", outPath);
    return -1;
  }
  return 1;
}
