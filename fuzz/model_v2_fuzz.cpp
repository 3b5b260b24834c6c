// ME_Model::load_from_fileV2 on arbitrary bytes; a model that loads is
// classified with and written back, and the copy must load again.
#include "fuzz/fuzz_util.h"
#include "maxent/me_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ScratchFiles files;
  const std::string path = files.add("model-v2", std::string(reinterpret_cast<const char*>(data), size));
  ME_Model model;
  if (!model.load_from_fileV2(path)) return 0;
  ME_Sample sample;
  sample.feature_strs = {"U02:The", "U02:cat", "A01:run//DT", "x"};
  std::vector<double> probs = model.classify(sample);
  if (model.num_classes() > 0 && probs.size() != static_cast<size_t>(model.num_classes())) __builtin_trap();
  const std::string copy = files.reserve("model-v2-copy");
  if (model.save_to_fileV2(copy)) {
    ME_Model again;
    if (!again.load_from_fileV2(copy)) __builtin_trap();
  }
  return 0;
}
