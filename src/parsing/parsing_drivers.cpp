#include "parsing/parsing_drivers.h"

#include <cstdio>
#include <memory>
#include <set>
#include <thread>

#include "features/feature_generator.h"
#include "parsing/beam_search.h"
#include "parsing/dependency_info.h"
#include "parsing/parser_scorer.h"
#include "templates/template_reader.h"
#include "text/line_utils.h"

bool _trainFlag = true;

namespace {

const char kColumnMessage[] = "Error: x pointer in template file is longer than column number of crf file.\n";

enum class Direction { kLeftToRight, kRightToLeft, kLeftToRightWithRepair };

inline char codeOf(const std::string& label) { return label.empty() ? '\0' : label[0]; }

bool canChangeState(const std::string& label, bool stackEmpty) {
  switch (codeOf(label)) {
    case '0':
      return true;
    case '1':
    case '2':
    case '3':
      return !stackEmpty;
    default:
      return false;
  }
}

// True when some item of t addresses the last column of the first row or beyond.
bool columnOutOfRange(const _ftnind& t, const TokenTable& rows) {
  const long width = rows.empty() ? 0 : static_cast<long>(rows[0].size());
  for (const _ft& item : t.items)
    if (static_cast<long>(item.column) + 1 >= width) return true;
  return false;
}

// Fills sample's features for the state; -1 (with the message) when checkColumns
// is set and an item's column is out of range.
int buildFeatures(ME_Sample& sample, std::vector<_ftnind>& templates, const std::vector<int>& templateOrder,
                  TokenTable& rows, std::vector<int>& stack, int position, std::vector<_dppair>& arcs,
                  std::vector<std::vector<_dppair>>& argumentLists, std::vector<int>& predicateRows,
                  std::vector<_dppair>& extraArcs, bool checkColumns, std::string& value) {
  // The strings of the previous state are overwritten in place, so that their
  // buffers are reused from state to state.
  std::vector<std::string>& features = sample.feature_strs;
  size_t used = 0;
  const size_t count = templateOrder.size() < templates.size() ? templateOrder.size() : templates.size();
  for (size_t i = 0; i < count; ++i) {
    const int index = templateOrder[i];
    if (index < 0 || static_cast<size_t>(index) >= templates.size()) continue;
    _ftnind& t = templates[static_cast<size_t>(index)];
    if (checkColumns && columnOutOfRange(t, rows)) {
      features.resize(used);
      std::fputs(kColumnMessage, stderr);
      return -1;
    }
    value.clear();
    FeatureLocGenP2Multi(rows, t, stack, position, arcs, argumentLists, predicateRows, extraArcs, value);
    if (!t.name.empty() && t.name[0] == 'U') {
      if (used == features.size()) features.emplace_back();
      std::string& feature = features[used++];
      feature.assign(t.name).append(1, ':').append(value);
    }
  }
  features.resize(used);
  return 1;
}

int generateSample(std::string& action, ME_Sample& sample, ME_Model& model, std::vector<_ftnind>& templates,
                   std::vector<int>& templateOrder, TokenTable& rows, std::vector<int>& stack, int& next,
                   std::vector<_dppair>& arcs, std::vector<std::vector<_dppair>>& argumentLists,
                   std::vector<int>& predicateRows, std::vector<_hisstruc>& actionHistory, Direction direction) {
  sample.label_str = action;
  std::vector<_dppair> noArcs;
  std::string value;
  if (buildFeatures(sample, templates, templateOrder, rows, stack, next, arcs, argumentLists, predicateRows, noArcs,
                    true, value) < 0)
    return -1;
  model.add_training_sample(sample);
  if (direction == Direction::kRightToLeft)
    classDPNivreInverse(action, arcs, stack, next, actionHistory);
  else
    classDPNivre(action, arcs, stack, next, actionHistory);
  return 1;
}

void writeBytes(std::FILE* out, const std::string& s) { std::fwrite(s.data(), 1, s.size(), out); }

void writeSentence(std::FILE* out, const TokenTable& rows, const std::vector<_dppair>& arcs) {
  for (size_t k = 0; k < rows.size(); ++k) {
    for (const std::string& column : rows[k]) {
      writeBytes(out, column);
      std::fputc(' ', out);
    }
    std::fprintf(out, "%ld ", static_cast<long>(arcs[k].head) + 1);
    writeBytes(out, arcs[k].dprel);
    std::fputc('\n', out);
  }
  std::fputc('\n', out);
}

void makeRootsOfUnattached(std::vector<_dppair>& arcs) {
  for (_dppair& a : arcs) {
    if (hasNoHeadYet(a.head)) {
      a.head = -1;
      a.dprel = "ROOT";
    }
  }
}

// Everything one driver run holds.
struct DriverRun {
  std::shared_ptr<ME_Model> model = std::make_shared<ME_Model>();  // shared by the threads of a run
  std::unique_ptr<ParserScorer> scorer;  // built once the model is loaded
  std::vector<std::string> tags;
  std::vector<_ftnind> templates;
  std::vector<int> templateOrder;
  std::vector<int> flags;
  ME_Sample sample;
  std::vector<_dppair> arcs;
  std::vector<int> stack;
  int next = 0;
  std::vector<_hisstruc> actionHistory;
  std::vector<_dppair> extraArcs;
  std::vector<std::vector<_dppair>> argumentLists;
  std::vector<int> predicateRows;
  std::string value;
  int multiRootSentences = 0;
  int extraRoots = 0;
  int beamWidth = 0;  // above 0: beam search instead of the greedy loop
  bool sumScores = false;  // the beam adds raw action scores (a globally trained model)
};

int showTags(ME_Model& model, std::vector<std::string>& tags) {
  const int count = model.num_classes();
  std::fprintf(stderr, "#TagNum=%d\n", count);
  tags.clear();
  for (int id = 0; id < count; ++id) tags.push_back(model.get_class_label(id));
  return count;
}

// Classifies the current state; the chosen label goes to run.sample.label_str.
// -1 when the column check fires.
int classifyState(DriverRun& run, TokenTable& rows, std::vector<double>& probs) {
  if (buildFeatures(run.sample, run.templates, run.templateOrder, rows, run.stack, run.next, run.arcs,
                    run.argumentLists, run.predicateRows, run.extraArcs, _trainFlag, run.value) < 0)
    return -1;
  run.scorer->classify(run.sample, probs);
  return 1;
}

// Runs the transition loop until the input is used up, all but one token are
// attached, or no label can change the state. -1 when the column check fires.
int runTransitions(DriverRun& run, TokenTable& rows, Direction direction) {
  const int n = static_cast<int>(rows.size());
  std::vector<double> probs;
  for (;;) {
    if (classifyState(run, rows, probs) < 0) return -1;
    const std::string action = applicableAction(run.sample.label_str, probs, run.tags, run.stack.empty());
    if (action.empty()) return 1;
    if (direction == Direction::kRightToLeft) {
      classDPNivreInverse(action, run.arcs, run.stack, run.next, run.actionHistory);
      if (run.next < 0) return 1;
    } else {
      classDPNivre(action, run.arcs, run.stack, run.next, run.actionHistory);
      if (run.next >= n) return 1;
    }
    if (checkDPCounter(run.arcs) >= n - 1) return 1;
  }
}

// Whether giving c the head k closes a cycle. The bottom token of the final
// stack becomes the root afterwards, so a chain reaching it ends there.
bool closesCycle(const std::vector<_dppair>& arcs, int c, int k, int bottom) {
  int current = k;
  for (size_t steps = 0; steps <= arcs.size(); ++steps) {
    if (current == c) return true;
    if (current == bottom || current < 0 || static_cast<size_t>(current) >= arcs.size()) return false;
    current = arcs[static_cast<size_t>(current)].head;
  }
  return true;
}

struct RepairChoice {
  int head = -1;
  std::string relation;
  double probability = -1.0;
};

void offer(RepairChoice& best, int head, const std::string& relation, double probability) {
  if (probability > best.probability) {
    best.head = head;
    best.relation = relation;
    best.probability = probability;
  }
}

// Gives heads to tokens the parse left unattached, choosing among the tokens of
// the final stack (all tokens when it was empty). -1 when the column check fires.
int repairRoots(DriverRun& run, TokenTable& rows, const std::set<int>& finalStack, int bottom) {
  const int n = static_cast<int>(rows.size());
  std::vector<double> probs;
  for (int c = 0; c < n; ++c) {
    if (run.arcs[static_cast<size_t>(c)].head >= -1) continue;
    RepairChoice listA, listB;  // best of each list so far
    for (int k = 0; k < n; ++k) {
      if (k == c) continue;
      if (!finalStack.empty() && finalStack.count(k) == 0) continue;
      // The bottom token's own head is replaced by the root, so no cycle matters there.
      if (c != bottom && closesCycle(run.arcs, c, k, bottom)) continue;
      const char wanted = k < c ? '3' : '2';
      run.stack.assign(1, k < c ? k : c);
      run.next = k < c ? c : k;
      if (classifyState(run, rows, probs) < 0) return -1;
      const std::string& chosen = run.sample.label_str;
      if (codeOf(chosen) == wanted) {
        for (size_t id = 0; id < run.tags.size() && id < probs.size(); ++id) {
          if (run.tags[id] == chosen) {
            offer(listA, k, arcRelationOf(chosen), probs[id]);
            break;
          }
        }
      }
      RepairChoice bestOfKind;
      for (size_t id = 0; id < run.tags.size() && id < probs.size(); ++id)
        if (codeOf(run.tags[id]) == wanted) offer(bestOfKind, k, arcRelationOf(run.tags[id]), probs[id]);
      // No label of the wanted kind: this candidate adds nothing to list B.
      if (bestOfKind.head >= 0) offer(listB, bestOfKind.head, bestOfKind.relation, bestOfKind.probability);
    }
    const RepairChoice* pick = listA.head >= 0 ? &listA : (listB.head >= 0 ? &listB : nullptr);
    if (pick != nullptr) {
      run.arcs[static_cast<size_t>(c)].head = pick->head;
      run.arcs[static_cast<size_t>(c)].dprel = pick->relation;
    }
  }
  return 1;
}

// Parses one sentence of at least one row into run.arcs. -1 when the column check fires.
int parseSentence(DriverRun& run, TokenTable& rows, Direction direction) {
  const int n = static_cast<int>(rows.size());
  if (direction == Direction::kRightToLeft)
    loadExtraDPInfo(rows, run.extraArcs, run.argumentLists, run.predicateRows);
  else if (!run.flags.empty() && run.flags[0] > 0)
    loadExtraDPInfo(rows, 2, run.extraArcs, run.argumentLists, run.predicateRows);

  startArcEager(n, direction == Direction::kRightToLeft, run.arcs, run.stack, run.next);
  run.actionHistory.clear();
  if (run.beamWidth > 0) {
    BeamInputs inputs{*run.scorer,         run.tags,          run.templates, run.templateOrder,
                      run.argumentLists,   run.predicateRows, run.extraArcs, run.sample,
                      run.sumScores};
    beamParse(inputs, rows, direction == Direction::kRightToLeft, run.beamWidth, run.arcs);
    return 1;
  }
  if (n >= 2 && runTransitions(run, rows, direction) < 0) return -1;
  if (direction != Direction::kLeftToRightWithRepair) {
    makeRootsOfUnattached(run.arcs);
    return 1;
  }

  const std::set<int> finalStack(run.stack.begin(), run.stack.end());
  const int bottom = run.stack.empty() ? -1 : run.stack.front();
  const int attached = checkDPCounter(run.arcs);
  if (attached < n - 1) {
    ++run.multiRootSentences;
    run.extraRoots += n - 1 - attached;
    if (repairRoots(run, rows, finalStack, bottom) < 0) return -1;
  }
  if (bottom >= 0 && bottom < n) {
    run.arcs[static_cast<size_t>(bottom)].head = -1;
    run.arcs[static_cast<size_t>(bottom)].dprel = "ROOT";
  }
  // Tokens that neither the parse nor the repair attached are written as roots.
  makeRootsOfUnattached(run.arcs);
  return 1;
}

// A copy of a run for another thread: the model and its index are shared,
// everything a parse changes is its own (the feature generator writes into
// the templates).
std::unique_ptr<DriverRun> threadCopy(const DriverRun& run) {
  std::unique_ptr<DriverRun> copy(new DriverRun);
  copy->model = run.model;
  copy->scorer.reset(new ParserScorer(*run.scorer));
  copy->tags = run.tags;
  copy->templates = run.templates;
  copy->templateOrder = run.templateOrder;
  copy->flags = run.flags;
  copy->beamWidth = run.beamWidth;
  copy->sumScores = run.sumScores;
  return copy;
}

// The reading loop of runDriver with the sentences of each batch parsed by
// several threads and written in input order. Same messages, except that
// the progress line comes after each batch. 1, or -1 when the column check
// fires. lastRowsLine > 0 when a last sentence had no empty line after it.
int parseInBatches(DriverRun& run, std::FILE* in, std::FILE* out, Direction direction, int threads, int& lines,
                   int& sentences, int& lastRowsLine) {
  std::vector<std::unique_ptr<DriverRun>> workers;
  for (int t = 0; t < threads; ++t) workers.push_back(threadCopy(run));
  const size_t batchSize = 256 * static_cast<size_t>(threads);
  std::vector<TokenTable> batch;
  std::vector<std::vector<_dppair>> trees;
  std::string line;
  std::vector<std::string> fields;
  TokenTable rows;
  int firstLine = 0, reported = 0;
  bool more = true;
  int result = 1;
  while (more && result == 1) {
    batch.clear();
    while (batch.size() < batchSize && (more = readLineWhole(in, line))) {
      ++lines;
      readLine2VectorString(line, fields);
      if (!fields.empty()) {
        if (rows.empty()) firstLine = lines;
        rows.push_back(fields);
        continue;
      }
      if (rows.empty()) continue;
      batch.push_back(std::move(rows));
      rows.clear();
    }
    trees.assign(batch.size(), std::vector<_dppair>());
    std::vector<int> status(workers.size(), 1);
    std::vector<std::thread> pool;
    for (size_t t = 0; t < workers.size(); ++t) {
      pool.emplace_back([&, t]() {
        DriverRun& w = *workers[t];
        for (size_t i = t; i < batch.size() && status[t] == 1; i += workers.size()) {
          if (parseSentence(w, batch[i], direction) < 0) {
            status[t] = -1;
            break;
          }
          trees[i] = w.arcs;
        }
      });
    }
    for (std::thread& th : pool) th.join();
    for (int s : status)
      if (s < 0) result = -1;
    if (result < 0) break;
    for (size_t i = 0; i < batch.size(); ++i) {
      writeSentence(out, batch[i], trees[i]);
      ++sentences;
    }
    if (lines / 6000 > reported) {
      reported = lines / 6000;
      int multi = 0, extra = 0;
      for (const auto& w : workers) {
        multi += w->multiRootSentences;
        extra += w->extraRoots;
      }
      if (direction == Direction::kLeftToRightWithRepair)
        std::fprintf(stderr, "#line=%d,#seq=%d,#mulroot=%d,#mulrootcounter=%d\r", lines, sentences, multi, extra);
      else
        std::fprintf(stderr, "#line=%d,#seq=%d\r", lines, sentences);
    }
  }
  for (const auto& w : workers) {
    run.multiRootSentences += w->multiRootSentences;
    run.extraRoots += w->extraRoots;
  }
  lastRowsLine = result == 1 && !rows.empty() ? firstLine : 0;
  return result;
}

int runDriver(char* templatePath, char* modelPath, char* inputPath, char* outputPath, Direction direction,
              int beamWidth = 0, int threads = 1, bool sumScores = false) {
  if (checkFile(templatePath) < 0 || checkFile(inputPath) < 0) return -1;
  if (checkFile(modelPath) < 0) return -1;

  DriverRun run;
  run.beamWidth = beamWidth;
  run.sumScores = sumScores;
  if (!run.model->load_from_fileV2(modelPath)) {
    std::fprintf(stderr, "Error: model file %s does not load.\n", modelPath);
    return -1;
  }
  if (showTags(*run.model, run.tags) <= 0) {
    std::fprintf(stderr, "Error: model file %s holds no labels.\n", modelPath);
    return -1;
  }
  run.scorer.reset(new ParserScorer(*run.model));
  int labelOrder = 0;
  if (readTemplateFile3(templatePath, run.templates, run.templateOrder, labelOrder) < 0) {
    std::fprintf(stderr, "Error: template file %s names a template twice.\n", templatePath);
    return -1;
  }
  checkFTNodeInfo(run.templates, run.flags);

  std::FILE* out = std::fopen(outputPath, "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "Error: open %s for writing.\nMake it sure that the destination folder exists\n", outputPath);
    return -1;
  }
  _trainFlag = false;
  std::FILE* in = std::fopen(inputPath, "rb");
  if (in == nullptr) {
    std::fprintf(stderr, "Error: open file %s.\n", inputPath);
    std::fclose(out);
    return -1;
  }

  int result = 1;
  int lines = 0, sentences = 0, firstLine = 0;
  if (threads > 1) {
    result = parseInBatches(run, in, out, direction, threads, lines, sentences, firstLine);
    if (firstLine > 0)
      std::fprintf(stderr, "Warning: %s line %d: the last sentence has no empty line after it and is left out.\n",
                   inputPath, firstLine);
  } else {
  std::string line;
  std::vector<std::string> fields;
  TokenTable rows;
  while (threads <= 1 && readLineWhole(in, line)) {
    ++lines;
    if (!rows.empty() && lines % 6000 == 0) {
      if (direction == Direction::kLeftToRightWithRepair)
        std::fprintf(stderr, "#line=%d,#seq=%d,#mulroot=%d,#mulrootcounter=%d\r", lines, sentences,
                     run.multiRootSentences, run.extraRoots);
      else
        std::fprintf(stderr, "#line=%d,#seq=%d\r", lines, sentences);
    }
    readLine2VectorString(line, fields);
    if (!fields.empty()) {
      if (rows.empty()) firstLine = lines;
      rows.push_back(fields);
      continue;
    }
    if (rows.empty()) continue;
    if (parseSentence(run, rows, direction) < 0) {
      result = -1;
      break;
    }
    writeSentence(out, rows, run.arcs);
    ++sentences;
    rows.clear();
  }
  if (result == 1 && !rows.empty())
    std::fprintf(stderr, "Warning: %s line %d: the last sentence has no empty line after it and is left out.\n",
                 inputPath, firstLine);
  }

  if (std::ferror(in) != 0) {
    std::fprintf(stderr, "Error: read %s.\n", inputPath);
    result = -1;
  }
  std::fclose(in);
  const bool writeFailed = std::ferror(out) != 0;
  if (std::fclose(out) != 0 || writeFailed) {
    std::fprintf(stderr, "Error: write %s.\n", outputPath);
    result = -1;
  }
  if (direction == Direction::kLeftToRightWithRepair)
    std::fprintf(stderr, "#line=%d,#seq=%d,#mulroot=%d,#mulrootcounter=%d\n", lines, sentences,
                 run.multiRootSentences, run.extraRoots);
  else
    std::fprintf(stderr, "#line=%d\r", lines);
  return result;
}

}  // namespace

