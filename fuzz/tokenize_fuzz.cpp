// tokenize: the English tokenizer and sentence splitter on any bytes (tokens
// are ordered, non-empty, inside the text and free of white space; sentences
// cover every token once), and the lemmatizer on the tokens.
#include <cstdlib>
#include <string>
#include <vector>

#include "lemmatize/lemmatizer.h"
#include "tokenize/english_tokenizer.h"
#include "tokenize/sentence_splitter.h"

namespace {

const tokenize::TokenLists& lists() {
  static const tokenize::TokenLists l = [] {
    tokenize::TokenLists x;
    x.whole = {"dr.", ".doc", "yahoo!", "e-mail"};
    x.hyphenPrefixes = {"e", "co", "non"};
    x.joined = {{"dont", 2}, {"gonna", 3}};
    x.sentenceEnds = {{".\tU", {9, 10}}, {"dr.\tU", {0, 10}}, {"...\tL", {1, 10}}};
    return x;
  }();
  return l;
}

const lemmatize::Lemmatizer& lemmas() {
  static const lemmatize::Lemmatizer l = [] {
    lemmatize::Lemmatizer x;
    x.learn({{"walked", "walk", "VERB", "VBD"}, {"talked", "talk", "VERB", "VBD"}, {"cities", "city", "NOUN", "NNS"},
             {"ladies", "lady", "NOUN", "NNS"}, {"Dogs", "dog", "NOUN", "NNS"}, {"Paris", "Paris", "PROPN", "NNP"}});
    return x;
  }();
  return l;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  tokenize::EnglishTokenizer tokenizer(lists());
  std::vector<tokenize::Token> tokens;
  tokenizer.tokenize(text, tokens);
  size_t last = 0;
  for (const tokenize::Token& t : tokens) {
    if (t.begin < last || t.end <= t.begin || t.end > size) std::abort();
    for (size_t i = t.begin; i < t.end; ++i)
      if (text[i] == ' ' || text[i] == '\t' || text[i] == '\n') std::abort();
    last = t.end;
    const std::string form = text.substr(t.begin, t.end - t.begin);
    if (lemmas().lemma(form, "NNS").empty() || lemmas().lemma(form, "VBD").empty()) std::abort();
  }
  const size_t before = tokens.size();
  const std::vector<size_t> ends = tokenize::SentenceSplitter(lists()).split(text, tokens);
  if (tokens.size() < before || (tokens.empty() != ends.empty())) std::abort();
  size_t previous = 0;
  for (size_t e : ends) {
    if (e <= previous || e > tokens.size()) std::abort();
    previous = e;
  }
  if (!ends.empty() && ends.back() != tokens.size()) std::abort();
  last = 0;
  for (const tokenize::Token& t : tokens) {
    if (t.begin < last || t.end <= t.begin || t.end > size) std::abort();
    last = t.end;
  }
  return 0;
}
