#include "features/parser_functions.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "templates/parser_step_codes.h"

namespace {

// A step's argument counts from 1; 0 (no argument written) means 1.
int ordinalOf(const _subft& step) { return step.argument > 1 ? step.argument : 1; }

void noNode(int& node, bool& outOfRange) {
  node = -1;
  outOfRange = true;
}

// Children of node on one side, in the order the step counts them: from the
// far left for the left side, from the far right for the right side.
int kthChild(const FeatureCallContext& c, int node, bool left, int k) {
  const int size = std::min(c.n, c.selectedSize());
  if (left) {
    for (int j = 0; j < node && j < size; ++j)
      if (c.headAt(j) == node && --k == 0) return j;
  } else {
    for (int j = size - 1; j > node; --j)
      if (c.headAt(j) == node && --k == 0) return j;
  }
  return -1;
}

void appendNumber(long v, std::string& out) { out += std::to_string(v); }

}  // namespace

bool applyParserStep(FeatureCallContext& c, const _subft& step, int& node, bool& outOfRange) {
  if (!c.inside(node)) {
    noNode(node, outOfRange);
    return true;
  }
  switch (step.code) {
    case kStepParent: {
      // A head chain that leaves the sentence, or comes back to where it began, ends the walk.
      const int start = node;
      for (int level = ordinalOf(step); level > 0; --level) {
        const int h = c.headAt(node);
        if (!c.inside(h) || h == start) {
          noNode(node, outOfRange);
          return true;
        }
        node = h;
      }
      return true;
    }
    case kStepLeftChild:
    case kStepRightChild: {
      const int child = kthChild(c, node, step.code == kStepLeftChild, ordinalOf(step));
      if (child < 0)
        noNode(node, outOfRange);
      else
        node = child;
      return true;
    }
    default:
      return true;
  }
}

void parserValueFunction(FeatureCallContext& c, const _ft& item, int node, std::string& value) {
  value.clear();
  const int size = std::min(c.n, c.selectedSize());
  switch (item.valueFunction) {
    case kValueLeftValency:
    case kValueRightValency: {
      if (!c.inside(node)) {
        value = "-";
        return;
      }
      const bool left = item.valueFunction == kValueLeftValency;
      long count = 0;
      for (int j = left ? 0 : node + 1; j < (left ? std::min(node, size) : size); ++j) count += c.headAt(j) == node;
      appendNumber(count, value);
      return;
    }
    case kValueLeftLabelSet:
    case kValueRightLabelSet: {
      value = "|";
      if (!c.inside(node)) return;
      const bool left = item.valueFunction == kValueLeftLabelSet;
      std::vector<const std::string*> relations;
      for (int j = left ? 0 : node + 1; j < (left ? std::min(node, size) : size); ++j)
        if (c.headAt(j) == node) relations.push_back(&c.dprelAt(j));
      std::sort(relations.begin(), relations.end(),
                [](const std::string* a, const std::string* b) { return *a < *b; });
      for (size_t i = 0; i < relations.size(); ++i) {
        if (i > 0 && *relations[i] == *relations[i - 1]) continue;
        value += '|';
        value += *relations[i];
      }
      return;
    }
    case kValueDistance: {
      // Buckets: exact up to 4, then 5-9 and 10 or more.
      if (!c.inside(node)) {
        value = "-";
        return;
      }
      const long d = std::labs(static_cast<long>(c.position) - node);
      if (d <= 4)
        appendNumber(d, value);
      else
        value = d <= 9 ? "5-9" : "10+";
      return;
    }
    default:
      value = "_";
      return;
  }
}
