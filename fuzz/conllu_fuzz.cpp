// conllu: the CoNLL-U reader, and its writer on what it accepts (a written
// sentence must read back the same).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "text/conllu.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::FILE* f = fmemopen(size ? &text[0] : nullptr, size, "r");
  if (f == nullptr) return 0;
  conllu::Reader reader(f, "input");
  conllu::Sentence s;
  for (int n = 0; n < 10000; ++n) {
    conllu::ReadStatus st = reader.next(s);
    if (st == conllu::ReadStatus::kEnd || st == conllu::ReadStatus::kFailed) break;
    if (st != conllu::ReadStatus::kSentence) continue;
    std::string out;
    conllu::write(s, out);
    std::FILE* g = fmemopen(&out[0], out.size(), "r");
    conllu::Reader again(g, "again");
    conllu::Sentence t;
    if (again.next(t) != conllu::ReadStatus::kSentence || t.words.size() != s.words.size() ||
        t.comments != s.comments || t.extras != s.extras)
      std::abort();
    for (size_t i = 0; i < s.words.size(); ++i)
      if (t.words[i].cols != s.words[i].cols) std::abort();
    std::fclose(g);
  }
  std::fclose(f);
  return 0;
}
