#include "templates/template_reader.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "labels/mini_string_bag.h"
#include "templates/builtin_templates.h"
#include "templates/parser_step_codes.h"
#include "text/line_utils.h"
#include "text/text_check.h"

namespace {

struct StepName {
  const char* name;
  int code;
};

// Names are lower case; several names may share a code.
const StepName kStepNames[] = {
    {"h", 0},
    {"head", 0},
    {"lm", 1},
    {"l", 2},
    {"ln", 2},
    {"rm", 3},
    {"r", 4},
    {"rn", 4},
    {"lnsib", 5},
    {"lsib", 6},
    {"lmsib", 6},
    {"rnsib", 7},
    {"rsib", 8},
    {"rmsib", 8},
    {"n", 14},
    {"nearest", 14},
    {"m", 15},
    {"most", 15},
    {"nsib", 16},
    {"msib", 17},
    {"hm", 18},
    {"headfarest", 18},
    {"hn", 19},
    {"headnearest", 19},
    {"hlm", 20},
    {"headleftmost", 20},
    {"hln", 21},
    {"headleftnearest", 21},
    {"hrm", 22},
    {"headrightmost", 22},
    {"hrn", 23},
    {"headrightnearest", 23},
    {"curroot", 24},
    {"mostheaded", 25},
    {"a0", 26},
    {"a1", 27},
    {"a2", 28},
    {"a3", 29},
    {"lnverb", 30},
    {"lmverb", 31},
    {"rnverb", 32},
    {"rmverb", 33},
    {"mverb", 34},
    {"nverb", 35},
    {"isargument", 100},
    {"act", 101},
    {"dprel", 102},
    {"dir", 103},
    {"curpred", 104},
    {"preddir", 105},
    {"iscurpred", 106},
    {"curpredturn", 107},
    {"curpredline", 108},
    {"numberofchildren", 109},
    {"numberofchild", 109},
    {"posseqofchildren", 110},
    {"posseqofchild", 110},
    {"isfirstverb", 111},
    {"islastverb", 112},
    {"isfirstword", 113},
    {"islastword", 114},
    {"isjustleft", 115},
    {"isjustright", 116},
    {"curhighestlevel", 117},
    {"curhighestpath", 118},
    {"curlowestlevel", 119},
    {"isinstack", 120},
    {"iscurstart", 121},
    {"isvorn", 122},
    {"isdeterminedtarget", 123},
    {"iscurtargetfound", 124},
    {"isstartlabeled", 125},
    {"dprelofchild", 126},
    {"dprelseqofchildren", 126},
    {"recommenda0", 127},
    {"recommenda1", 128},
    {"recommenda2", 129},
    {"recommenda3", 130},
    {"recommendit", 131},
    {"isletter", 132},
    {"isactive", 133},
    {"curhighestpathpos", 134},
    {"srlbaseneg", 135},
    {"srlbasemod", 136},
    {"srlbasea", 137},
    {"srlbasera", 138},
    {"iscoma", 139},
    {"existmd", 140},
    {"ismd", 141},
    {"existverbinthisshortsentence", 142},
    {"isverbnoun", 143},
    {"posseqofchildrenrel", 144},
    {"dprelseqofchildrenrel", 145},
    {"capitaltype", 146},
    {"digitaltype", 147},
    {"punctype", 148},
    {"lowcase", 149},
    {"chncharfirst", 150},
    {"chncharlast", 151},
    {"chncharlen", 152},
    // Spelling and lexicon functions (200-239); the README lists their values.
    {"prefix", 200},
    {"suffix", 201},
    {"shape", 202},
    {"shortshape", 203},
    {"hyphenfirst", 204},
    {"hyphenlast", 205},
    {"capstart", 206},
    {"charflags", 207},
    {"wordnet", 210},
    {"wordnetbase", 211},
    {"zhlex", 212},
    {"zhlexcount", 213},
    {"zhlexhead", 214},
    {"zhlexfirst", 215},
    {"wordlist", 216},
    {"poslex", 217},
    {"chnprefix", 220},
    {"chnsuffix", 221},
    // Dependency-parser features (240-279, templates/parser_step_codes.h):
    // steps that move the node, then value functions.
    {"parent", 240},
    {"lchild", 241},
    {"rchild", 242},
    {"lvalency", 243},
    {"rvalency", 244},
    {"llabelset", 245},
    {"rlabelset", 246},
    {"distance", 247},
    // Role-labelling functions (280-299): the row against the current
    // predicate in the syntactic tree; features/role_functions.h lists their values.
    {"predpath", 280},
    {"predpathpos", 281},
    {"predrelation", 282},
    {"predpathlen", 283},
    {"predvoice", 284},
    {"preddistance", 285},
    {"predframe", 286},
    {"casemarker", 287},
};

// Above this a label line or label item would make every decoder and the
// template order blow up; such lines are refused.
const long kMaxLabelOrder = 64;

bool isNumberByte(char c) { return (c >= '0' && c <= '9') || c == '-'; }

// strtol over text[begin, end), clamped to the int32 range.
int32_t decimalOf(const std::string& text, size_t begin, size_t end) {
  if (begin >= end || begin >= text.size()) return 0;
  const std::string part = text.substr(begin, end - begin);
  errno = 0;
  const long value = std::strtol(part.c_str(), nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

size_t numberRunEnd(const std::string& text, size_t pos) {
  while (pos < text.size() && isNumberByte(text[pos])) ++pos;
  return pos;
}

int kindOf(char c) {
  switch (c) {
    case 'Y': case 'y': return 0;
    case 'I': case 'i': return 1;
    case 'S': case 's': return 2;
    case 'P': case 'p': return 3;
    case 'X': case 'x': return 4;
    default: return -1;
  }
}

bool isValueFunction(int code) {
  return code == 100 || (code >= 102 && code <= 152) || (code >= 200 && code <= 239) ||
         (code >= 280 && code <= 299);
}

// The exact name is tried first, so the names that end in a digit (a0..a3,
// recommenda0..recommenda3) are reachable; otherwise trailing digits and
// '-' are the argument.
_subft stepOf(const std::string& text) {
  const std::string lower = lowcaseIt(text);
  _subft step;
  step.code = stepCodeOf(lower);
  step.argument = 0;
  if (step.code >= 0 || lower.empty() || !isNumberByte(lower.back())) return step;
  size_t start = lower.size();
  while (start > 0 && isNumberByte(lower[start - 1])) --start;
  step.argument = decimalOf(lower, start, lower.size());
  step.code = stepCodeOf(lower.substr(0, start));
  return step;
}

}  // namespace

int stepCodeOf(const std::string& lowerName) {
  for (const StepName& s : kStepNames)
    if (lowerName == s.name) return s.code;
  return -1;
}

int parseTemplateLine(std::string& text, _ft& item) {
  const size_t n = text.size();
  item.type = n > 0 ? kindOf(text[0]) : -1;
  item.index = 0;
  item.offset = 0;
  item.column = 0;
  item.steps.clear();
  size_t pos = n > 0 ? 1 : 0;

  if (pos < n && isNumberByte(text[pos])) {
    const size_t end = numberRunEnd(text, pos);
    item.index = decimalOf(text, pos, end);
    pos = end;
  }
  if (pos < n && text[pos] == ':') {
    const size_t end = numberRunEnd(text, pos + 1);
    item.arcSource = decimalOf(text, pos + 1, end);
    pos = end;
  }
  while (pos < n && text[pos] == '.') {
    size_t end = text.find_first_of(".[", pos + 1);
    if (end == std::string::npos) end = n;
    const _subft step = stepOf(text.substr(pos + 1, end - pos - 1));
    item.steps.push_back(step);
    if (isValueFunction(step.code) || isParserValueCode(step.code)) item.valueFunction = step.code;
    pos = end;
  }
  // Position "[offset,column]". Without a ',' the offset is read from what
  // there is and the column stays 0; without any text both stay 0.
  if (pos < n) {
    ++pos;
    const size_t comma = text.find(',', pos);
    if (comma == std::string::npos) {
      item.offset = decimalOf(text, pos, n);
    } else {
      item.offset = decimalOf(text, pos, comma);
      item.column = decimalOf(text, comma + 1, n);
    }
  }
  return 1;
}

namespace {

_ft labelItem(int offset) {
  _ft item;
  item.type = 0;
  item.offset = offset;
  return item;
}

// Fills t from one kept line; false (after a message) for a line refused.
bool templateOfLine(const std::string& line, size_t colon, const char* path, long lineNo, _ftnind& t) {
  if (line[0] == 'B') {
    if (line == "B") {
      t.items.push_back(labelItem(-1));
      return true;
    }
    errno = 0;
    const long m = std::strtol(line.c_str() + 1, nullptr, 10);
    if (m > kMaxLabelOrder) {
      std::fprintf(stderr, "Error: %s line %ld: label order %ld is larger than %ld; line ignored.\n", path, lineNo,
                   m, kMaxLabelOrder);
      return false;
    }
    if (m <= 0) return true;
    for (long o = -m; o < 0; ++o) t.items.push_back(labelItem(static_cast<int>(o)));
    return true;
  }
  const size_t n = line.size();
  size_t pos = colon + 1;
  while (pos < n) {
    if (line[pos] == '|') {
      // "|" with nothing after it names no relation.
      if (pos + 1 < n) t.relation = line.substr(pos + 1);
      break;
    }
    // Any byte other than '|' introduces an item; one at the very end
    // introduces nothing.
    const size_t begin = pos + 1;
    if (begin >= n) break;
    size_t end = line.find_first_of("%|", begin + 1);
    if (end == std::string::npos) end = n;
    std::string text = line.substr(begin, end - begin);
    _ft item;
    parseTemplateLine(text, item);
    if (item.type == 0 && (item.offset > kMaxLabelOrder || item.offset < -kMaxLabelOrder)) {
      std::fprintf(stderr, "Error: %s line %ld: label offset %d is beyond %ld; line ignored.\n", path, lineNo,
                   item.offset, kMaxLabelOrder);
      return false;
    }
    t.items.push_back(std::move(item));
    pos = end;
  }
  return true;
}

}  // namespace

int readTemplateFile3(char* path, std::vector<_ftnind>& templates, std::vector<int>& templateOrder, int& labelOrder) {
  templates.clear();
  labelOrder = 0;
  CMiniStringBag names;
  std::FILE* f = path != nullptr ? std::fopen(path, "r") : nullptr;
  if (f != nullptr) {
    std::string line;
    long lineNo = 0;
    while (readLineWhole(f, line)) {
      ++lineNo;
      if (line.empty() || line[0] == '#') continue;
      const size_t colon = line.find(':', 1);
      if (line[0] != 'B' && (colon == std::string::npos || colon + 1 == line.size())) continue;
      _ftnind t;
      t.name = colon == std::string::npos ? line : line.substr(0, colon);
      if (!templateOfLine(line, colon, path, lineNo, t)) continue;
      names.Put(t.name);  // as written: "B" and "B1" count as two names
      finishTemplate(t, labelOrder);
      templates.push_back(std::move(t));
    }
    std::fclose(f);
  }
  buildTemplateOrder(templates, labelOrder, templateOrder);
  if (names.count < static_cast<int>(templates.size())) {
    std::fprintf(stderr, "Duplicated feature template id is detected, my baby.\n");
    return -1;
  }
  std::fprintf(stderr, "\nLoading template done, b=%d.\n", labelOrder);
  return static_cast<int>(templates.size());
}

int checkFTNodeInfo(std::vector<_ftnind>& templates, std::vector<int>& flags) {
  flags.assign(32, -1);
  for (const _ftnind& t : templates) {
    if (!t.relation.empty()) {
      if (t.relation[0] == 'a') flags[1] = 1;
      if (t.relation[0] == 'b') flags[2] = 1;
      if (t.relation[0] == 'c') flags[3] = 1;
    }
    for (const _ft& item : t.items)
      if (item.valueFunction >= 0 || !item.steps.empty()) flags[3] = 1;
  }
  if (flags[1] > 0 || flags[2] > 0 || flags[3] > 0) flags[0] = 1;
  return 0;
}

int checkFTNodeDPRel(std::vector<_ftnind>& templates) {
  for (const _ftnind& t : templates) {
    if (t.relation != "NULL") return 1;
    for (const _ft& item : t.items)
      if (item.valueFunction >= 0 || !item.steps.empty()) return 1;
  }
  return 0;
}

int checkHRange(TokenTable& rows, std::vector<_ft>& items, bool strict) {
  // Without a row there is no column to address.
  const long long width = rows.empty() ? 0 : static_cast<long long>(rows[0].size());
  for (const _ft& item : items) {
    // A negative column addresses nothing either.
    if (item.column >= 0 && static_cast<long long>(item.column) + 1 < width) continue;
    if (strict) {
      std::fprintf(stderr, "Error: x pointer in template file is longer than column number of crf file.\n");
      return -1;
    }
  }
  return 1;
}

namespace {

// The reader takes a name it does not know for no step at all and a relation
// of another family for none; on the command line both are mistakes.
bool knownNamesOnly(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (f == nullptr) return true;  // reported by the caller
  std::string line;
  long lineNo = 0;
  bool ok = true;
  while (ok && readLineWhole(f, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#' || line[0] == 'B') continue;
    const size_t colon = line.find(':', 1);
    if (colon == std::string::npos || colon + 1 == line.size()) continue;
    const size_t bar = line.find('|', colon);
    const std::string items = line.substr(colon + 1, bar == std::string::npos ? std::string::npos : bar - colon - 1);
    // Steps: ".name" runs inside each "%..." item, up to its "[".
    for (size_t pos = items.find('.'); ok && pos != std::string::npos; pos = items.find('.', pos + 1)) {
      const size_t itemStart = items.rfind('%', pos);
      const size_t bracket = items.find('[', itemStart == std::string::npos ? 0 : itemStart);
      if (bracket != std::string::npos && pos > bracket) continue;
      size_t end = items.find_first_of(".[%|", pos + 1);
      if (end == std::string::npos) end = items.size();
      const std::string step = items.substr(pos + 1, end - pos - 1);
      if (stepOf(step).code < 0) {
        std::fprintf(stderr, "Error: %s line %ld: unknown function \"%s\".\n", path.c_str(), lineNo,
                     printableText(step).c_str());
        ok = false;
      }
    }
    if (ok && bar != std::string::npos && bar + 1 < line.size()) {
      const std::string relation = line.substr(bar + 1);
      const bool family = relation.size() > 2 && (relation[0] == 'a' || relation[0] == 'b' || relation[0] == 'c') &&
                          relation[1] == '_';
      if (!family && relation != "NULL") {
        std::fprintf(stderr, "Error: %s line %ld: unknown relation \"%s\".\n", path.c_str(), lineNo,
                     printableText(relation).c_str());
        ok = false;
      }
    }
  }
  std::fclose(f);
  return ok;
}

}  // namespace

bool loadTemplateSet(const std::string& path, std::vector<_ftnind>& templates, std::vector<int>& templateOrder,
                     int& labelOrder, int maxLabelOrder) {
  // The reader takes a missing file for an empty one.
  std::FILE* probe = std::fopen(path.c_str(), "r");
  if (probe == nullptr) {
    std::fprintf(stderr, "Error: open file %s for reading.\n", path.c_str());
    return false;
  }
  std::fclose(probe);
  if (!checkTextFile(path) || !knownNamesOnly(path)) return false;
  std::string name = path;
  const int count = readTemplateFile3(&name[0], templates, templateOrder, labelOrder);
  if (count < 0) {
    std::fprintf(stderr, "Error: template file %s repeats a template name.\n", path.c_str());
    return false;
  }
  if (count == 0) {
    std::fprintf(stderr, "Error: template file %s holds no templates.\n", path.c_str());
    return false;
  }
  if (maxLabelOrder >= 0 && labelOrder > maxLabelOrder) {
    std::fprintf(stderr, "Error: template file %s reads %d labels back; at most %d can be decoded.\n", path.c_str(),
                 labelOrder, maxLabelOrder);
    return false;
  }
  return true;
}
