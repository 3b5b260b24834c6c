// CRFPP::Param::load: configuration files of key = value lines.
#include "fuzz/fuzz_util.h"
#include "options/param.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ScratchFiles files;
  const std::string path = files.add("config", std::string(reinterpret_cast<const char*>(data), size));
  CRFPP::Param param;
  param.load(path.c_str());
  param.get<int>("cost");
  param.get<double>("eta");
  param.get<std::string>("model");
  return 0;
}
