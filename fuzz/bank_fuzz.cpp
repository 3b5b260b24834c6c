// loadBank (both dictionaries), then recommendation searches over a small
// sentence whose predicate lemma is the first one loaded.
#include "features/predicate_dictionary.h"
#include "fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ScratchFiles files;
  const std::string path = files.add("bank", std::string(reinterpret_cast<const char*>(data), size));
  const int nominal = size > 0 ? (data[0] & 1) : 0;
  loadBank(path.c_str(), nominal);
  const auto& dict = nominal ? _dicNom : _dicProp;
  const std::string lemma = dict.empty() ? "give" : dict.begin()->first;
  TokenTable rows;
  for (int i = 0; i < 6; ++i) rows.push_back({"w", "_", "_", "_", "_", "_", lemma, nominal ? "NN" : "VV"});
  std::vector<std::string> labels = {"A0", "_", "A1", "_", "_", "A2"};
  std::vector<std::string> out;
  for (int arg = 0; arg < 6; ++arg) recommendSearch(arg, 2, labels, rows, out);
  _dicNom.clear();
  _dicProp.clear();
  return 0;
}
