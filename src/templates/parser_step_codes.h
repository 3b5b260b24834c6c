// Step codes of the dependency parser's features (240-279), outside the codes
// that stored templates already use. 240-242 move the item's node; 243 and up
// are value functions. Names and meanings: models/parser-rich.template's
// header and the README.
#ifndef KORVANE_TEMPLATES_PARSER_STEP_CODES_H
#define KORVANE_TEMPLATES_PARSER_STEP_CODES_H

enum ParserStepCode {
  kStepParent = 240,     // parent[k]: the head k levels up (k 0 or 1: the head)
  kStepLeftChild = 241,  // lchild[k]: the k-th child left of the node, from the far left
  kStepRightChild = 242, // rchild[k]: the k-th child right of the node, from the far right
  kValueLeftValency = 243,
  kValueRightValency = 244,
  kValueLeftLabelSet = 245,
  kValueRightLabelSet = 246,
  kValueDistance = 247,
};

inline bool isParserNavigationCode(int code) { return code >= kStepParent && code <= kStepRightChild; }
inline bool isParserValueCode(int code) { return code >= kValueLeftValency && code <= kValueDistance; }

#endif
