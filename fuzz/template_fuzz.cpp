// readTemplateFile3 and the checks the drivers run over what it read.
#include "fuzz/fuzz_util.h"
#include "templates/template_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ScratchFiles files;
  std::string path = files.add("template", std::string(reinterpret_cast<const char*>(data), size));
  std::vector<_ftnind> templates;
  std::vector<int> order;
  int labelOrder = 0;
  const int n = readTemplateFile3(&path[0], templates, order, labelOrder);
  if (n < 0) return 0;
  for (int index : order)
    if (index < 0 || static_cast<size_t>(index) >= templates.size()) __builtin_trap();
  std::vector<int> flags;
  checkFTNodeInfo(templates, flags);
  checkFTNodeDPRel(templates);
  TokenTable rows = {{"He", "x", "PRP"}, {"eats", "y"}, {"fish"}};
  for (_ftnind& t : templates) checkHRange(rows, t.items, true);
  return 0;
}
