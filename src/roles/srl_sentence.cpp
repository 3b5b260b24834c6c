#include "roles/srl_sentence.h"

#include <cstdio>

#include "roles/srl_drivers.h"
#include "roles/srl_run.h"
#include "templates/template_reader.h"

bool loadSrlModel(SrlModel& m, char* templatePath, char* modelPath) {
  if (!m.model.load_from_fileV2(modelPath)) return false;
  // Classification needs at least one label to choose from.
  if (m.model.num_classes() == 0) {
    std::fprintf(stderr, "Error: model file %s holds no labels.\n", modelPath);
    return false;
  }
  m.tags.clear();
  for (int i = 0; i < m.model.num_classes(); ++i) m.tags.push_back(m.model.get_class_label(i));
  std::fprintf(stderr, "#TagNum=%d\n", m.model.num_classes());
  // Two templates of one name would give colliding feature strings.
  if (readTemplateFile3(templatePath, m.templates, m.templateOrder, m.labelOrder) < 0) {
    std::fprintf(stderr, "Error: template file %s names two templates alike.\n", templatePath);
    return false;
  }
  return true;
}

bool classifyState(SrlModel& m, SrlSentence& s, int& position, std::string& label) {
  std::string unused;
  if (AddFullFeatures(unused, s.sample, m.model, m.templates, m.templateOrder, s.rows, s.stack, position, s.arcs,
                      s.argumentLists, s.predicateRows, s.extraArcs) < 0)
    return false;
  if (m.choose) {
    s.probs.clear();
    m.choose(s, position, label);
    return true;
  }
  s.probs = m.model.classify(s.sample);
  label = s.sample.label_str;
  return true;
}

bool askModel(SrlModel& m, SrlSentence& s, int token, int position, std::string& label) {
  s.stack.assign(1, token);
  return classifyState(m, s, position, label);
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
