#include "roles/role_columns.h"

namespace roles {

namespace {

const std::string kNone = "_";

bool startsWith(const std::string& s, const char* prefix) { return s.compare(0, std::string(prefix).size(), prefix) == 0; }

bool isPredicateCell(const std::string& cell) { return !cell.empty() && cell != kNone; }

// The R- or C- prefix of a reference or continuation role, if any.
size_t prefixLength(const std::string& role) {
  return role.size() > 2 && (role[0] == 'R' || role[0] == 'C') && role[1] == '-' ? 2 : 0;
}

}  // namespace

std::string shortRole(const std::string& role) {
  const size_t k = prefixLength(role);
  const std::string rest = role.substr(k);
  if (startsWith(rest, "ARGM-")) return role.substr(0, k) + "AM-" + rest.substr(5);
  if (startsWith(rest, "ARG") && rest.size() > 3) return role.substr(0, k) + "A" + rest.substr(3);
  return role;
}

std::string longRole(const std::string& role) {
  const size_t k = prefixLength(role);
  const std::string rest = role.substr(k);
  if (startsWith(rest, "AM-")) return role.substr(0, k) + "ARGM-" + rest.substr(3);
  if (rest.size() > 1 && rest[0] == 'A' && rest[1] >= '0' && rest[1] <= '9') return role.substr(0, k) + "ARG" + rest.substr(1);
  return role;
}

bool rolesetSense(const std::string& roleset, std::string& lemma, std::string& sense) {
  const size_t dot = roleset.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == roleset.size()) return false;
  for (size_t i = dot + 1; i < roleset.size(); ++i) {
    const char c = roleset[i];
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))) return false;
  }
  // The lemma is written into the predicate dictionaries' roleset field.
  if (roleset.find_first_of(" \t,:") < dot) return false;
  lemma = roleset.substr(0, dot);
  sense = roleset.substr(dot + 1);
  return true;
}

bool readRoleColumns(const conllu::Sentence& s, const std::string& file, RoleAnnotation& out, std::string& error) {
  out = RoleAnnotation();
  error.clear();
  if (s.words.empty()) return true;
  auto fail = [&](const conllu::Word& w, const std::string& what) {
    error = "Error: " + file + " line " + std::to_string(w.line) + ": " + what;
    return false;
  };
  out.hasSenseColumn = s.words[0].cols.size() > kSenseColumn;
  for (size_t i = 0; i < s.words.size(); ++i) {
    const conllu::Word& w = s.words[i];
    if ((w.cols.size() > kSenseColumn) != out.hasSenseColumn)
      return fail(w, out.hasSenseColumn ? "no predicate column 11 where the sentence's first row has one"
                                        : "a column 11 where the sentence's first row has none");
    if (out.hasSenseColumn && isPredicateCell(w.cols[kSenseColumn])) {
      out.predicates.push_back(static_cast<int>(i));
      out.senses.push_back(w.cols[kSenseColumn]);
    }
  }
  if (!out.hasSenseColumn) return true;
  const size_t predicates = out.predicates.size();
  out.roles.assign(predicates, std::vector<std::string>(s.words.size(), kNone));
  // Predicates marked without any role column: nothing to read.
  bool noRoleColumns = true;
  for (const conllu::Word& w : s.words) noRoleColumns = noRoleColumns && w.cols.size() == kSenseColumn + 1;
  if (noRoleColumns) return true;
  for (size_t i = 0; i < s.words.size(); ++i) {
    const conllu::Word& w = s.words[i];
    const size_t found = w.cols.size() - kSenseColumn - 1;
    // Rows of a sentence without predicates may carry one empty column more.
    const bool emptyTail = predicates == 0 && found == 1 && w.cols.back().empty();
    if (found != predicates && !emptyTail)
      return fail(w, std::to_string(found) + " role column" + (found == 1 ? "" : "s") + " where the sentence has " +
                         std::to_string(predicates) + " predicate" + (predicates == 1 ? "" : "s"));
    for (size_t j = 0; j < predicates; ++j) {
      const std::string& cell = w.cols[kSenseColumn + 1 + j];
      if (cell.empty() || cell == kNone || cell == "V") continue;
      if (cell.find("ARG") != std::string::npos) out.longSpelling = true;
      out.roles[j][i] = shortRole(cell);
    }
  }
  return true;
}

void driverRows(const conllu::Sentence& s, const std::vector<int>& predicates, TokenTable& rows) {
  rows.assign(s.words.size(), std::vector<std::string>());
  for (size_t i = 0; i < s.words.size(); ++i) {
    const std::vector<std::string>& c = s.words[i].cols;
    std::vector<std::string>& r = rows[i];
    r = {c[conllu::kId],   c[conllu::kForm], c[conllu::kLemma], c[conllu::kUpos],   c[conllu::kXpos], c[conllu::kForm],
         c[conllu::kLemma], c[conllu::kXpos], c[conllu::kHead], c[conllu::kDeprel], kNone};
  }
  for (int p : predicates) {
    const std::vector<std::string>& c = s.words[static_cast<size_t>(p)].cols;
    std::string marker = c[conllu::kLemma];
    if (!isPredicateCell(marker)) marker = c[conllu::kForm];
    if (!isPredicateCell(marker)) marker = "Y";
    rows[static_cast<size_t>(p)][kDriverColumns - 1] = marker;
  }
}

void senseRows(const TokenTable& driver, const std::vector<int>& predicates,
               const std::vector<std::vector<std::string>>& roles, TokenTable& out) {
  out = driver;
  for (std::vector<std::string>& r : out) r.resize(kDriverColumns, kNone);
  for (size_t i = 0; i < out.size(); ++i) {
    bool predicate = false;
    for (int p : predicates) predicate = predicate || p == static_cast<int>(i);
    out[i].push_back(predicate ? "Y" : "__");
    for (size_t j = 0; j < predicates.size(); ++j) {
      out[i].push_back("0");
      out[i].push_back(j < roles.size() && i < roles[j].size() ? roles[j][i] : kNone);
    }
  }
}

void writeRoleColumns(conllu::Sentence& s, const std::vector<int>& predicates, const std::vector<std::string>& senses,
                      const std::vector<std::vector<std::string>>& roles, bool longSpelling) {
  if (predicates.empty()) {
    for (conllu::Word& w : s.words) {
      w.cols.resize(conllu::kColumns);
      w.cols.push_back(kNone);
    }
    return;
  }
  std::vector<int> predicateOf(s.words.size(), -1);
  for (size_t j = 0; j < predicates.size(); ++j) predicateOf[static_cast<size_t>(predicates[j])] = static_cast<int>(j);
  for (size_t i = 0; i < s.words.size(); ++i) {
    std::vector<std::string>& c = s.words[i].cols;
    c.resize(conllu::kColumns);
    c.push_back(predicateOf[i] >= 0 ? senses[static_cast<size_t>(predicateOf[i])] : kNone);
    for (size_t j = 0; j < predicates.size(); ++j) {
      if (static_cast<int>(i) == predicates[j]) {
        c.push_back("V");
        continue;
      }
      const std::string& role = j < roles.size() && i < roles[j].size() ? roles[j][i] : kNone;
      c.push_back(role == kNone ? kNone : longSpelling ? longRole(role) : role);
    }
  }
}

}  // namespace roles
