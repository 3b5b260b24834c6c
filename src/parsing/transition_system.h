// Arc-eager transition system: parser state, the four actions, the history
// record every applied action appends, and small tree-comparison helpers.
//
// Action labels: first byte "0" shift, "1" reduce, "2" left arc (stack top
// gets the next input as head), "3" right arc (next input gets the stack top
// as head); for the arc actions the relation is the label from its third byte
// on. A head below -1023 means "no head yet" (marker -1024, relation "_x").
#ifndef KORVANE_PARSING_TRANSITION_SYSTEM_H
#define KORVANE_PARSING_TRANSITION_SYSTEM_H

#include <cstdint>
#include <string>
#include <vector>

#include "features/token_table.h"

// Head marker of a token that has no head yet; every head below -1023 counts.
constexpr int32_t kNoHeadYet = -1024;
// True when head marks a token not yet attached (neither a head nor a root).
inline bool hasNoHeadYet(int32_t head) { return head < -1023; }

struct _hisstruc {
  int32_t spare = 0;           // carried for the record layout; nothing reads it
  std::vector<int32_t> stack;  // whole stack after the action, bottom first
  int32_t movedToken = -1;     // token moved or attached; -1 when the action found no stack top
  int32_t nextInput = -1;      // next input after an action that consumed input, else -1
  int32_t action = -1;         // 0..3; -1 for a label that names no action
};

// Relation carried by an arc label: the text from its third byte on (empty
// for labels of two bytes or fewer).
std::string arcRelationOf(const std::string& action);

// Both return 1. An action that needs a stack top finds none on an empty
// stack: nothing changes and the record holds movedToken -1, nextInput -1.
// Arcs are written only for dependents inside the arc list.
int classDPNivre(std::string action, std::vector<_dppair>& arcs, std::vector<int>& stack, int& next,
                 std::vector<_hisstruc>& actionHistory);
int classDPNivreInverse(std::string action, std::vector<_dppair>& arcs, std::vector<int>& stack, int& next,
                        std::vector<_hisstruc>& actionHistory);

// Older form over separate lists, without history. Returns the new next for a
// shift, the stack size after a reduce or an arc, 1 for an unknown code.
int classDPNivre(std::string action, std::vector<int>& heads, std::vector<std::string>& relations,
                 std::vector<int>& stack, int& next);

// The state before the first action over n rows: no row has a head, the
// first row read is on the stack and the second is next (right to left: the
// last row and the one before it).
void startArcEager(int n, bool inverse, std::vector<_dppair>& arcs, std::vector<int>& stack, int& next);

// Number of entries that have a head or are roots.
int checkDPCounter(std::vector<_dppair>& arcs);

// 1 when some row before (after) i has gold head i and no head yet in current.
int checkBeforeDP(std::vector<_dppair>& gold, std::vector<_dppair>& current, int i);
int checkAfterDP(std::vector<_dppair>& gold, std::vector<_dppair>& current, int i);
// First unattached row of current, lowered to the smallest gold head >= 0 met
// from that row on.
int checkCurDP(std::vector<_dppair>& current, std::vector<_dppair>& gold);

// Pairwise decisions about (i, j): "1" i gets head j, "2" i becomes a root,
// "3" j gets head i, "4" j becomes a root, "0" nothing (-1). Returns the row
// changed, or 1 for an unknown code. Rows outside the lists are not written.
int classDP1(std::string action, std::vector<int>& heads, std::vector<std::string>& relations, int i, int j);
int classDP1Head(std::string action, std::vector<int>& heads, int i, int j);

// Appends "i+1 head+1 relation" lines and an empty line to path; returns the
// result of fclose (0), or -1 when the file cannot be opened.
int writeDP(std::vector<int>& heads, std::vector<std::string>& relations, char* path);

#endif