int parserStateFeatures(ME_Sample& sample, std::vector<_ftnind>& templates, const std::vector<int>& templateOrder,
                        TokenTable& rows, std::vector<int>& stack, int position, std::vector<_dppair>& arcs,
                        std::vector<std::vector<_dppair>>& argumentLists, std::vector<int>& predicateRows,
                        std::vector<_dppair>& extraArcs, bool checkColumns) {
  std::string value;
  return buildFeatures(sample, templates, templateOrder, rows, stack, position, arcs, argumentLists, predicateRows,
                       extraArcs, checkColumns, value);
}

std::string applicableAction(const std::string& chosen, const std::vector<double>& probs,
                             const std::vector<std::string>& tags, bool stackEmpty) {
  if (canChangeState(chosen, stackEmpty)) return chosen;
  double best = -1.0;
  const std::string* pick = nullptr;
  for (size_t id = 0; id < tags.size() && id < probs.size(); ++id) {
    if (canChangeState(tags[id], stackEmpty) && probs[id] > best) {
      best = probs[id];
      pick = &tags[id];
    }
  }
  return pick != nullptr ? *pick : std::string();
}

int ME_TestPNivre2Ext(char* templatePath, char* modelPath, char* inputPath, char* outputPath) {
  return runDriver(templatePath, modelPath, inputPath, outputPath, Direction::kLeftToRight);
}

