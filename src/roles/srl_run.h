// Pieces shared by the role-labelling drivers: run setup (probes, model,
// templates, files), sentence reading with the progress counters, model
// labels as roles and the output rows.
#ifndef KORVANE_ROLES_SRL_RUN_H
#define KORVANE_ROLES_SRL_RUN_H

#include <cstdio>
#include <string>
#include <vector>

#include "features/token_table.h"
#include "maxent/me_model.h"
#include "roles/srl_sentence.h"
#include "templates/template_types.h"

// Process-wide empty-column marker of the role labellers ("_").
extern std::string _trivial_srl;

// The columns of the role-labelling layout: 8 head, 9 relation, 10 marker.
constexpr size_t kSrlLayoutColumns = 11;

struct SrlRun : SrlModel {
  SrlRun() = default;
  SrlRun(const SrlRun&) = delete;
  SrlRun& operator=(const SrlRun&) = delete;
  ~SrlRun();  // closes files still open

  std::string inputPath;
  std::string outputPath;
  std::FILE* in = nullptr;
  std::FILE* out = nullptr;
  int lineCounter = 0;
  int seqCounter = 0;
  bool atEnd = false;
  std::string line;                 // reading buffer
  std::vector<std::string> fields;  // reading buffer
};

// Probes the three files, loads the model and the templates, creates the
// output, clears _trainFlag and opens the input. 1, or -1 after a message.
int openSrlRun(SrlRun& run, char* templatePath, char* modelPath, char* inputPath, char* outputPath);

// Next sentence: rows up to an empty (or blank-only) line, or up to the end
// of the input. rowLines gets the 1-based line of every row. false when the
// input holds no further rows.
bool readSrlSentence(SrlRun& run, TokenTable& rows, std::vector<int>& rowLines);

// Writes a finished sentence's text and counts it; the progress line goes to
// stderr when the sentence's closing line is a multiple of 6000.
void writeSrlSentence(SrlRun& run, const std::string& text);

// Closes both files and prints the line counter. 1, or -1 when the output
// could not be written in full.
int closeSrlRun(SrlRun& run);

// Warns once per sentence about the first row with fewer than `needed`
// columns; the drivers read missing cells as "_".
void warnShortRows(const SrlRun& run, const TokenTable& rows, const std::vector<int>& rowLines, size_t needed);

// Role carried by a model label: the label from its third character on;
// "_" when nothing follows the first two characters.
std::string roleOfLabel(const std::string& label);

// Cell text, or "_" for a cell that the row lacks.
const std::string& cellOrBlank(const std::vector<std::string>& row, long long column);

// Appends the row's columns joined by single blanks.
void appendColumns(const std::vector<std::string>& row, std::string& out);
// Appends "  %d %s" with head + 1 and role.
void appendRolePair(const _dppair& arc, std::string& out);

#endif
