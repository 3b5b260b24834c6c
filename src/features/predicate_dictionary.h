// The predicate dictionaries (_dicProp, _dicNom), the plain dictionary (_dic)
// and the argument-number recommendation drawn from the predicate senses.
#ifndef KORVANE_FEATURES_PREDICATE_DICTIONARY_H
#define KORVANE_FEATURES_PREDICATE_DICTIONARY_H

#include <map>
#include <string>
#include <vector>

#include "features/bank_types.h"
#include "features/token_table.h"

// Process-wide, empty until a loader fills them.
extern std::map<std::string, std::string> _dic;
extern std::map<std::string, std::vector<_bankSense>> _dicProp;
extern std::map<std::string, std::vector<_bankSense>> _dicNom;

// Fills _dicNom (nominal != 0) or _dicProp from a file of "lemma senses"
// lines; the map is emptied first, also when the file cannot be opened.
// Fields are counted from the first byte: a line that begins with a blank or
// a tab has an empty lemma (with a warning naming file and line).
void loadBank(const char* path, int nominal);

// Fills _dic from lines whose last field is the value and whose other
// fields, with the separators between them, are the key. As in loadBank, a
// leading blank is an empty first field (warned); a line of one field has
// no key and is skipped with a warning.
void loadmap(const char* path);

// Loads the verbal (propbank-style) and nominal (nombank-style) predicate
// dictionaries and the plain dictionary; an empty name or "NULL" empties the
// dictionary instead. 1, or -1 with an "Error: ..." message naming the first
// file that cannot be opened (nothing is loaded then).
int loadSenseDictionaries(const std::string& propbank, const std::string& nombank, const std::string& dict);

// One sense segment ("s01:0:1=x0x_R1=..."), or a whole sense list.
void readLine2BankSense(std::string& segment, _bankSense& sense);
void readLine2BankSense(std::string& text, std::vector<_bankSense>& senses);

// True when pattern extends prefix; next gets the element after the prefix
// ("_" when false).
bool recommendTwoVString(std::vector<std::string>& pattern, std::vector<std::string>& prefix, std::string& next);

// Argument numbers that could come next between predicate row predPos and
// the candidate row argPos, given the labels (A0, A1, ...) of the rows.
void recommendSearch(int argPos, int predPos, std::vector<std::string>& argLabels, TokenTable& rows,
                     std::vector<std::string>& out);

#endif
