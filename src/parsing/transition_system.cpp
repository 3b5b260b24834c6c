#include "parsing/transition_system.h"

#include <cstdio>

namespace {

inline bool inside(int row, size_t size) { return row >= 0 && static_cast<size_t>(row) < size; }

inline char codeOf(const std::string& action) { return action.empty() ? '\0' : action[0]; }

// Shared by both reading directions; step is +1 left to right, -1 right to left.
int applyNivre(const std::string& action, std::vector<_dppair>& arcs, std::vector<int>& stack, int& next,
               std::vector<_hisstruc>& actionHistory, int step) {
  _hisstruc record;
  const int x = next;
  switch (codeOf(action)) {
    case '0':
      stack.push_back(x);
      next = x + step;
      record.movedToken = x;
      record.nextInput = next;
      record.action = 0;
      break;
    case '1':
      record.action = 1;
      if (!stack.empty()) {
        record.movedToken = stack.back();
        stack.pop_back();
      }
      break;
    case '2':
      record.action = 2;
      if (!stack.empty()) {
        const int t = stack.back();
        if (inside(t, arcs.size())) {
          arcs[t].head = x;
          arcs[t].dprel = arcRelationOf(action);
        }
        stack.pop_back();
        record.movedToken = t;
      }
      break;
    case '3':
      record.action = 3;
      if (!stack.empty()) {
        if (inside(x, arcs.size())) {
          arcs[x].head = stack.back();
          arcs[x].dprel = arcRelationOf(action);
        }
        stack.push_back(x);
        next = x + step;
        record.movedToken = x;
        record.nextInput = next;
      }
      break;
    default:
      break;
  }
  record.stack.assign(stack.begin(), stack.end());
  actionHistory.push_back(std::move(record));
  return 1;
}

int applyPairwise(const std::string& action, std::vector<int>& heads, std::vector<std::string>* relations, int i,
                  int j) {
  int row;
  int head;
  switch (codeOf(action)) {
    case '0':
      return -1;
    case '1':
      row = i, head = j;
      break;
    case '2':
      row = i, head = -1;
      break;
    case '3':
      row = j, head = i;
      break;
    case '4':
      row = j, head = -1;
      break;
    default:
      return 1;
  }
  if (inside(row, heads.size())) heads[row] = head;
  if (relations != nullptr && inside(row, relations->size())) (*relations)[row] = arcRelationOf(action);
  return row;
}

}  // namespace

std::string arcRelationOf(const std::string& action) {
  return action.size() > 2 ? action.substr(2) : std::string();
}

int classDPNivre(std::string action, std::vector<_dppair>& arcs, std::vector<int>& stack, int& next,
                 std::vector<_hisstruc>& actionHistory) {
  return applyNivre(action, arcs, stack, next, actionHistory, 1);
}

int classDPNivreInverse(std::string action, std::vector<_dppair>& arcs, std::vector<int>& stack, int& next,
                        std::vector<_hisstruc>& actionHistory) {
  return applyNivre(action, arcs, stack, next, actionHistory, -1);
}

int classDPNivre(std::string action, std::vector<int>& heads, std::vector<std::string>& relations,
                 std::vector<int>& stack, int& next) {
  switch (codeOf(action)) {
    case '0':
      stack.push_back(next);
      ++next;
      return next;
    case '1':
      if (!stack.empty()) stack.pop_back();
      return static_cast<int>(stack.size());
    case '2':
      if (!stack.empty()) {
        const int t = stack.back();
        if (inside(t, heads.size())) heads[t] = next;
        if (inside(t, relations.size())) relations[t] = arcRelationOf(action);
        stack.pop_back();
      }
      return static_cast<int>(stack.size());
    case '3':
      if (!stack.empty()) {
        if (inside(next, heads.size())) heads[next] = stack.back();
        if (inside(next, relations.size())) relations[next] = arcRelationOf(action);
        stack.push_back(next);
        ++next;
      }
      return static_cast<int>(stack.size());
    default:
      return 1;
  }
}

void startArcEager(int n, bool inverse, std::vector<_dppair>& arcs, std::vector<int>& stack, int& next) {
  _dppair unattached;
  unattached.head = kNoHeadYet;
  unattached.dprel = "_x";
  arcs.assign(static_cast<size_t>(n), unattached);
  stack.assign(1, inverse ? n - 1 : 0);
  next = inverse ? n - 2 : 1;
}

int checkDPCounter(std::vector<_dppair>& arcs) {
  int count = 0;
  for (const _dppair& a : arcs)
    if (!hasNoHeadYet(a.head)) ++count;
  return count;
}

int checkBeforeDP(std::vector<_dppair>& gold, std::vector<_dppair>& current, int i) {
  const long rows = static_cast<long>(gold.size() < current.size() ? gold.size() : current.size());
  long j = static_cast<long>(i) - 1;
  if (j >= rows) j = rows - 1;
  for (; j >= 0; --j)
    if (gold[j].head == i && hasNoHeadYet(current[j].head)) return 1;
  return -1;
}

int checkAfterDP(std::vector<_dppair>& gold, std::vector<_dppair>& current, int i) {
  const long rows = static_cast<long>(gold.size() < current.size() ? gold.size() : current.size());
  long j = static_cast<long>(i) + 1;
  if (j < 0) j = 0;
  for (; j < rows; ++j)
    if (gold[j].head == i && hasNoHeadYet(current[j].head)) return 1;
  return -1;
}

int checkCurDP(std::vector<_dppair>& current, std::vector<_dppair>& gold) {
  int first = static_cast<int>(current.size());
  for (size_t r = 0; r < current.size(); ++r) {
    if (hasNoHeadYet(current[r].head)) {
      first = static_cast<int>(r);
      break;
    }
  }
  int result = first;
  for (size_t j = static_cast<size_t>(first); j < gold.size(); ++j)
    if (gold[j].head >= 0 && gold[j].head < result) result = gold[j].head;
  return result;
}

int classDP1(std::string action, std::vector<int>& heads, std::vector<std::string>& relations, int i, int j) {
  return applyPairwise(action, heads, &relations, i, j);
}

int classDP1Head(std::string action, std::vector<int>& heads, int i, int j) {
  return applyPairwise(action, heads, nullptr, i, j);
}

int writeDP(std::vector<int>& heads, std::vector<std::string>& relations, char* path) {
  std::FILE* f = std::fopen(path, "ab");
  if (f == nullptr) {
    std::fprintf(stderr, "Error: open %s for writing.\n", path);
    return -1;
  }
  const size_t rows = heads.size() < relations.size() ? heads.size() : relations.size();
  for (size_t i = 0; i < rows; ++i) {
    std::fprintf(f, "%d %ld ", static_cast<int>(i) + 1, static_cast<long>(heads[i]) + 1);
    std::fwrite(relations[i].data(), 1, relations[i].size(), f);
    std::fputc('\n', f);
  }
  std::fputc('\n', f);
  const bool writeFailed = std::ferror(f) != 0;
  const int closed = std::fclose(f);
  if (writeFailed || closed != 0) {
    std::fprintf(stderr, "Error: write %s.\n", path);
    return -1;
  }
  return closed;
}
