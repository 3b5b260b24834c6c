// The parsing drivers on an arbitrary sentence file. The first byte picks the
// driver; the rest is "[template\n%%\n]sentences" (the built-in parser
// template when there is no separator).
#include "fuzz/fuzz_util.h"
#include "parsing/parsing_drivers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int which = data[0] % 3;
  std::vector<std::string> parts = fuzz::splitParts(data + 1, size - 1, 2);
  if (parts[1].empty() && !parts[0].empty()) parts = {fuzz::parserTemplate(), parts[0]};
  fuzz::ScratchFiles files;
  std::string tmpl = files.add("parse.tpl", parts[0]);
  std::string model = files.add("parse.model", fuzz::parserModel());
  std::string in = files.add("parse.in", parts[1]);
  std::string out = files.reserve("parse.out");
  typedef int (*Driver)(char*, char*, char*, char*);
  static const Driver drivers[] = {ME_TestPNivre2Ext, ME_TestPNivre2ExtInverse, ME_TestPNivre2ExtV2};
  drivers[which](&tmpl[0], &model[0], &in[0], &out[0]);
  return 0;
}
