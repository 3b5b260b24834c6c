#include "parsing/parse_voting.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>

#include "parsing/parsing_drivers.h"
#include "text/line_utils.h"

namespace {

const double kNoArc = -std::numeric_limits<double>::infinity();

// The node's cycle under head when it lies on one (nodes in cycle order),
// else empty.
std::vector<int> cycleThrough(const std::vector<int>& head, int start) {
  std::vector<int> state(head.size(), 0);  // 1: on the current path
  int v = start;
  while (v > 0 && state[static_cast<size_t>(v)] == 0) {
    state[static_cast<size_t>(v)] = 1;
    v = head[static_cast<size_t>(v)];
  }
  if (v <= 0 || v != start) return {};
  std::vector<int> cycle{start};
  for (int u = head[static_cast<size_t>(start)]; u != start; u = head[static_cast<size_t>(u)]) cycle.push_back(u);
  return cycle;
}

}  // namespace

std::vector<int> maximumSpanningTree(const std::vector<std::vector<double>>& score) {
  const int n = static_cast<int>(score.size());
  std::vector<int> head(static_cast<size_t>(n), -1);
  for (int d = 1; d < n; ++d) {
    double best = kNoArc;
    for (int h = 0; h < n; ++h)
      if (h != d &&
          (head[static_cast<size_t>(d)] < 0 || score[static_cast<size_t>(h)][static_cast<size_t>(d)] > best)) {
        best = score[static_cast<size_t>(h)][static_cast<size_t>(d)];
        head[static_cast<size_t>(d)] = h;
      }
  }
  std::vector<int> cycle;
  for (int d = 1; d < n && cycle.empty(); ++d) cycle = cycleThrough(head, d);
  if (cycle.empty()) return head;

  // Contract the cycle into one node and solve the smaller graph: an arc into
  // the cycle replaces the cycle arc into the node it reaches, an arc out of
  // it leaves from its best cycle node.
  std::vector<bool> inCycle(static_cast<size_t>(n), false);
  for (int v : cycle) inCycle[static_cast<size_t>(v)] = true;
  std::vector<int> node;  // new index -> old node, the cycle last
  std::vector<int> newIndex(static_cast<size_t>(n), -1);
  for (int v = 0; v < n; ++v)
    if (!inCycle[static_cast<size_t>(v)]) {
      newIndex[static_cast<size_t>(v)] = static_cast<int>(node.size());
      node.push_back(v);
    }
  const int c = static_cast<int>(node.size());
  const int m = c + 1;
  std::vector<std::vector<double>> reduced(static_cast<size_t>(m), std::vector<double>(static_cast<size_t>(m), kNoArc));
  std::vector<int> enters(static_cast<size_t>(m), -1);  // for an arc h -> cycle: the cycle node it reaches
  std::vector<int> leaves(static_cast<size_t>(m), -1);  // for an arc cycle -> d: the cycle node it leaves
  for (int i = 0; i < c; ++i) {
    const size_t u = static_cast<size_t>(node[static_cast<size_t>(i)]);
    for (int j = 0; j < c; ++j)
      if (i != j)
        reduced[static_cast<size_t>(i)][static_cast<size_t>(j)] =
            score[u][static_cast<size_t>(node[static_cast<size_t>(j)])];
    for (int v : cycle) {
      const size_t sv = static_cast<size_t>(v);
      const double in = score[u][sv] - score[static_cast<size_t>(head[sv])][sv];
      if (enters[static_cast<size_t>(i)] < 0 || in > reduced[static_cast<size_t>(i)][static_cast<size_t>(c)]) {
        reduced[static_cast<size_t>(i)][static_cast<size_t>(c)] = in;
        enters[static_cast<size_t>(i)] = v;
      }
      const double out = score[sv][static_cast<size_t>(node[static_cast<size_t>(i)])];
      if (i > 0 &&
          (leaves[static_cast<size_t>(i)] < 0 || out > reduced[static_cast<size_t>(c)][static_cast<size_t>(i)])) {
        reduced[static_cast<size_t>(c)][static_cast<size_t>(i)] = out;
        leaves[static_cast<size_t>(i)] = v;
      }
    }
  }
  const std::vector<int> inner = maximumSpanningTree(reduced);
  std::vector<int> result = head;  // cycle arcs stay but the one the entering arc replaces
  for (int i = 1; i < m; ++i) {
    const int h = inner[static_cast<size_t>(i)];
    if (i == c) {
      result[static_cast<size_t>(enters[static_cast<size_t>(h)])] = node[static_cast<size_t>(h)];
    } else {
      const int d = node[static_cast<size_t>(i)];
      result[static_cast<size_t>(d)] = h == c ? leaves[static_cast<size_t>(i)] : node[static_cast<size_t>(h)];
    }
  }
  return result;
}

