// The tagger's line loop (tagLineStream) over arbitrary input text, with the
// fast labeller or labelSeqIt; the first byte picks language and path. Every
// word of the input must come out with a tag.
#include <memory>

#include "app/tagging_run.h"
#include "decoding/fast_labeling.h"
#include "decoding/labeling.h"
#include "fuzz/fuzz_util.h"
#include "labels/tag_dictionary.h"
#include "templates/builtin_templates.h"

namespace {

struct Tagger {
  ME_Model model;
  CMiniStringBag wordBag;
  std::vector<CMiniStringBag> wordTagBags;
  std::vector<CMiniStringBag> legal;
  std::vector<std::string> tagList;
  std::vector<_ftnind> templates;
  std::vector<int> order;
  int labelOrder = 0;
  std::unique_ptr<FastLabeler> fast;

  Tagger() {
    std::string m = fuzz::writeFile("tl.model", fuzz::taggerModel());
    std::string d = fuzz::writeFile("tl.dict", fuzz::taggerDict());
    if (!model.load_from_fileV2(m)) __builtin_trap();
    LoadCliqueLabelDict(&d[0], wordBag, wordTagBags);
    fuzz::removeFile(m);
    fuzz::removeFile(d);
    showTagSet(model, tagList);
    getTemplateEnglishPoS(templates, order, labelOrder);
    fast.reset(new FastLabeler(model, templates, order, labelOrder, tagList, wordBag, wordTagBags, legal));
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static Tagger tagger;
  const bool english = data[0] & 1;
  const bool reference = data[0] & 2;
  std::FILE* in = fmemopen(const_cast<uint8_t*>(data + 1), size - 1, "rb");
  if (size == 1) in = std::fopen("/dev/null", "rb");
  char* buf = nullptr;
  size_t len = 0;
  std::FILE* out = open_memstream(&buf, &len);
  if (in == nullptr || out == nullptr) __builtin_trap();
  size_t words = 0;
  SequenceLabeler label = [&](TokenTable& seq, std::vector<std::string>& tags) {
    words += seq.size();
    if (reference)
      labelSeqIt(seq, tagger.tagList, tags, tagger.labelOrder, tagger.wordBag, 1, tagger.wordTagBags, tagger.legal,
                 tagger.templates, tagger.order, tagger.model);
    else
      tagger.fast->label(seq, tags);
  };
  tagLineStream(in, out, english, label);
  std::fclose(in);
  std::fclose(out);
  // Each word is written as "word/tag ": at least as many slashes as words.
  size_t slashes = 0;
  for (size_t i = 0; i < len; ++i) slashes += buf[i] == '/';
  std::free(buf);
  if (slashes < words) __builtin_trap();
  return 0;
}
