// labelSeqIt and the fast labelling path with the tagger's small models on a
// sentence from the input, optionally restricted by a legal-transition file
// ("sentence\n%%\nlegal file"). The first byte picks the language. Both paths
// must agree.
#include "decoding/fast_labeling.h"
#include "decoding/labeling.h"
#include "fuzz/fuzz_util.h"
#include "labels/legal_transitions.h"
#include "labels/tag_dictionary.h"
#include "templates/builtin_templates.h"
#include "text/line_utils.h"

namespace {

struct Tagger {
  ME_Model model;
  CMiniStringBag wordBag;
  std::vector<CMiniStringBag> wordTagBags;
  std::vector<std::string> tagList;
  std::vector<_ftnind> templates;
  std::vector<int> order;
  int labelOrder = 0;

  explicit Tagger(bool english) {
    const std::string chineseModel =
        "U02\n\xce\xd2 PN 4.000000\n\xb0\xae VV 4.000000\n\xa3\xac PU 4.000000\n\n"
        "U01\n_B-1 VV 3.000000\n\xa3\xac NN 3.000000\n\nU13\n3 NR 2.000000\n\nB1\nPN VV 1.000000";
    const std::string chineseDict = "\xce\xd2 PN\n\xb0\xae VV\n\xa3\xac PU\n\xbb\xe1 NN VV\n";
    std::string m = fuzz::writeFile(english ? "ls-en.model" : "ls-zh.model",
                                    english ? std::string(fuzz::taggerModel()) : chineseModel);
    std::string d = fuzz::writeFile(english ? "ls-en.dict" : "ls-zh.dict",
                                    english ? std::string(fuzz::taggerDict()) : chineseDict);
    if (!model.load_from_fileV2(m)) __builtin_trap();
    LoadCliqueLabelDict(&d[0], wordBag, wordTagBags);
    fuzz::removeFile(m);
    fuzz::removeFile(d);
    for (int i = 0; i < model.num_classes(); ++i) tagList.push_back(model.get_class_label(i));
    if (english) getTemplateEnglishPoS(templates, order, labelOrder);
    else getTemplateChinesePoS(templates, order, labelOrder);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static Tagger english(true), chinese(false);
  Tagger& tagger = (data[0] & 1) ? english : chinese;
  std::vector<std::string> parts = fuzz::splitParts(data + 1, size - 1, 2);
  std::vector<CMiniStringBag> legal;
  if (!parts[1].empty()) {
    fuzz::ScratchFiles files;
    std::string path = files.add("ls.legal", parts[1]);
    LoadLegalTagTrans(&path[0], legal);
  }
  std::vector<std::string> words;
  readLine2VectorString(parts[0], words);
  if (words.size() > 200) words.resize(200);
  TokenTable sentence;
  for (const std::string& w : words) sentence.push_back({w});
  std::vector<std::string> slow, fast;
  const int r1 = labelSeqIt(sentence, tagger.tagList, slow, tagger.labelOrder, tagger.wordBag, 1,
                            tagger.wordTagBags, legal, tagger.templates, tagger.order, tagger.model);
  FastLabeler labeler(tagger.model, tagger.templates, tagger.order, tagger.labelOrder, tagger.tagList,
                      tagger.wordBag, tagger.wordTagBags, legal);
  const int r2 = labeler.label(sentence, fast);
  if (r1 != r2 || slow != fast) __builtin_trap();
  if (r1 == 1 && slow.size() != sentence.size()) __builtin_trap();
  return 0;
}
