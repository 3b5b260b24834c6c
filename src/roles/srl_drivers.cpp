#include "roles/srl_drivers.h"

#include <cstdio>

#include "parsing/parsing_drivers.h"
#include "features/feature_generator.h"
#include "parsing/dependency_info.h"
#include "roles/srl_run.h"
#include "roles/srl_sentence.h"

namespace {

_dppair makeArc(int head, const std::string& role) {
  _dppair arc;
  arc.head = head;
  arc.dprel = role;
  return arc;
}

bool isNounOrVerb(const std::vector<std::string>& row) {
  const std::string& tag = cellOrBlank(row, 7);
  return tag == "NNS" || tag == "NN" || (!tag.empty() && tag[0] == 'V');
}

// Runs `labelSentence` on every sentence and writes it with `writeSentence`;
// both see the run and the sentence state.
template <typename Label, typename Write>
int runDriver(char* templatePath, char* modelPath, char* inputPath, char* outputPath, size_t layoutColumns,
              Label labelSentence, Write writeSentence) {
  SrlRun run;
  if (openSrlRun(run, templatePath, modelPath, inputPath, outputPath) < 0) return -1;
  SrlSentence s;
  while (readSrlSentence(run, s.rows, s.rowLines)) {
    warnShortRows(run, s.rows, s.rowLines, layoutColumns);
    if (!labelSentence(run, s)) {
      closeSrlRun(run);
      return -1;
    }
    s.text.clear();
    writeSentence(run, s);
    writeSrlSentence(run, s.text);
  }
  return closeSrlRun(run);
}

void writeEveryPredicate(SrlRun&, SrlSentence& s) { writeRoleRows(s, s.argumentLists, s.text); }

// Found predicates: the candidate rows whose list holds some role.
void writeFoundPredicates(SrlRun&, SrlSentence& s) {
  const std::vector<int> found = srlFoundPredicates(s);
  std::vector<char> isFound(s.rows.size(), 0);
  for (int f : found) isFound[static_cast<size_t>(f)] = 1;
  for (size_t r = 0; r < s.rows.size(); ++r) {
    appendColumns(s.rows[r], s.text);
    if (isFound[r]) {
      s.text += ' ';
      s.text += cellOrBlank(s.rows[r], 6);
    } else {
      s.text += " __";
    }
    for (int f : found) appendRolePair(s.argumentLists[f][r], s.text);
    s.text += '\n';
  }
  s.text += '\n';
}

// Asks about every row met walking up the syntactic tree from `start`: the
// row itself, then its dependents in row order, then on to its head. `onRow`
// gets (row, label, reached as a dependent).
template <typename OnRow>
bool walkUp(SrlModel& run, SrlSentence& s, int start, OnRow onRow) {
  const int n = static_cast<int>(s.rows.size());
  std::vector<char> met(n, 0);
  std::string label;
  // A head chain with a cycle or a head outside the sentence ends the walk.
  for (int c = start; c >= 0 && c < n && !met[c]; c = s.extraArcs[c].head) {
    met[c] = 1;
    if (!askModel(run, s, c, start, label)) return false;
    onRow(c, label, false);
    for (int k = 0; k < n; ++k) {
      if (s.extraArcs[k].head != c) continue;
      if (!askModel(run, s, k, start, label)) return false;
      onRow(k, label, true);
    }
  }
  return true;
}

}  // namespace

bool srlLabelMulti(SrlModel& run, SrlSentence& s) {
  loadExtraDPInfo(s.rows, s.extraArcs, s.gold, s.predicateRows);
  s.argumentLists.clear();
  const int n = static_cast<int>(s.rows.size());
  std::string chosen;
  for (int p : s.predicateRows) {
    s.arcs.assign(n, makeArc(-1024, "_"));
    // A one-row sentence is not asked about; its list stays "no argument".
    if (n > 1) {
      for (int j = 0; j < n; ++j) {
        if (!askModel(run, s, j, p, chosen)) return false;
        s.arcs[j].dprel = chosen == "0" ? "_" : roleOfLabel(chosen);
      }
    }
    s.argumentLists.push_back(s.arcs);
  }
  return true;
}

