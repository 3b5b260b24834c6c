#include "roles/srl_sentence.h"

#include "roles/srl_drivers.h"

bool classifyState(SrlRun& run, SrlSentence& s, int& position, std::string& label) {
  std::string unused;
  if (AddFullFeatures(unused, s.sample, run.model, run.templates, run.templateOrder, s.rows, s.stack, position,
                      s.arcs, s.argumentLists, s.predicateRows, s.extraArcs) < 0)
    return false;
  s.probs = run.model.classify(s.sample);
  label = s.sample.label_str;
  return true;
}

bool askModel(SrlRun& run, SrlSentence& s, int token, int position, std::string& label) {
  s.stack.assign(1, token);
  return classifyState(run, s, position, label);
}

void writeRoleRows(const SrlSentence& s, const std::vector<std::vector<_dppair>>& lists, std::string& out) {
  for (size_t r = 0; r < s.rows.size(); ++r) {
    appendColumns(s.rows[r], out);
    for (const std::vector<_dppair>& list : lists) {
      if (r < list.size()) appendRolePair(list[r], out);
    }
    out += '\n';
  }
  out += '\n';
}
