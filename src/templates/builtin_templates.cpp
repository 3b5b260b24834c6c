#include "templates/builtin_templates.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <initializer_list>

#include "templates/template_reader.h"

void finishTemplate(_ftnind& t, int& labelOrder) {
  t.minLabelOffset = 0;
  for (const _ft& item : t.items) {
    if (item.type != 0 || item.offset == 0) continue;
    const long long distance = std::llabs(static_cast<long long>(item.offset));
    if (distance > labelOrder) labelOrder = static_cast<int>(std::min<long long>(distance, INT_MAX));
    if (item.offset < t.minLabelOffset) t.minLabelOffset = item.offset;
  }
  if (t.name == "B") t.name = "B1";
}

void buildTemplateOrder(const std::vector<_ftnind>& templates, int labelOrder, std::vector<int>& templateOrder) {
  templateOrder.clear();
  // Stable sort instead of a pass per offset: same order, no loop over labelOrder.
  const long long lowest = -static_cast<long long>(labelOrder);
  for (size_t i = 0; i < templates.size(); ++i) {
    const int d = templates[i].minLabelOffset;
    if (d <= 0 && d >= lowest) templateOrder.push_back(static_cast<int>(i));
  }
  std::stable_sort(templateOrder.begin(), templateOrder.end(),
                   [&](int a, int b) { return templates[a].minLabelOffset > templates[b].minLabelOffset; });
}

namespace {

_ft word(int offset) {
  _ft item;
  item.type = 4;
  item.offset = offset;
  return item;
}

_ft function(const char* name, int offset) {
  _ft item = word(offset);
  const int code = stepCodeOf(name);
  item.valueFunction = code;
  item.steps.push_back(_subft{code, 0});
  return item;
}

_ft label(int offset) {
  _ft item;
  item.type = 0;
  item.offset = offset;
  return item;
}

void add(std::vector<_ftnind>& templates, int& labelOrder, const char* name, std::initializer_list<_ft> items) {
  _ftnind t;
  t.name = name;
  t.items.assign(items.begin(), items.end());
  finishTemplate(t, labelOrder);
  templates.push_back(t);
}

}  // namespace

int getTemplateChinesePoS(std::vector<_ftnind>& templates, std::vector<int>& templateOrder, int& labelOrder) {
  templates.clear();
  labelOrder = 0;
  std::vector<_ftnind>& t = templates;
  int& b = labelOrder;
  add(t, b, "U00", {word(-2)});
  add(t, b, "U01", {word(-1)});
  add(t, b, "U02", {word(0)});
  add(t, b, "U03", {word(1)});
  add(t, b, "U04", {word(2)});
  add(t, b, "U05", {word(-2), word(-1)});
  add(t, b, "U06", {word(-1), word(0)});
  add(t, b, "U07", {word(0), word(1)});
  add(t, b, "U08", {word(1), word(2)});
  add(t, b, "U09", {word(-1), word(1)});
  add(t, b, "U11", {function("chncharfirst", 0)});
  add(t, b, "U12", {function("chncharlast", 0)});
  add(t, b, "U13", {function("chncharlen", 0)});
  add(t, b, "B", {label(-1)});
  buildTemplateOrder(templates, labelOrder, templateOrder);
  return static_cast<int>(templates.size());
}

int getTemplateEnglishPoS(std::vector<_ftnind>& templates, std::vector<int>& templateOrder, int& labelOrder) {
  templates.clear();
  labelOrder = 0;
  std::vector<_ftnind>& t = templates;
  int& b = labelOrder;
  add(t, b, "U01", {word(-1)});
  add(t, b, "U02", {word(0)});
  add(t, b, "U03", {word(1)});
  add(t, b, "U04", {word(2)});
  add(t, b, "U07", {word(0), word(1)});
  add(t, b, "U09", {word(-1), word(1)});
  add(t, b, "U20", {function("lowcase", -2)});
  add(t, b, "U21", {function("lowcase", -1)});
  add(t, b, "U23", {function("lowcase", 1)});
  add(t, b, "U27", {function("lowcase", 0), function("lowcase", 1)});
  add(t, b, "U28", {function("lowcase", 1), function("lowcase", 2)});
  add(t, b, "U29", {function("lowcase", -1), function("lowcase", 1)});
  add(t, b, "U45", {function("capitaltype", -2), function("capitaltype", -1)});
  add(t, b, "U47", {function("capitaltype", 0), function("capitaltype", 1)});
  add(t, b, "U63", {function("punctype", 1)});
  add(t, b, "A01", {word(0), label(-1)});
  add(t, b, "A02", {word(0), label(-2)});
  add(t, b, "B", {label(-1)});
  add(t, b, "B2", {label(-2), label(-1)});
  buildTemplateOrder(templates, labelOrder, templateOrder);
  return static_cast<int>(templates.size());
}