int ME_TestPNivre2ExtInverse(char* templatePath, char* modelPath, char* inputPath, char* outputPath) {
  return runDriver(templatePath, modelPath, inputPath, outputPath, Direction::kRightToLeft);
}

int ME_TestPNivre2ExtV2(char* templatePath, char* modelPath, char* inputPath, char* outputPath) {
  return runDriver(templatePath, modelPath, inputPath, outputPath, Direction::kLeftToRightWithRepair);
}

bool parsingDriverByName(const std::string& name, ParsingDriver& driver) {
  static const struct {
    const char* name;
    ParsingDriver driver;
  } kNames[] = {{"ltr", {false, false, false, false}},    {"rtl", {true, false, false, false}},
                {"repair", {false, true, false, false}},  {"beam", {false, false, true, false}},
                {"beam-rtl", {true, false, true, false}}, {"global", {false, false, true, true}},
                {"global-rtl", {true, false, true, true}}};
  for (const auto& entry : kNames)
    if (name == entry.name) {
      driver = entry.driver;
      return true;
    }
  return false;
}

namespace {

Direction directionOf(const ParsingDriver& driver) {
  return driver.rightToLeft ? Direction::kRightToLeft
         : driver.repair    ? Direction::kLeftToRightWithRepair
                            : Direction::kLeftToRight;
}

}  // namespace

