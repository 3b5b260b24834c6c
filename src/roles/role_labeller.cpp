#include "roles/role_labeller.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "features/predicate_dictionary.h"
#include "parsing/parsing_drivers.h"
#include "roles/role_columns.h"
#include "sense/sense_bank.h"
#include "sense/sense_determination.h"

namespace roles {

namespace {

bool readable(const std::string& path, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    error = "Error: cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::fclose(f);
  return true;
}

bool loadDictionary(const std::string& path, int nominal,
                    std::map<std::string, std::map<std::string, std::string>>& names, std::string& error) {
  names.clear();
  if (path.empty()) {
    (nominal ? _dicNom : _dicProp).clear();
    return true;
  }
  if (!readRolesetNames(path, names, error)) return false;
  loadBank(path.c_str(), nominal);
  return true;
}

}  // namespace

bool RoleLabeller::load(const LabellerFiles& files, Driver driver, std::string& error) {
  error.clear();
  driver_ = driver;
  if (!readable(files.model, error) || !readable(files.templ, error)) return false;
  model_.reset(new SrlModel());
  std::string templ = files.templ, model = files.model;
  if (!loadSrlModel(*model_, &templ[0], &model[0])) {
    model_.reset();
    return false;
  }
  if (!loadDictionary(files.propbank, 0, verbalNames_, error) ||
      !loadDictionary(files.nombank, 1, nominalNames_, error))
    return false;
  _trainFlag = false;
  return true;
}

std::string RoleLabeller::rolesetOf(const std::vector<std::string>& row, const std::string& name) const {
  const bool verbal = !row[7].empty() && row[7][0] == 'V';
  const auto& names = verbal ? verbalNames_ : nominalNames_;
  const auto lemma = names.find(row[6]);
  if (lemma != names.end()) {
    const auto roleset = lemma->second.find(name);
    if (roleset != lemma->second.end()) return roleset->second;
  }
  // The marker column holds the lemma, or the form when there is none.
  return row[kDriverColumns - 1] + "." + name;
}

bool RoleLabeller::label(conllu::Sentence& s, const std::string& file, std::string& error, RoleAnnotation* found) {
  error.clear();
  if (found != nullptr) *found = RoleAnnotation();
  RoleAnnotation given;
  if (!readRoleColumns(s, file, given, error)) return false;
  const bool finds = findsPredicates(driver_);
  if (s.words.empty() || (!finds && given.predicates.empty())) return true;
  if (!model_) {
    error = "Error: no role model loaded";
    return false;
  }
  driverRows(s, finds ? std::vector<int>() : given.predicates, state_.rows);
  std::vector<int> predicates;
  std::vector<std::vector<std::string>> roles;
  if (!labelWithDriver(*model_, driver_, state_, predicates, roles)) {
    error = "Error: " + file + " line " + std::to_string(s.firstLine) + ": the templates read a column the rows lack";
    return false;
  }
  if (predicates.empty()) {
    if (given.hasSenseColumn) writeRoleColumns(s, predicates, {}, {}, false);
    return true;
  }
  // Rows of found predicates need their marker for the sense fallback.
  if (finds) driverRows(s, predicates, state_.rows);
  TokenTable table;
  senseRows(state_.rows, predicates, roles, table);
  std::vector<std::string> senses;
  for (size_t j = 0; j < predicates.size(); ++j) {
    const std::string name = determineSense(table, kSenseMarkerColumn, static_cast<int>(j), predicates[j]);
    senses.push_back(rolesetOf(state_.rows[static_cast<size_t>(predicates[j])], name));
  }
  bool anyGiven = false;
  for (const auto& list : given.roles)
    for (const std::string& r : list) anyGiven = anyGiven || r != "_";
  writeRoleColumns(s, predicates, senses, roles, given.longSpelling || !anyGiven);
  if (found != nullptr) {
    found->predicates = predicates;
    found->senses = senses;
    found->roles = roles;
    found->hasSenseColumn = true;
  }
  return true;
}

}  // namespace roles
