// loadmap: the plain key/value dictionary.
#include "features/predicate_dictionary.h"
#include "fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ScratchFiles files;
  const std::string path = files.add("map", std::string(reinterpret_cast<const char*>(data), size));
  loadmap(path.c_str());
  _dic.clear();
  return 0;
}
