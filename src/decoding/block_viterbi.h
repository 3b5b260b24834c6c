// The Viterbi decoders' choice over a cost matrix held in history blocks.
#ifndef KORVANE_DECODING_BLOCK_VITERBI_H
#define KORVANE_DECODING_BLOCK_VITERBI_H

#include <functional>
#include <vector>

// The cost matrix of one sentence (the score matrix of labelSeqIt after -ln)
// by history: token k has histories[k] histories of candidates[k] entries
// each, entry c of history h being entry h * candidates[k] + c of matrix row
// k. A history without a block (at[k][h] == -1) has infinite costs.
// histories[0] is 1; histories[k + 1] is candidates[k] times, for label order
// 2, candidates[k - 1] (1 before the sentence), and 1 for label order 0.
struct CostBlocks {
  int labelOrder = 0;
  std::vector<int> candidates;
  std::vector<int> histories;
  std::vector<std::vector<int>> at;  // start of each history's block in costs, or -1
  std::vector<double> costs;
};

// Scratch of blockViterbi, reused between sentences.
struct BlockViterbiWork {
  std::vector<double> completion;  // aligned with CostBlocks::costs
  std::vector<int> next;           // aligned with CostBlocks::costs
  std::vector<int> kept;           // per history of the next token
  std::vector<double> keptCost;
};

// Fills path with one candidate index per token: the path that
// viterbiDecoderB0Limit2 (label order 0), viterbiDecoderB1LimitPath3 and
// viterbiDecoderB1Fast (order 1) and viterbiDecoderB2Fast2Limit (order 2)
// choose on the full matrix with an empty legal table, ties included. Only
// the blocks are visited. The matrix must have at least one token.
void blockViterbi(const CostBlocks& m, std::vector<int>& path, BlockViterbiWork& work);

// A long sentence decoded piece by piece: the matrix holds tokens [a, b) of
// the sentence, where token a has one history (or a is 0) and so has token
// b (or b is the end). Every path through the sentence passes that history,
// so the pieces are decoded from the last to the first: a piece needs only
// the least completion of token b's history and its entry, and gives the
// same for token a to the piece before. The sums are the whole sentence's,
// in the same order, so the path is blockViterbi's on the whole matrix.
struct BlockViterbiPiece {
  bool first = true;     // a is 0
  bool last = true;      // b is the end
  double nextCost = 0;   // with !last: the least completion of token b's history, finite
  int nextEntry = 0;     // and its candidate
  double firstCost = 0;  // out, with !first: the least completion of token a's history
  int firstEntry = 0;    // and its candidate
};

// Fills path with the piece's candidates. False when the piece has no
// path of finite cost through its first history (then the sentence must be
// decoded whole, whose choice among infinite paths a piece cannot know).
bool blockViterbiPiece(const CostBlocks& m, BlockViterbiPiece& piece, std::vector<int>& path,
                       BlockViterbiWork& work);

// Scratch of streamingViterbi, reused between ranges.
struct StreamingViterbiWork {
  std::vector<double> row, here, after;  // one history's costs; completions of a token and the next
  std::vector<int> kept;                 // per token, per history of the next: its entry of least completion
  std::vector<size_t> keptAt;
  std::vector<int> firstNext;            // token 0 under the second-order decoder: per entry
};

// blockViterbiPiece's choice on the full matrix of a range (every history
// with a block) of candidates[k] entries in histories[k] histories per
// token, without holding the matrix: fill(k, h, row) writes history h's
// costs of token k, asked for token by token from the last back. A token's
// completions need only the next token's, and the path only, per history of
// the next token, its entry of least completion: along a path of finite
// cost every entry continues with that one. (The second-order decoder's
// first token keeps its continuation by sum, per entry.) The sums are
// blockViterbiPiece's, in the same order. False when no path of finite cost
// runs through the range; piece then has no firstCost.
bool streamingViterbi(int labelOrder, const std::vector<int>& candidates, const std::vector<int>& histories,
                      BlockViterbiPiece& piece, const std::function<void(int, int, double*)>& fill,
                      std::vector<int>& path, StreamingViterbiWork& work);

#endif
