#include "parsing/beam_search.h"

#include <algorithm>
#include <cmath>

#include "parsing/parser_scorer.h"
#include "parsing/parsing_drivers.h"
#include "parsing/transition_system.h"

namespace {

struct BeamItem {
  std::vector<_dppair> arcs;
  std::vector<int> stack;
  int next = 0;
  double score = 0.0;  // sum of the log-probabilities of the actions taken
  bool ended = false;
};

struct Expansion {
  int item;
  int label;  // -1: the item has ended and is carried over
  double score;
};

bool allowed(const std::string& label, const BeamItem& item) { return beamActionAllowed(label, item.arcs, item.stack); }

bool hasEnded(const BeamItem& item, int n, bool inverse) { return beamStateEnded(item.arcs, item.next, n, inverse); }

}  // namespace

bool beamActionAllowed(const std::string& label, const std::vector<_dppair>& arcs, const std::vector<int>& stack) {
  if (label.empty()) return false;
  const bool stackEmpty = stack.empty();
  switch (label[0]) {
    case '0':
      return true;
    case '1':
      return !stackEmpty && !hasNoHeadYet(arcs[static_cast<size_t>(stack.back())].head);
    case '2':
      return !stackEmpty && hasNoHeadYet(arcs[static_cast<size_t>(stack.back())].head);
    case '3':
      return !stackEmpty;
    default:
      return false;
  }
}

bool beamStateEnded(const std::vector<_dppair>& arcs, int next, int n, bool inverse) {
  if (inverse ? next < 0 : next >= n) return true;
  int attached = 0;
  for (const _dppair& a : arcs) attached += !hasNoHeadYet(a.head);
  return attached >= n - 1;
}

void beamParse(BeamInputs& in, TokenTable& rows, bool inverse, int width, std::vector<_dppair>& arcs) {
  const int n = static_cast<int>(rows.size());
  if (width < 1) width = 1;
  std::vector<BeamItem> beam(1);
  startArcEager(n, inverse, beam[0].arcs, beam[0].stack, beam[0].next);
  beam[0].ended = n < 2;

  std::vector<Expansion> expansions;
  std::vector<double> probs;
  std::vector<BeamItem> nextBeam;
  std::vector<_hisstruc> history;
  for (;;) {
    expansions.clear();
    bool anyOpen = false;
    for (size_t b = 0; b < beam.size(); ++b) {
      BeamItem& item = beam[b];
      if (item.ended) {
        expansions.push_back({static_cast<int>(b), -1, item.score});
        continue;
      }
      anyOpen = true;
      parserStateFeatures(in.sample, in.templates, in.templateOrder, rows, item.stack, item.next, item.arcs,
                          in.argumentLists, in.predicateRows, in.extraArcs, false);
      const size_t before = expansions.size();
      if (in.sumScores) {
        in.scorer.scores(in.sample, probs);
        for (size_t id = 0; id < in.tags.size() && id < probs.size(); ++id)
          if (allowed(in.tags[id], item))
            expansions.push_back({static_cast<int>(b), static_cast<int>(id), item.score + probs[id]});
      } else {
        in.scorer.classify(in.sample, probs);
        for (size_t id = 0; id < in.tags.size() && id < probs.size(); ++id)
          if (probs[id] > 0 && allowed(in.tags[id], item))
            expansions.push_back({static_cast<int>(b), static_cast<int>(id), item.score + std::log(probs[id])});
      }
      // A shift is always allowed; should the model give it no probability
      // at all, it is still a way forward.
      if (expansions.size() == before) {
        for (size_t id = 0; id < in.tags.size(); ++id)
          if (!in.tags[id].empty() && in.tags[id][0] == '0') {
            expansions.push_back({static_cast<int>(b), static_cast<int>(id), item.score - 1e6});
            break;
          }
      }
      if (expansions.size() == before) {
        item.ended = true;  // no label moves this parse on
        expansions.push_back({static_cast<int>(b), -1, item.score});
      }
    }
    if (!anyOpen) break;
    const size_t keep = std::min(expansions.size(), static_cast<size_t>(width));
    // Stable: among equal scores the earlier item and label win.
    std::stable_sort(expansions.begin(), expansions.end(),
                     [](const Expansion& a, const Expansion& b) { return a.score > b.score; });
    nextBeam.clear();
    for (size_t k = 0; k < keep; ++k) {
      const Expansion& e = expansions[k];
      nextBeam.push_back(beam[static_cast<size_t>(e.item)]);
      BeamItem& item = nextBeam.back();
      item.score = e.score;
      if (e.label < 0) continue;
      history.clear();
      if (inverse)
        classDPNivreInverse(in.tags[static_cast<size_t>(e.label)], item.arcs, item.stack, item.next, history);
      else
        classDPNivre(in.tags[static_cast<size_t>(e.label)], item.arcs, item.stack, item.next, history);
      item.ended = hasEnded(item, n, inverse);
    }
    beam.swap(nextBeam);
  }
  // The beam is sorted best first.
  arcs = beam[0].arcs;
  for (_dppair& a : arcs) {
    if (hasNoHeadYet(a.head)) {
      a.head = -1;
      a.dprel = "ROOT";
    }
  }
}
