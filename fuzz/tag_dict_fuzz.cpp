// LoadCliqueLabelDict: one tag set per word, in word-id order.
#include "fuzz/fuzz_util.h"
#include "labels/tag_dictionary.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ScratchFiles files;
  std::string path = files.add("tag-dict", std::string(reinterpret_cast<const char*>(data), size));
  CMiniStringBag wordBag;
  std::vector<CMiniStringBag> wordTagBags;
  LoadCliqueLabelDict(&path[0], wordBag, wordTagBags);
  if (wordTagBags.size() < static_cast<size_t>(wordBag.count)) __builtin_trap();
  return 0;
}