int parseDependencyFile(char* templatePath, char* modelPath, char* inputPath, char* outputPath,
                        const std::string& driver, int beamWidth, int threads) {
  ParsingDriver chosen;
  parsingDriverByName(driver, chosen);  // an unknown name reads as ltr
  const int width = chosen.beam ? (beamWidth < 1 ? 1 : beamWidth) : 0;
  return runDriver(templatePath, modelPath, inputPath, outputPath, directionOf(chosen), width,
                   threads < 1 ? 1 : threads, chosen.sumScores);
}

int NivreSampleGenExt(std::string& action, ME_Sample& sample, ME_Model& model, std::vector<_ftnind>& templates,
                      std::vector<int>& templateOrder, TokenTable& rows, std::vector<int>& stack, int& next,
                      std::vector<_dppair>& arcs, std::vector<std::vector<_dppair>>& argumentLists,
                      std::vector<int>& predicateRows, std::vector<_hisstruc>& actionHistory) {
  return generateSample(action, sample, model, templates, templateOrder, rows, stack, next, arcs, argumentLists,
                        predicateRows, actionHistory, Direction::kLeftToRight);
}

int NivreSampleGenExtInverse(std::string& action, ME_Sample& sample, ME_Model& model,
                             std::vector<_ftnind>& templates, std::vector<int>& templateOrder, TokenTable& rows,
                             std::vector<int>& stack, int& next, std::vector<_dppair>& arcs,
                             std::vector<std::vector<_dppair>>& argumentLists, std::vector<int>& predicateRows,
                             std::vector<_hisstruc>& actionHistory) {
  return generateSample(action, sample, model, templates, templateOrder, rows, stack, next, arcs, argumentLists,
                        predicateRows, actionHistory, Direction::kRightToLeft);
}

