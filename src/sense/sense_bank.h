// Predicate dictionaries built from annotated sentences, in the format
// loadBank reads: one line per lemma, "lemma<TAB>senses<TAB>rolesets".
//
// senses: the lemma's senses, most frequent first, each written
// "s" + name, ":" + role for every argument number seen with it, then one
// example "=x" + label + "x" + left + "R" + right per distinct argument
// pattern seen (most frequent first; "_" for an empty list); the first sense
// also lists the patterns seen at least kSharedPatternCount times in the
// whole data that no sense of the lemma was seen with, so that sense
// determination gives a lemma's most frequent sense to such a pattern rather
// than its sense 01. The name is the
// roleset's sense number (come.03 -> 03); when two rolesets of one lemma
// share a number, the rarer ones get a capital letter after it (03B).
// rolesets: "name:roleset" for every sense, comma-separated, so that a
// chosen sense can be written as its roleset again (service -> serve.02);
// loadBank ignores this field.
#ifndef KORVANE_SENSE_SENSE_BANK_H
#define KORVANE_SENSE_SENSE_BANK_H

#include <map>
#include <string>
#include <vector>

#include "features/bank_types.h"

class SenseBankBuilder {
 public:
  static constexpr long kSharedPatternCount = 2;

  // One predicate occurrence: its lemma (the key sense determination looks
  // up), whether it goes to the verbal dictionary, its roleset and sense
  // number, and its argument pattern as sense determination builds it.
  void add(const std::string& lemma, bool verbal, const std::string& roleset, const std::string& sense,
           const _bankExample& pattern);

  // Dictionary text, lemmas in byte order.
  std::string text(bool verbal) const;
  size_t lemmas(bool verbal) const { return (verbal ? verbal_ : nominal_).size(); }

 private:
  struct Sense {
    std::string number;
    long count = 0;
    std::map<std::string, long> patterns;  // example text -> count
  };
  typedef std::map<std::string, std::map<std::string, Sense>> Bank;  // lemma -> roleset -> sense
  Bank verbal_, nominal_;
};

// The rolesets of a dictionary file's third field: lemma -> sense name
// (without its "s") -> roleset. false with an "Error: ..." in error when the
// file cannot be read.
bool readRolesetNames(const std::string& path, std::map<std::string, std::map<std::string, std::string>>& names,
                      std::string& error);

#endif
