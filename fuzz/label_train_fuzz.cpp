// FeatureGenLabelTrain on an arbitrary training file: "[template\n%%\n]rows"
// (the English tagging templates when there is no separator).
#include "decoding/label_training.h"
#include "fuzz/fuzz_util.h"

namespace {
const char kEnglish[] =
    "U01:%x[-1,0]\nU02:%x[0,0]\nU07:%x[0,0]%x[1,0]\nU20:%x.lowcase[-2,0]\n"
    "U45:%x.capitaltype[-2,0]%x.capitaltype[-1,0]\nU63:%x.punctype[1,0]\n"
    "A01:%x[0,0]%y[-1,0]\nA02:%x[0,0]%y[-2,0]\nB1\nB2\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool strict = data[0] & 1;
  std::vector<std::string> parts = fuzz::splitParts(data + 1, size - 1, 2);
  if (parts[1].empty() && !parts[0].empty()) parts = {kEnglish, parts[0]};
  fuzz::ScratchFiles files;
  std::string tmpl = files.add("train.tpl", parts[0]);
  std::string train = files.add("train.in", parts[1]);
  ME_Model model;
  FeatureGenLabelTrain(&tmpl[0], &train[0], model, strict);
  return 0;
}
