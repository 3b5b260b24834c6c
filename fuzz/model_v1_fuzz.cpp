// ME_Model::load_from_file (the older one-weight-per-line format).
#include "fuzz/fuzz_util.h"
#include "maxent/me_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ScratchFiles files;
  const std::string path = files.add("model-v1", std::string(reinterpret_cast<const char*>(data), size));
  ME_Model model;
  if (!model.load_from_file(path)) return 0;
  ME_Sample sample;
  sample.feature_strs = {"U02:The", "A01:run//DT", "x"};
  model.classify(sample);
  return 0;
}