bool srlLabelXue(SrlModel& run, SrlSentence& s) {
  loadExtraDPInfo(s.rows, s.extraArcs, s.gold, s.predicateRows);
  s.argumentLists.clear();
  const int n = static_cast<int>(s.rows.size());
  for (int p : s.predicateRows) {
    s.arcs.assign(n, makeArc(-1024, "_"));
    // A row met twice keeps the role of its last question.
    auto setRole = [&s](int row, const std::string& chosen, bool) {
      s.arcs[row].dprel = chosen == "0" ? "_" : roleOfLabel(chosen);
    };
    if (n > 1 && !walkUp(run, s, p, setRole)) return false;
    s.argumentLists.push_back(s.arcs);
  }
  return true;
}

// Needs the run for its messages.
static bool labelClass(SrlRun& run, SrlSentence& s) {
  loadExtraDPInfo(s.rows, s.extraArcs, s.gold, s.predicateRows);
  s.argumentLists.clear();
  const int n = static_cast<int>(s.rows.size());
  const long long pairs = static_cast<long long>(s.predicateRows.size());
  // The role of pair k stands in column width0 - 2P + 2k + 1.
  const long long firstPair = static_cast<long long>(s.rows[0].size()) - 2 * pairs;
  if (pairs > 0 && firstPair < static_cast<long long>(kSrlLayoutColumns)) {
    std::fprintf(stderr,
                 "Warning: %s line %d: %zu columns leave no room for %lld role pairs after column 10; "
                 "missing cells read as \"_\".\n",
                 run.inputPath.c_str(), s.rowLines[0], s.rows[0].size(), pairs);
  } else if (pairs > 0) {
    warnShortRows(run, s.rows, s.rowLines, s.rows[0].size());
  }
  std::string chosen;
  for (long long k = 0; k < pairs; ++k) {
    const int p = s.predicateRows[k];
    s.arcs.assign(n, makeArc(-1024, "_"));
    for (int j = 0; j < n; ++j) {
      if (cellOrBlank(s.rows[j], firstPair + 2 * k + 1) == "_") continue;
      if (!askModel(run, s, j, p, chosen)) return false;
      s.arcs[j].dprel = chosen;
    }
    s.argumentLists.push_back(s.arcs);
  }
  return true;
}

bool srlLabelAllPair(SrlModel& run, SrlSentence& s) {
  loadExtraDPInfo(s.rows, s.extraArcs, s.gold, s.predicateRows);
  s.argumentLists.clear();
  const int n = static_cast<int>(s.rows.size());
  s.predicateRows.clear();
  for (int i = 0; i < n; ++i) s.predicateRows.push_back(i);
  std::string chosen;
  for (int i = 0; i < n; ++i) {
    s.arcs.assign(n, makeArc(-2, "_"));
    if (isNounOrVerb(s.rows[i]) && n > 1) {
      for (int j = 0; j < n; ++j) {
        if (!askModel(run, s, j, i, chosen)) return false;
        s.arcs[j] = chosen == "0" ? makeArc(-2, "_") : makeArc(i, roleOfLabel(chosen));
      }
    }
    s.argumentLists.push_back(s.arcs);
  }
  return true;
}

bool srlLabelXueExt(SrlModel& run, SrlSentence& s, int candidateMode) {
  loadExtraDPInfo(s.rows, 1, s.extraArcs, s.gold, s.predicateRows);
  s.argumentLists.clear();
  const int n = static_cast<int>(s.rows.size());
  s.predicateRows.clear();
  for (int i = 0; i < n; ++i) s.predicateRows.push_back(i);
  for (int i = 0; i < n; ++i) {
    s.arcs.assign(n, makeArc(-2, "_"));
    const bool candidate = candidateMode != 1 || isNounOrVerb(s.rows[i]);
    auto setArc = [&s, i](int row, const std::string& chosen, bool dependent) {
      if (chosen != "0")
        s.arcs[row] = makeArc(i, roleOfLabel(chosen));
      else if (dependent)
        s.arcs[row].dprel = "_";  // a dependent keeps its head
      else
        s.arcs[row] = makeArc(-2, "_");
    };
    if (candidate && n > 1 && !walkUp(run, s, i, setArc)) return false;
    s.argumentLists.push_back(s.arcs);
  }
  return true;
}

