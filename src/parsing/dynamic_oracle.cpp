#include "parsing/dynamic_oracle.h"

#include "parsing/transition_system.h"

namespace {

struct StateView {
  const std::vector<_dppair>& gold;
  std::vector<_dppair> arcs;
  std::vector<int> stack;
  int next;
  bool inverse;

  int n() const { return static_cast<int>(gold.size()); }
  bool inBuffer(int x) const { return x >= 0 && x < n() && (inverse ? x <= next : x >= next); }
  bool ended() const { return (inverse ? next < 0 : next >= n()) || attached() >= n() - 1; }
  int attached() const {
    int count = 0;
    for (const _dppair& a : arcs) count += !hasNoHeadYet(a.head);
    return count;
  }

  // Gold arcs that are built or can still be built. When the parse has ended,
  // every token without a head is a root.
  int reachable() const {
    const int size = n();
    std::vector<char> onStack(static_cast<size_t>(size), 0);
    for (int s : stack)
      if (s >= 0 && s < size) onStack[static_cast<size_t>(s)] = 1;
    const bool done = ended();
    int count = 0;
    for (int d = 0; d < size; ++d) {
      const int h = gold[static_cast<size_t>(d)].head;
      const _dppair& built = arcs[static_cast<size_t>(d)];
      if (!hasNoHeadYet(built.head)) {
        count += h < 0 ? built.head < 0 : (built.head == h && built.dprel == gold[static_cast<size_t>(d)].dprel);
        continue;
      }
      if (h < 0 || h >= size) {
        ++count;  // a root stays one as long as nothing gives it a head
        continue;
      }
      if (done) continue;
      const bool dStack = onStack[static_cast<size_t>(d)] != 0, hStack = onStack[static_cast<size_t>(h)] != 0;
      if ((dStack && inBuffer(h)) || (inBuffer(d) && (hStack || inBuffer(h)))) ++count;
    }
    return count;
  }

  void apply(const std::string& action) {
    std::vector<_hisstruc> history;
    if (inverse)
      classDPNivreInverse(action, arcs, stack, next, history);
    else
      classDPNivre(action, arcs, stack, next, history);
  }
};

std::string arcLabel(char code, const std::string& relation) {
  std::string label(1, code);
  label += ':';
  label += relation;
  return label;
}

}  // namespace

int ArcEagerCosts::of(const std::string& label) const {
  if (label.empty()) return -1;
  switch (label[0]) {
    case '0':
      return shift;
    case '1':
      return reduce;
    case '2':
    case '3': {
      const int cost = label[0] == '2' ? leftArc : rightArc;
      const std::string& gold = label[0] == '2' ? leftRelation : rightRelation;
      if (cost < 0) return -1;
      const std::string relation = label.size() > 2 ? label.substr(2) : std::string();
      return cost + (!gold.empty() && relation != gold ? 1 : 0);
    }
    default:
      return -1;
  }
}

int ArcEagerCosts::least() const {
  int best = -1;
  for (int c : {shift, reduce, leftArc, rightArc})
    if (c >= 0 && (best < 0 || c < best)) best = c;
  return best;
}

ArcEagerCosts arcEagerCosts(const std::vector<_dppair>& gold, const std::vector<_dppair>& arcs,
                            const std::vector<int>& stack, int next, bool inverse) {
  ArcEagerCosts costs;
  const StateView state{gold, arcs, stack, next, inverse};
  const int n = state.n();
  if (n == 0 || arcs.size() != gold.size() || next < 0 || next >= n) return costs;
  const int before = state.reachable();
  auto costOf = [&](const std::string& action) {
    StateView after = state;
    after.apply(action);
    return before - after.reachable();
  };
  costs.shift = costOf("0");
  if (stack.empty()) return costs;
  const int top = stack.back();
  if (top < 0 || top >= n) return costs;
  const bool topHasHead = !hasNoHeadYet(arcs[static_cast<size_t>(top)].head);
  if (topHasHead) costs.reduce = costOf("1");
  if (!topHasHead) {
    if (gold[static_cast<size_t>(top)].head == next) costs.leftRelation = gold[static_cast<size_t>(top)].dprel;
    // With no gold arc to make, any relation will do: the arc is lost either way.
    costs.leftArc = costOf(arcLabel('2', costs.leftRelation.empty() ? "_" : costs.leftRelation));
  }
  if (gold[static_cast<size_t>(next)].head == top) costs.rightRelation = gold[static_cast<size_t>(next)].dprel;
  costs.rightArc = costOf(arcLabel('3', costs.rightRelation.empty() ? "_" : costs.rightRelation));
  return costs;
}
