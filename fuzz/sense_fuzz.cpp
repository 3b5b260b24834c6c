// senseDeterminator on an arbitrary column file, with small predicate
// dictionaries loaded once (or, after a "%%" line, dictionaries from the input).
#include "features/predicate_dictionary.h"
#include "fuzz/fuzz_util.h"
#include "sense/sense_determination.h"

namespace {
const char kProp[] = "give s01:0:1:2=x0x_R1_R2 s02:0:1=x0x_R1\ntake s01:0:1=x0x_R1\n";
const char kNom[] = "book s01:0=_R0\n";
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> parts = fuzz::splitParts(data, size, 2);
  fuzz::ScratchFiles files;
  const bool own = !parts[1].empty();
  std::string input = own ? parts[1] : parts[0];
  const std::string prop = files.add("sense.prop", own ? parts[0] : std::string(kProp));
  const std::string nom = files.add("sense.nom", kNom);
  loadBank(prop.c_str(), 0);
  loadBank(nom.c_str(), 1);
  std::string in = files.add("sense.in", input);
  std::string out = files.reserve("sense.out");
  senseDeterminator(&in[0], &out[0]);
  return 0;
}
