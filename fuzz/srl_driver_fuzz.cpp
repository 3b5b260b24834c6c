// The role-labelling drivers on an arbitrary column file. The first byte
// picks the driver and its mode; the rest is "[template\n%%\n]sentences".
#include "fuzz/fuzz_util.h"
#include "roles/srl_drivers.h"
#include "roles/srl_nivre.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int which = data[0] % 6;
  const int mode = (data[0] >> 3) % 3;
  const bool nivre = which == 5;
  std::vector<std::string> parts = fuzz::splitParts(data + 1, size - 1, 2);
  if (parts[1].empty() && !parts[0].empty())
    parts = {nivre ? fuzz::nivreTemplate() : fuzz::rolesTemplate(), parts[0]};
  fuzz::ScratchFiles files;
  std::string tmpl = files.add("srl.tpl", parts[0]);
  std::string model = files.add("srl.model", nivre ? fuzz::nivreModel() : fuzz::rolesModel());
  std::string in = files.add("srl.in", parts[1]);
  std::string out = files.reserve("srl.out");
  char* t = &tmpl[0];
  char* m = &model[0];
  char* i = &in[0];
  char* o = &out[0];
  switch (which) {
    case 0: ME_TestSRLMulti(t, m, i, o, mode); break;
    case 1: ME_TestSRLMultiXue(t, m, i, o, mode); break;
    case 2: ME_TestSRLMultiClass(t, m, i, o, mode); break;
    case 3: ME_TestSRLMultiAllPair(t, m, i, o); break;
    case 4: ME_TestSRLMultiXueExt(t, m, i, o, mode); break;
    default: ME_TestSRLMultiNivre(t, m, i, o, mode); break;
  }
  return 0;
}
