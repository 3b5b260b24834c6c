// FeatureLocGenP2Multi with templates read from the first part of the input
// and a sentence (column rows) from the second: every template at every
// position, with a stack, arcs from columns 8/9 and argument lists shaped as
// the drivers shape them.
#include <cstdlib>

#include "features/feature_generator.h"
#include "fuzz/fuzz_util.h"
#include "templates/template_reader.h"
#include "text/line_utils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> parts = fuzz::splitParts(data, size, 2);
  fuzz::ScratchFiles files;
  std::string path = files.add("fg.tpl", parts[0]);
  std::vector<_ftnind> templates;
  std::vector<int> order;
  int labelOrder = 0;
  if (readTemplateFile3(&path[0], templates, order, labelOrder) <= 0) return 0;

  TokenTable rows;
  size_t from = 0;
  const std::string& text = parts[1];
  while (from < text.size() && rows.size() < 64) {
    size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(from, end - from);
    std::vector<std::string> fields;
    readLine2VectorString(line, fields);
    if (!fields.empty()) rows.push_back(fields);
    from = end + 1;
  }
  const int n = static_cast<int>(rows.size());
  std::vector<_dppair> arcs(n), extraArcs(n);
  std::vector<int> predicateRows;
  for (int i = 0; i < n; ++i) {
    if (rows[i].size() > 8) extraArcs[i].head = static_cast<int32_t>(std::strtol(rows[i][8].c_str(), nullptr, 10)) - 1;
    if (rows[i].size() > 9) extraArcs[i].dprel = rows[i][9];
    if (rows[i].size() > 10 && rows[i][10] != "_") predicateRows.push_back(i);
    // The parser's own arcs always point inside the sentence.
    if (i > 0 && (i % 2) == 1) {
      arcs[i].head = i - 1;
      arcs[i].dprel = "x";
    }
  }
  std::vector<std::vector<_dppair>> argumentLists(predicateRows.size(), extraArcs);
  std::string value;
  for (int position = 0; position <= n; ++position) {
    std::vector<int> stack;
    for (int s = 0; s < position && s < 3; ++s) stack.push_back(s);
    for (_ftnind& t : templates)
      FeatureLocGenP2Multi(rows, t, stack, position, arcs, argumentLists, predicateRows, extraArcs, value);
  }
  return 0;
}
