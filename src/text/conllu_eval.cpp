#include "text/conllu_eval.h"

#include <cstdio>
#include <vector>

#include "text/conllu.h"

namespace conllu {

namespace {

struct Unit {
  size_t begin, end;  // characters of the concatenated forms
  std::string upos, xpos, lemma, deprel;
  long head;      // index of the head in the file's words; -1 for the root
  long sentence;  // index of its sentence
};

struct Document {
  std::string chars;  // forms without white space
  std::vector<Unit> words;
  std::vector<std::pair<size_t, size_t>> sentences;  // character spans
};

bool readDocument(const std::string& path, Document& doc, std::string& error) {
  std::FILE* in = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
  if (!in) {
    error = "Error: cannot open " + path;
    return false;
  }
  Reader reader(in, path);
  Sentence s;
  bool ok = true;
  for (;;) {
    const ReadStatus status = reader.next(s);
    if (status == ReadStatus::kEnd) break;
    if (status != ReadStatus::kSentence) {
      error = reader.error();
      ok = false;
      break;
    }
    if (s.words.empty()) continue;
    const long base = static_cast<long>(doc.words.size());
    const size_t start = doc.chars.size();
    for (size_t i = 0; i < s.words.size(); ++i) {
      const Word& w = s.words[i];
      Unit u;
      u.begin = doc.chars.size();
      for (char c : w.cols[kForm])
        if (c != ' ' && c != '\t') doc.chars += c;
      u.end = doc.chars.size();
      u.upos = w.cols[kUpos];
      u.xpos = w.cols[kXpos];
      u.lemma = w.cols[kLemma];
      // Relations compare on their universal part (before any ':').
      u.deprel = w.cols[kDeprel].substr(0, w.cols[kDeprel].find(':'));
      const int h = s.head(i);
      u.head = h <= 0 ? -1 : base + h - 1;
      u.sentence = static_cast<long>(doc.sentences.size());
      doc.words.push_back(u);
    }
    doc.sentences.emplace_back(start, doc.chars.size());
  }
  if (in != stdin) std::fclose(in);
  return ok;
}

void count(Count& c, long gold, long system, long correct) {
  c.gold += gold;
  c.system += system;
  c.correct += correct;
}

}  // namespace

bool evaluate(const std::string& goldPath, const std::string& systemPath, Scores& scores, std::string& error) {
  scores = Scores();
  Document gold, system;
  if (!readDocument(goldPath, gold, error) || !readDocument(systemPath, system, error)) return false;
  if (gold.chars != system.chars) {
    size_t at = 0;
    while (at < gold.chars.size() && at < system.chars.size() && gold.chars[at] == system.chars[at]) ++at;
    error = "Error: the forms of " + systemPath + " and " + goldPath + " differ after " + std::to_string(at) +
            " characters (near \"" + gold.chars.substr(at > 20 ? at - 20 : 0, 40) + "\")";
    return false;
  }
  // Tokens match when their spans are equal; both lists are in text order.
  std::vector<long> goldOf(system.words.size(), -1), systemOf(gold.words.size(), -1);
  for (size_t g = 0, s = 0; g < gold.words.size() && s < system.words.size();) {
    const Unit& a = gold.words[g];
    const Unit& b = system.words[s];
    if (a.begin == b.begin && a.end == b.end) {
      goldOf[s] = static_cast<long>(g);
      systemOf[g] = static_cast<long>(s);
      ++g;
      ++s;
    } else if (a.end <= b.end) {
      ++g;
    } else {
      ++s;
    }
  }
  long aligned = 0;
  for (long g : goldOf) aligned += g >= 0;
  scores.alignedWords = aligned;
  const long ng = static_cast<long>(gold.words.size()), ns = static_cast<long>(system.words.size());
  count(scores.tokens, ng, ns, aligned);
  long upos = 0, xpos = 0, lemmas = 0, uas = 0, las = 0;
  for (size_t s = 0; s < system.words.size(); ++s) {
    if (goldOf[s] < 0) continue;
    const Unit& sw = system.words[s];
    const Unit& gw = gold.words[static_cast<size_t>(goldOf[s])];
    upos += sw.upos == gw.upos;
    xpos += sw.xpos == gw.xpos;
    lemmas += sw.lemma == gw.lemma;
    const long mapped = sw.head < 0 ? -1 : goldOf[static_cast<size_t>(sw.head)];
    const bool headOk = sw.head < 0 ? gw.head < 0 : (mapped >= 0 && mapped == gw.head);
    uas += headOk;
    las += headOk && sw.deprel == gw.deprel;
  }
  count(scores.upos, ng, ns, upos);
  count(scores.xpos, ng, ns, xpos);
  count(scores.lemmas, ng, ns, lemmas);
  count(scores.uas, ng, ns, uas);
  count(scores.las, ng, ns, las);
  long sentences = 0;
  for (size_t g = 0, s = 0; g < gold.sentences.size() && s < system.sentences.size();) {
    const auto& a = gold.sentences[g];
    const auto& b = system.sentences[s];
    if (a == b) {
      ++sentences;
      ++g;
      ++s;
    } else if (a.second <= b.second) {
      ++g;
    } else {
      ++s;
    }
  }
  count(scores.sentences, static_cast<long>(gold.sentences.size()), static_cast<long>(system.sentences.size()),
        sentences);
  return true;
}

std::string formatScores(const Scores& scores) {
  std::string out = "Metric     | Precision |    Recall |  F1 Score | AligndAcc\n"
                    "-----------+-----------+-----------+-----------+-----------\n";
  auto line = [&](const char* name, const Count& c, bool word) {
    char buf[160];
    if (word)
      std::snprintf(buf, sizeof buf, "%-10s | %9.2f | %9.2f | %9.2f | %9.2f\n", name, 100 * c.precision(),
                    100 * c.recall(), 100 * c.f1(),
                    scores.alignedWords ? 100.0 * c.correct / scores.alignedWords : 0.0);
    else
      std::snprintf(buf, sizeof buf, "%-10s | %9.2f | %9.2f | %9.2f |\n", name, 100 * c.precision(),
                    100 * c.recall(), 100 * c.f1());
    out += buf;
  };
  line("Tokens", scores.tokens, false);
  line("Sentences", scores.sentences, false);
  line("UPOS", scores.upos, true);
  line("XPOS", scores.xpos, true);
  line("Lemmas", scores.lemmas, true);
  line("UAS", scores.uas, true);
  line("LAS", scores.las, true);
  return out;
}

}  // namespace conllu
