// role_columns: the role columns of CoNLL-U sentences, the driver rows and
// sense patterns built from them, and the predicate dictionary text built
// from those (it must read back with as many senses as it names).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "features/predicate_dictionary.h"
#include "roles/role_columns.h"
#include "sense/sense_bank.h"
#include "sense/sense_determination.h"
#include "text/conllu.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::FILE* f = fmemopen(size ? &text[0] : nullptr, size, "r");
  if (f == nullptr) return 0;
  conllu::Reader reader(f, "input");
  conllu::Sentence s;
  SenseBankBuilder bank;
  TokenTable rows, table;
  std::string error;
  for (int n = 0; n < 1000; ++n) {
    const conllu::ReadStatus st = reader.next(s);
    if (st == conllu::ReadStatus::kEnd || st == conllu::ReadStatus::kFailed) break;
    if (st != conllu::ReadStatus::kSentence) continue;
    roles::RoleAnnotation a;
    if (!roles::readRoleColumns(s, "input", a, error)) continue;
    roles::driverRows(s, a.predicates, rows);
    if (rows.size() != s.words.size()) std::abort();
    roles::senseRows(rows, a.predicates, a.roles, table);
    for (size_t j = 0; j < a.predicates.size(); ++j) {
      const _bankExample q = senseQuery(table, roles::kSenseMarkerColumn, static_cast<int>(j), a.predicates[j]);
      std::string lemma, sense;
      const std::string& key = rows[static_cast<size_t>(a.predicates[j])][6];
      if (roles::rolesetSense(a.senses[j], lemma, sense) && !key.empty() &&
          key.find_first_of(" \t") == std::string::npos)
        bank.add(key, j % 2 == 0, a.senses[j], sense, q);
    }
    if (a.predicates.empty()) continue;
    // Written back and read again, the annotation is the same.
    conllu::Sentence copy = s;
    roles::writeRoleColumns(copy, a.predicates, a.senses, a.roles, a.longSpelling);
    roles::RoleAnnotation b;
    if (!roles::readRoleColumns(copy, "copy", b, error) || b.predicates != a.predicates || b.senses != a.senses)
      std::abort();
  }
  std::fclose(f);
  for (bool verbal : {true, false}) {
    std::string lines = bank.text(verbal), line;
    size_t start = 0;
    while (start < lines.size()) {
      const size_t end = lines.find('\n', start);
      line = lines.substr(start, end - start);
      start = end + 1;
      const size_t tab = line.find('\t'), tab2 = line.find('\t', tab + 1);
      std::string senses = line.substr(tab + 1, tab2 - tab - 1);
      std::vector<_bankSense> parsed;
      readLine2BankSense(senses, parsed);
      size_t named = 1;
      for (char c : line.substr(tab2 + 1)) named += c == ',';
      if (parsed.size() != named) std::abort();
    }
  }
  return 0;
}
