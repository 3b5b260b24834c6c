#include "roles/role_tasks.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <tuple>

#include "sense/sense_bank.h"
#include "sense/sense_determination.h"

namespace roles {

bool forEachAnnotated(const std::string& path, const std::string& name,
                      const std::function<bool(conllu::Sentence&, RoleAnnotation&, std::string& error)>& fn,
                      std::string& error) {
  error.clear();
  const std::string shown = name.empty() ? path : name;
  const bool stdinput = path == "-";
  std::FILE* in = stdinput ? stdin : std::fopen(path.c_str(), "rb");
  if (in == nullptr) {
    error = "Error: cannot open " + shown + ": " + std::strerror(errno);
    return false;
  }
  conllu::Reader reader(in, shown);
  conllu::Sentence s;
  RoleAnnotation annotation;
  bool ok = true;
  for (;;) {
    const conllu::ReadStatus status = reader.next(s);
    if (status == conllu::ReadStatus::kEnd) break;
    if (status != conllu::ReadStatus::kSentence) {
      error = reader.error();
      ok = false;
      break;
    }
    if (!readRoleColumns(s, shown, annotation, error) || !fn(s, annotation, error)) {
      ok = false;
      break;
    }
  }
  if (!stdinput) std::fclose(in);
  return ok;
}

bool checkRolesets(const conllu::Sentence& s, const RoleAnnotation& a, const std::string& file, std::string& error) {
  std::string lemma, sense;
  for (size_t j = 0; j < a.predicates.size(); ++j) {
    if (rolesetSense(a.senses[j], lemma, sense)) continue;
    error = "Error: " + file + " line " + std::to_string(s.words[static_cast<size_t>(a.predicates[j])].line) +
            ": roleset '" + a.senses[j] + "' is not lemma.NN (a sense number after the lemma)";
    return false;
  }
  return true;
}

bool buildSenseBanks(const std::string& path, const std::string& name, std::string& propbank, std::string& nombank, BankCounts& counts,
                     std::string& error) {
  counts = BankCounts();
  const std::string shown = name.empty() ? path : name;
  SenseBankBuilder bank;
  TokenTable rows, table;
  auto add = [&](conllu::Sentence& s, RoleAnnotation& a, std::string& err) {
    ++counts.sentences;
    if (a.predicates.empty()) return true;
    if (!checkRolesets(s, a, shown, err)) return false;
    driverRows(s, a.predicates, rows);
    senseRows(rows, a.predicates, a.roles, table);
    for (size_t j = 0; j < a.predicates.size(); ++j) {
      const size_t p = static_cast<size_t>(a.predicates[j]);
      std::string lemma, sense;
      rolesetSense(a.senses[j], lemma, sense);
      const std::string& key = rows[p][6];
      if (key.empty() || key.find_first_of(" \t") != std::string::npos) {
        std::fprintf(stderr, "Warning: %s line %ld: lemma '%s' cannot be a dictionary key; predicate left out.\n",
                     shown.c_str(), s.words[p].line, key.c_str());
        continue;
      }
      const bool verbal = !rows[p][7].empty() && rows[p][7][0] == 'V';
      bank.add(key, verbal, a.senses[j], sense, senseQuery(table, kSenseMarkerColumn, static_cast<int>(j), a.predicates[j]));
      ++counts.predicates;
    }
    return true;
  };
  if (!forEachAnnotated(path, shown, add, error)) return false;
  propbank = bank.text(true);
  nombank = bank.text(false);
  counts.verbalLemmas = static_cast<long>(bank.lemmas(true));
  counts.nominalLemmas = static_cast<long>(bank.lemmas(false));
  return true;
}

void RoleScores::add(const RoleAnnotation& gold, const RoleAnnotation& found) {
  ++sentences;
  typedef std::tuple<int, int, std::string> Triple;
  std::set<Triple> goldTriples, foundTriples;
  std::set<std::pair<int, int>> goldPairs;
  for (size_t j = 0; j < gold.predicates.size(); ++j)
    for (size_t i = 0; i < gold.roles[j].size(); ++i)
      if (gold.roles[j][i] != "_") {
        goldTriples.emplace(gold.predicates[j], static_cast<int>(i), gold.roles[j][i]);
        goldPairs.emplace(gold.predicates[j], static_cast<int>(i));
      }
  for (size_t j = 0; j < found.predicates.size(); ++j)
    for (size_t i = 0; i < found.roles[j].size(); ++i)
      if (found.roles[j][i] != "_") foundTriples.emplace(found.predicates[j], static_cast<int>(i), found.roles[j][i]);
  goldArguments += static_cast<long>(goldTriples.size());
  foundArguments += static_cast<long>(foundTriples.size());
  for (const Triple& t : foundTriples) {
    if (goldTriples.count(t) != 0) ++labelledCorrect;
    if (goldPairs.count({std::get<0>(t), std::get<1>(t)}) != 0) ++unlabelledCorrect;
  }
  goldPredicates += static_cast<long>(gold.predicates.size());
  foundPredicates += static_cast<long>(found.predicates.size());
  for (size_t j = 0; j < found.predicates.size(); ++j) {
    for (size_t g = 0; g < gold.predicates.size(); ++g) {
      if (gold.predicates[g] != found.predicates[j]) continue;
      ++predicatesCorrect;
      ++sensesScored;
      if (gold.senses[g] == found.senses[j]) ++sensesCorrect;
    }
  }
}

void RoleScores::add(const RoleScores& o) {
  sentences += o.sentences;
  goldArguments += o.goldArguments;
  foundArguments += o.foundArguments;
  labelledCorrect += o.labelledCorrect;
  unlabelledCorrect += o.unlabelledCorrect;
  goldPredicates += o.goldPredicates;
  foundPredicates += o.foundPredicates;
  predicatesCorrect += o.predicatesCorrect;
  sensesScored += o.sensesScored;
  sensesCorrect += o.sensesCorrect;
}

Prf prf(long correct, long found, long gold) {
  Prf r{0, 0, 0};
  if (found > 0) r.precision = static_cast<double>(correct) / static_cast<double>(found);
  if (gold > 0) r.recall = static_cast<double>(correct) / static_cast<double>(gold);
  if (r.precision + r.recall > 0) r.f1 = 2 * r.precision * r.recall / (r.precision + r.recall);
  return r;
}

}  // namespace roles
