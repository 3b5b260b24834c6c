// LoadLegalTagTrans, then the three kinds of question the decoders ask.
#include "fuzz/fuzz_util.h"
#include "labels/legal_transitions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ScratchFiles files;
  std::string path = files.add("legal", std::string(reinterpret_cast<const char*>(data), size));
  std::vector<CMiniStringBag> table;
  LoadLegalTagTrans(&path[0], table);
  std::string a = "NN", b = "VB", none;
  IsLegalSequence(a, none, table);
  IsLegalSequence(none, b, table);
  IsLegalSequence(a, b, table);
  return 0;
}