std::vector<_dppair> voteTree(const std::vector<std::vector<_dppair>>& parses, const std::vector<double>& weights) {
  if (parses.empty()) return {};
  const size_t n = parses[0].size();
  // Node 0 the root, word k node k + 1.
  std::vector<std::vector<double>> score(n + 1, std::vector<double>(n + 1, 0.0));
  auto nodeOf = [n](int head) {
    return head < 0 || static_cast<size_t>(head) >= n ? 0 : static_cast<size_t>(head) + 1;
  };
  for (size_t p = 0; p < parses.size(); ++p)
    for (size_t k = 0; k < n && k < parses[p].size(); ++k) score[nodeOf(parses[p][k].head)][k + 1] += weights[p];
  const std::vector<int> heads = maximumSpanningTree(score);
  std::vector<_dppair> tree(n);
  for (size_t k = 0; k < n; ++k) {
    const int h = heads[k + 1];
    tree[k].head = h - 1;
    // The relation with the most votes for this arc, else (an arc no parse
    // chose) for this word.
    for (int sameHead = 1; sameHead >= 0 && tree[k].dprel == "_"; --sameHead) {
      std::map<std::string, double> votes;
      std::string best;
      double most = 0.0;
      for (size_t p = 0; p < parses.size(); ++p) {
        if (k >= parses[p].size() || (sameHead == 1 && nodeOf(parses[p][k].head) != static_cast<size_t>(h))) continue;
        const double v = votes[parses[p][k].dprel] += weights[p];
        if (v > most) {
          most = v;
          best = parses[p][k].dprel;
        }
      }
      if (!best.empty()) tree[k].dprel = best;
    }
    if (h == 0) tree[k].dprel = "ROOT";
  }
  return tree;
}

bool readParserEnsemble(const std::string& path, std::vector<ParserEnsembleMember>& members) {
  members.clear();
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!f) {
    std::fprintf(stderr, "Error: open file %s for reading.\n", path.c_str());
    return false;
  }
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string line;
  std::vector<std::string> fields;
  for (int number = 1; readLineWhole(f.get(), line); ++number) {
    dropForeignLineEnd(line, number == 1);
    readLine2VectorString(line, fields);
    if (fields.empty() || fields[0][0] == '#') continue;
    auto fail = [&](const char* what) {
      std::fprintf(stderr, "Error: %s line %d: %s.\n", path.c_str(), number, what);
      return false;
    };
    if (fields.size() != 3) return fail("expected \"MODEL DRIVER WEIGHT\"");
    ParsingDriver driver;
    if (!parsingDriverByName(fields[1], driver)) return fail("unknown driver");
    char* end = nullptr;
    const double weight = std::strtod(fields[2].c_str(), &end);
    if (end == fields[2].c_str() || *end != '\0' || !std::isfinite(weight) || weight <= 0)
      return fail("the weight is not a positive number");
    ParserEnsembleMember m;
    m.model = fields[0][0] == '/' ? fields[0] : folder + fields[0];
    m.driver = fields[1];
    m.weight = weight;
    members.push_back(m);
  }
  if (std::ferror(f.get()) != 0) {
    std::fprintf(stderr, "Error: read %s.\n", path.c_str());
    return false;
  }
  if (members.empty()) {
    std::fprintf(stderr, "Error: %s names no parser.\n", path.c_str());
    return false;
  }
  return true;
}
