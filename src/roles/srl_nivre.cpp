#include "roles/srl_nivre.h"

#include "parsing/parsing_drivers.h"
#include "parsing/dependency_info.h"
#include "parsing/transition_system.h"
#include "roles/srl_run.h"
#include "roles/srl_sentence.h"

namespace {

bool inside(const std::vector<_dppair>& arcs, int row) {
  return row >= 0 && static_cast<size_t>(row) < arcs.size();
}

// Whether `action` can change the state: every applied action pushes, pops
// or advances next, which bounds the number of steps per predicate.
bool canApply(const std::string& action, const std::vector<int>& stack) {
  if (action.empty()) return false;
  switch (action[0]) {
    case '0':
    case '4':
    case '5':
    case '6':
      return true;
    case '1':
    case '2':
    case '3':
    case '7':
      return !stack.empty();
    default:
      return false;
  }
}

void setArc(_dppair& arc, int head, const std::string& role) {
  arc.head = head;
  arc.dprel = role;
}

void finishList(std::vector<_dppair>& list, int finishMode) {
  for (_dppair& arc : list) {
    if (!hasNoHeadYet(arc.head)) continue;
    if (finishMode == 0) {
      setArc(arc, -2, "_");
    } else if (finishMode == 1) {
      setArc(arc, -1, "ROOT");
      return;
    } else {
      return;
    }
  }
}

}  // namespace

int classDPNivreSRL(std::string action, std::vector<_dppair>& arcs, std::vector<int>& stack, int& next) {
  if (action.empty()) return 1;
  const char code = action[0];
  if (code < '0' || code > '7') return 1;
  const bool needsTop = code == '1' || code == '2' || code == '3' || code == '7';
  if (needsTop && stack.empty()) return -1;
  const int top = stack.empty() ? -1 : stack.back();
  if ((code == '2' || code == '7') && !inside(arcs, top)) return -1;
  if ((code >= '3' && code <= '6') && !inside(arcs, next)) return -1;
  const std::string role = roleOfLabel(action);
  switch (code) {
    case '0':
      stack.push_back(next);
      ++next;
      return next;
    case '1':
      stack.pop_back();
      break;
    case '2':
      setArc(arcs[top], next, role);
      stack.pop_back();
      break;
    case '3':
      setArc(arcs[next], top, role);
      stack.push_back(next);
      ++next;
      break;
    case '4':
      setArc(arcs[next], -2, "_");
      ++next;
      break;
    case '5':
      setArc(arcs[next], -1, "ROOT");
      stack.push_back(next);
      ++next;
      break;
    case '6':
      setArc(arcs[next], -1, role);
      stack.push_back(next);
      ++next;
      break;
    case '7':
      setArc(arcs[top], -1, role);
      stack.pop_back();
      break;
  }
  return static_cast<int>(stack.size());
}

bool srlLabelNivre(SrlModel& m, SrlSentence& s, int finishMode) {
  loadExtraDPInfo(s.rows, s.extraArcs, s.gold, s.predicateRows);
  s.argumentLists.clear();
  const int n = static_cast<int>(s.rows.size());
  std::string action;
  for (size_t k = 0; k < s.predicateRows.size(); ++k) {
    s.arcs.assign(n, _dppair());
    for (_dppair& arc : s.arcs) setArc(arc, kNoHeadYet, "_");
    s.stack.clear();
    int next = 0;
    while (n > 1) {
      if (!classifyState(m, s, next, action)) return false;
      if (!canApply(action, s.stack)) {
        // The most probable applicable label; the first one wins ties.
        double best = -1.0;
        int bestId = -1;
        for (size_t t = 0; t < m.tags.size() && t < s.probs.size(); ++t) {
          if (canApply(m.tags[t], s.stack) && s.probs[t] > best) {
            best = s.probs[t];
            bestId = static_cast<int>(t);
          }
        }
        if (bestId < 0) break;  // no label can move this state on
        action = m.tags[bestId];
      }
      classDPNivreSRL(action, s.arcs, s.stack, next);
      if (next >= n) break;
      if (finishMode != 2 && checkDPCounter(s.arcs) >= n - 1) break;
    }
    s.argumentLists.push_back(s.arcs);
  }
  for (std::vector<_dppair>& list : s.argumentLists) finishList(list, finishMode);
  return true;
}

int ME_TestSRLMultiNivre(char* templatePath, char* modelPath, char* inputPath, char* outputPath, int finishMode) {
  _trainFlag = false;
  SrlRun run;
  if (openSrlRun(run, templatePath, modelPath, inputPath, outputPath) < 0) return -1;
  SrlSentence s;
  while (readSrlSentence(run, s.rows, s.rowLines)) {
    warnShortRows(run, s.rows, s.rowLines, kSrlLayoutColumns);
    if (!srlLabelNivre(run, s, finishMode)) {
      closeSrlRun(run);
      return -1;
    }
    s.text.clear();
    writeRoleRows(s, s.argumentLists, s.text);
    writeSrlSentence(run, s.text);
  }
  return closeSrlRun(run);
}
