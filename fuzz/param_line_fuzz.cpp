// CRFPP::Param::open on one line of words, with the tagger's option table.
#include "app/tagging_run.h"
#include "fuzz/fuzz_util.h"
#include "options/param.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);  // may hold NULs: the line ends at the first
  CRFPP::Param param;
  param.open(line.c_str(), long_options);
  param.get<std::string>("language");
  param.get<std::string>("outputfile");
  param.get<bool>("help");
  return 0;
}