std::vector<int> srlFoundPredicates(const SrlSentence& s) {
  std::vector<int> found;
  for (size_t i = 0; i < s.argumentLists.size() && i < s.rows.size(); ++i) {
    for (const _dppair& arc : s.argumentLists[i]) {
      if (arc.dprel != "_") {
        found.push_back(static_cast<int>(i));
        break;
      }
    }
  }
  return found;
}

int AddFullFeatures(std::string&, ME_Sample& sample, ME_Model&, std::vector<_ftnind>& templates,
                    std::vector<int>& templateOrder, TokenTable& rows, std::vector<int>& stack, int& position,
                    std::vector<_dppair>& arcs, std::vector<std::vector<_dppair>>& argumentLists,
                    std::vector<int>& predicateRows, std::vector<_dppair>& extraArcs) {
  sample.feature_strs.clear();
  const long long width = rows.empty() ? 0 : static_cast<long long>(rows[0].size());
  // One value buffer for every template: a relation that leaves it alone
  // repeats the previous value, as the model was trained.
  std::string value;
  for (size_t i = 0; i < templates.size() && i < templateOrder.size(); ++i) {
    const int which = templateOrder[i];
    if (which < 0 || static_cast<size_t>(which) >= templates.size()) continue;
    _ftnind& t = templates[which];
    if (_trainFlag) {
      for (const _ft& item : t.items) {
        if (static_cast<long long>(item.column) + 1 >= width) {
          std::fprintf(stderr, "Error: x pointer in template file is longer than column number of crf file.\n");
          return -1;
        }
      }
    }
    FeatureLocGenP2Multi(rows, t, stack, position, arcs, argumentLists, predicateRows, extraArcs, value);
    if (!t.name.empty() && t.name[0] == 'U') {
      sample.feature_strs.emplace_back(t.name);
      sample.feature_strs.back() += ':';
      sample.feature_strs.back() += value;
    }
  }
  return 1;
}

int ME_TestSRLMulti(char* templatePath, char* modelPath, char* inputPath, char* outputPath, int) {
  auto label = [](SrlRun& run, SrlSentence& s) { return srlLabelMulti(run, s); };
  return runDriver(templatePath, modelPath, inputPath, outputPath, kSrlLayoutColumns, label, writeEveryPredicate);
}

int ME_TestSRLMultiXue(char* templatePath, char* modelPath, char* inputPath, char* outputPath, int) {
  auto label = [](SrlRun& run, SrlSentence& s) { return srlLabelXue(run, s); };
  return runDriver(templatePath, modelPath, inputPath, outputPath, kSrlLayoutColumns, label, writeEveryPredicate);
}

int ME_TestSRLMultiClass(char* templatePath, char* modelPath, char* inputPath, char* outputPath, int) {
  auto label = [](SrlRun& run, SrlSentence& s) { return labelClass(run, s); };
  return runDriver(templatePath, modelPath, inputPath, outputPath, kSrlLayoutColumns, label, writeEveryPredicate);
}

int ME_TestSRLMultiAllPair(char* templatePath, char* modelPath, char* inputPath, char* outputPath) {
  auto label = [](SrlRun& run, SrlSentence& s) { return srlLabelAllPair(run, s); };
  return runDriver(templatePath, modelPath, inputPath, outputPath, kSrlLayoutColumns, label, writeFoundPredicates);
}

int ME_TestSRLMultiXueExt(char* templatePath, char* modelPath, char* inputPath, char* outputPath,
                          int candidateMode) {
  auto label = [candidateMode](SrlRun& run, SrlSentence& s) { return srlLabelXueExt(run, s, candidateMode); };
  return runDriver(templatePath, modelPath, inputPath, outputPath, kSrlLayoutColumns, label, writeFoundPredicates);
}
