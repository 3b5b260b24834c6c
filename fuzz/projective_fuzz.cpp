// ProjectiveGen and deprojectivizeFile on an arbitrary dependency file; the
// first byte picks the reader.
#include "fuzz/fuzz_util.h"
#include "projectivity/projective_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::ScratchFiles files;
  std::string in = files.add("proj.in", std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  std::string out = files.reserve("proj.out");
  switch (data[0] % 3) {
    case 0: {
      ProjectiveGenCounts counts;
      ProjectiveGen(&in[0], &out[0], &counts);
      break;
    }
    case 1:
      deprojectivizeFile(&in[0], &out[0], 2, nullptr);
      break;
    default:
      deprojectivizeFile(&in[0], &out[0], 3, nullptr);
      break;
  }
  return 0;
}
