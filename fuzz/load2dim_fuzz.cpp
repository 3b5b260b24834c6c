// Load2DimDataFromCRF: one column of every token, blocks per sentence. The
// first byte picks the column (0-7, or a negative one).
#include "fuzz/fuzz_util.h"
#include "labels/tag_dictionary.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int column = static_cast<int>(data[0] % 10) - 2;
  fuzz::ScratchFiles files;
  std::string path = files.add("crf", std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  std::vector<std::vector<std::string>> blocks;
  Load2DimDataFromCRF(&path[0], column, blocks);
  return 0;
}