struct SentenceParser::State {
  std::unique_ptr<DriverRun> run;
  Direction direction = Direction::kLeftToRightWithRepair;
};

SentenceParser::SentenceParser() : state_(new State) {}
SentenceParser::~SentenceParser() { delete state_; }

bool SentenceParser::load(const std::string& templatePath, const std::string& modelPath, const std::string& driver,
                          std::string& error) {
  ParsingDriver chosen;
  if (!parsingDriverByName(driver, chosen)) {
    error = "Error: unknown parsing driver '" + driver + "' (ltr, rtl, repair, beam, beam-rtl, global or global-rtl)";
    return false;
  }
  const Direction direction = directionOf(chosen);
  std::unique_ptr<DriverRun> fresh(new DriverRun);
  DriverRun& run = *fresh;
  run.beamWidth = chosen.beam ? kDefaultBeamWidth : 0;
  run.sumScores = chosen.sumScores;
  std::FILE* probe = std::fopen(templatePath.c_str(), "rb");
  if (probe == nullptr) {
    error = "Error: cannot open template file " + templatePath;
    return false;
  }
  std::fclose(probe);
  if (!run.model->load_from_fileV2(modelPath)) {
    error = "Error: parser model " + modelPath + " does not load";
    return false;
  }
  run.tags.clear();
  for (int id = 0; id < run.model->num_classes(); ++id) run.tags.push_back(run.model->get_class_label(id));
  if (run.tags.empty()) {
    error = "Error: parser model " + modelPath + " holds no labels";
    return false;
  }
  run.scorer.reset(new ParserScorer(*run.model));
  int labelOrder = 0;
  std::string path = templatePath;
  if (readTemplateFile3(&path[0], run.templates, run.templateOrder, labelOrder) < 0) {
    error = "Error: template file " + templatePath + " names a template twice";
    return false;
  }
  checkFTNodeInfo(run.templates, run.flags);
  state_->run = std::move(fresh);
  state_->direction = direction;
  // The column check reads this flag; a parse never checks columns. Set
  // here, before any thread parses.
  _trainFlag = false;
  return true;
}

bool SentenceParser::parse(TokenTable& rows, std::vector<_dppair>& arcs) {
  arcs.clear();
  if (rows.empty()) return true;
  if (!state_->run) return false;
  if (parseSentence(*state_->run, rows, state_->direction) < 0) return false;
  arcs = state_->run->arcs;
  return true;
}
