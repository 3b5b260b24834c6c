// Role labelling of CoNLL-U sentences in memory: the entry point for
// programs that have sentences with tags and trees and want their predicate
// senses and semantic roles.
//
//   roles::RoleLabeller labeller;
//   std::string error;
//   if (!labeller.load(files, roles::Driver::kMulti, error)) ...
//   labeller.label(sentence, "input.conllu", error);  // per sentence
//
// label() reads FORM, LEMMA, XPOS, HEAD and DEPREL; the predicates are the
// words whose column 11 holds anything but "_" (or, with the allpair and
// xueext drivers, the words the driver finds). It writes column 11 (the
// roleset, lemma.NN, chosen by sense determination from the predicate
// dictionaries and the roles just found) and one role column per predicate.
// Sentences without predicates are left as they are (with a finding
// driver, a sentence where none is found keeps column 11 as "_" and loses
// its role columns). The labeller uses the
// process-wide predicate dictionaries and is not for concurrent use.
#ifndef KORVANE_ROLES_ROLE_LABELLER_H
#define KORVANE_ROLES_ROLE_LABELLER_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "roles/role_columns.h"
#include "roles/srl_questions.h"
#include "roles/srl_sentence.h"
#include "text/conllu.h"

namespace roles {

struct LabellerFiles {
  std::string model;
  std::string templ;
  std::string propbank;  // verbal predicate dictionary; empty: none
  std::string nombank;   // nominal predicate dictionary; empty: none
};

class RoleLabeller {
 public:
  // Loads the model, its templates and the predicate dictionaries (which also
  // serve the templates' recommendation features). false with an "Error: ..."
  // in error (empty when a loader has printed its own message).
  bool load(const LabellerFiles& files, Driver driver, std::string& error);

  // Labels one sentence in place; `found`, when given, receives the
  // predicates, rolesets and roles (short spelling) written. false with
  // "Error: FILE line N: ..." when its role columns are malformed; the
  // sentence is then unchanged.
  bool label(conllu::Sentence& s, const std::string& file, std::string& error, RoleAnnotation* found = nullptr);

  Driver driver() const { return driver_; }
  // The loaded model and templates (load() must have succeeded).
  SrlModel& srlModel() { return *model_; }

 private:
  std::string rolesetOf(const std::vector<std::string>& row, const std::string& name) const;

  std::unique_ptr<SrlModel> model_;
  Driver driver_ = Driver::kMulti;
  std::map<std::string, std::map<std::string, std::string>> verbalNames_, nominalNames_;
  SrlSentence state_;
};

}  // namespace roles

#endif
