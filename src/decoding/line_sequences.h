// How the tagger cuts an input line into the sequences it labels.
#ifndef KORVANE_DECODING_LINE_SEQUENCES_H
#define KORVANE_DECODING_LINE_SEQUENCES_H

#include <string>
#include <vector>

#include "features/token_table.h"

// True for the nine words after which a Chinese line is cut (ASCII ! ? ; ,
// and the GBK full-width ? ! , ; and the ideographic full stop).
bool isChineseCutMark(const std::string& word);

// The sequences of one line's words, one word per row: an English line is one
// sequence; any other line is cut after every cut mark and after its last
// word. No words give no sequence. The words are moved out of `words`;
// `sequences` is reused (its rows keep their capacity).
void splitIntoSequences(std::vector<std::string>& words, bool english, std::vector<TokenTable>& sequences);

#endif
