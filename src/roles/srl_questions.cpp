#include "roles/srl_questions.h"

#include "roles/srl_drivers.h"
#include "roles/srl_nivre.h"

namespace roles {

namespace {

const std::string kNone = "_";

struct DriverName {
  const char* name;
  Driver driver;
};
const DriverName kDrivers[] = {{"multi", Driver::kMulti},
                               {"xue", Driver::kXue},
                               {"nivre", Driver::kNivre},
                               {"allpair", Driver::kAllPair},
                               {"xueext", Driver::kXueExt}};

const std::string& roleAt(const std::vector<std::string>& roles, int row) {
  return row >= 0 && static_cast<size_t>(row) < roles.size() ? roles[static_cast<size_t>(row)] : kNone;
}

bool runDriver(SrlModel& m, Driver driver, SrlSentence& s) {
  switch (driver) {
    case Driver::kMulti:
      return srlLabelMulti(m, s);
    case Driver::kXue:
      return srlLabelXue(m, s);
    case Driver::kNivre:
      return srlLabelNivre(m, s, kNivreFinishMode);
    case Driver::kAllPair:
      return srlLabelAllPair(m, s);
    case Driver::kXueExt:
      return srlLabelXueExt(m, s, 1);
  }
  return false;
}

// Roles of one finished list; the predicate's own row and the transition
// system's ROOT mark carry none.
std::vector<std::string> rolesOfList(const std::vector<_dppair>& list, int pred) {
  std::vector<std::string> roles(list.size(), kNone);
  for (size_t r = 0; r < list.size(); ++r) {
    const std::string& role = list[r].dprel;
    if (static_cast<int>(r) != pred && role != "ROOT" && !role.empty()) roles[r] = role;
  }
  return roles;
}

}  // namespace

bool driverByName(const std::string& name, Driver& driver) {
  for (const DriverName& d : kDrivers) {
    if (name == d.name) {
      driver = d.driver;
      return true;
    }
  }
  return false;
}

const char* driverName(Driver driver) {
  for (const DriverName& d : kDrivers)
    if (d.driver == driver) return d.name;
  return "?";
}

bool findsPredicates(Driver driver) { return driver == Driver::kAllPair || driver == Driver::kXueExt; }

std::string nivreOracleAction(const std::vector<std::string>& roles, int pred, const std::vector<int>& stack,
                              int next) {
  if (next < pred) return roleAt(roles, next) != kNone ? "0" : "4";
  if (next == pred) {
    if (stack.empty()) return "5";
    const std::string& role = roleAt(roles, stack.back());
    return role != kNone ? "2:" + role : "1";
  }
  const std::string& role = roleAt(roles, next);
  if (role == kNone) return "4";
  if (!stack.empty() && stack.back() != pred) return "1";
  return "3:" + role;
}

bool labelWithDriver(SrlModel& m, Driver driver, SrlSentence& s, std::vector<int>& predicates,
                     std::vector<std::vector<std::string>>& roles) {
  predicates.clear();
  roles.clear();
  if (!runDriver(m, driver, s)) return false;
  if (findsPredicates(driver)) {
    predicates = srlFoundPredicates(s);
  } else {
    const size_t done = s.argumentLists.size() < s.predicateRows.size() ? s.argumentLists.size() : s.predicateRows.size();
    predicates.assign(s.predicateRows.begin(), s.predicateRows.begin() + static_cast<long>(done));
  }
  for (size_t j = 0; j < predicates.size(); ++j) {
    const size_t list = findsPredicates(driver) ? static_cast<size_t>(predicates[j]) : j;
    roles.push_back(rolesOfList(s.argumentLists[list], predicates[j]));
  }
  return true;
}

bool goldQuestions(SrlModel& m, Driver driver, SrlSentence& s, const GoldRoles& gold,
                   const std::function<void(const std::string& answer, const ME_Sample& sample)>& sink,
                   bool& reached) {
  reached = false;
  const int n = static_cast<int>(s.rows.size());
  std::vector<int> goldOfRow(static_cast<size_t>(n), -1);
  for (size_t j = 0; j < gold.predicates.size(); ++j) {
    const int p = gold.predicates[j];
    if (p >= 0 && p < n) goldOfRow[static_cast<size_t>(p)] = static_cast<int>(j);
  }
  static const std::vector<std::string> kNoRoles;
  auto rolesOf = [&](int predRow) -> const std::vector<std::string>& {
    const int j = predRow >= 0 && predRow < n ? goldOfRow[static_cast<size_t>(predRow)] : -1;
    return j >= 0 ? gold.roles[static_cast<size_t>(j)] : kNoRoles;
  };
  auto previous = std::move(m.choose);
  m.choose = [&](SrlSentence& state, int position, std::string& label) {
    const size_t k = state.argumentLists.size();
    const int pred = k < state.predicateRows.size() ? state.predicateRows[k] : -1;
    const std::vector<std::string>& roles = rolesOf(pred);
    if (driver == Driver::kNivre) {
      label = nivreOracleAction(roles, pred, state.stack, position);
    } else {
      const std::string& role = roleAt(roles, state.stack.empty() ? -1 : state.stack.back());
      label = role == kNone ? "0" : "1:" + role;
    }
    sink(label, state.sample);
  };
  std::vector<int> predicates;
  std::vector<std::vector<std::string>> roles;
  const bool ok = labelWithDriver(m, driver, s, predicates, roles);
  m.choose = std::move(previous);
  if (!ok) return false;
  // Compare with gold, predicates without a role count as unlabelled.
  std::vector<std::vector<std::string>> want;
  std::vector<int> wantRows;
  for (size_t j = 0; j < gold.predicates.size(); ++j) {
    std::vector<std::string> r = gold.roles[j];
    if (gold.predicates[j] >= 0 && gold.predicates[j] < n) r[static_cast<size_t>(gold.predicates[j])] = kNone;
    bool any = false;
    for (const std::string& x : r) any = any || x != kNone;
    if (!findsPredicates(driver) || any) {
      wantRows.push_back(gold.predicates[j]);
      want.push_back(r);
    }
  }
  reached = wantRows == predicates && want == roles;
  return true;
}

}  // namespace roles
