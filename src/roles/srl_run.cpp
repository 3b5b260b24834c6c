#include "roles/srl_run.h"

#include <utility>

#include "parsing/parsing_drivers.h"
#include "text/line_utils.h"

std::string _trivial_srl = "_";

namespace {
const std::string kBlank = "_";
}  // namespace

SrlRun::~SrlRun() {
  if (in != nullptr) std::fclose(in);
  if (out != nullptr) std::fclose(out);
}

int openSrlRun(SrlRun& run, char* templatePath, char* modelPath, char* inputPath, char* outputPath) {
  if (checkFile(templatePath) < 0 || checkFile(inputPath) < 0 || checkFile(modelPath) < 0) return -1;
  if (!loadSrlModel(run, templatePath, modelPath)) return -1;
  run.inputPath = inputPath;
  run.outputPath = outputPath;
  run.out = std::fopen(outputPath, "wb");
  if (run.out == nullptr) {
    std::fprintf(stderr, "Error: open file %s for writing.\n", outputPath);
    return -1;
  }
  _trainFlag = false;
  run.in = std::fopen(inputPath, "rb");
  if (run.in == nullptr) {
    std::fprintf(stderr, "Error: open file %s for reading.\n", inputPath);
    return -1;
  }
  return 1;
}

bool readSrlSentence(SrlRun& run, TokenTable& rows, std::vector<int>& rowLines) {
  rows.clear();
  rowLines.clear();
  while (!run.atEnd) {
    if (!readLineWhole(run.in, run.line)) {
      run.atEnd = true;
      break;
    }
    ++run.lineCounter;
    readLine2VectorString(run.line, run.fields);
    if (run.fields.empty()) {
      if (rows.empty()) continue;
      return true;
    }
    rowLines.push_back(run.lineCounter);
    rows.push_back(std::move(run.fields));
  }
  // A last sentence without a closing empty line is labelled all the same.
  return !rows.empty();
}

void writeSrlSentence(SrlRun& run, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), run.out);
  ++run.seqCounter;
  if (!run.atEnd && run.lineCounter % 6000 == 0)
    std::fprintf(stderr, "#line=%d,#seq=%d\r", run.lineCounter, run.seqCounter);
}

int closeSrlRun(SrlRun& run) {
  bool written = true;
  if (run.out != nullptr) {
    written = std::ferror(run.out) == 0;
    written = std::fclose(run.out) == 0 && written;
    run.out = nullptr;
  }
  if (run.in != nullptr) {
    std::fclose(run.in);
    run.in = nullptr;
  }
  std::fprintf(stderr, "#line=%d\r", run.lineCounter);
  if (!written) {
    std::fprintf(stderr, "Error: write file %s.\n", run.outputPath.c_str());
    return -1;
  }
  return 1;
}

void warnShortRows(const SrlRun& run, const TokenTable& rows, const std::vector<int>& rowLines, size_t needed) {
  for (size_t r = 0; r < rows.size(); ++r) {
    if (rows[r].size() < needed) {
      std::fprintf(stderr, "Warning: %s line %d: %zu columns, %zu expected; missing cells read as \"_\".\n",
                   run.inputPath.c_str(), rowLines[r], rows[r].size(), needed);
      return;
    }
  }
}

std::string roleOfLabel(const std::string& label) { return label.size() > 2 ? label.substr(2) : kBlank; }

const std::string& cellOrBlank(const std::vector<std::string>& row, long long column) {
  if (column < 0 || column >= static_cast<long long>(row.size())) return kBlank;
  return row[static_cast<size_t>(column)];
}

void appendColumns(const std::vector<std::string>& row, std::string& out) {
  for (size_t i = 0; i < row.size(); ++i) {
    if (i > 0) out += ' ';
    out += row[i];
  }
}

void appendRolePair(const _dppair& arc, std::string& out) {
  char number[24];
  std::snprintf(number, sizeof number, "  %lld ", static_cast<long long>(arc.head) + 1);
  out += number;
  out += arc.dprel;
}
