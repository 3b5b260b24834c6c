#include "app/tagging_run.h"

#include <sched.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <thread>

#include "decoding/fast_labeling.h"
#include "decoding/labeling.h"
#include "decoding/tag_stream.h"
#include "labels/legal_transitions.h"
#include "labels/mini_string_bag.h"
#include "labels/tag_dictionary.h"
#include "templates/builtin_templates.h"
#include "templates/template_types.h"
#include "text/line_utils.h"

int _lang = 37;
int globalCounter = 0;

const CRFPP::Option long_options[] = {
    {"help", 'h', nullptr, nullptr, "show this help and exit"},
    {"language", 'l', "Chinese", "MODEL", "Choose the language for PoS tagging"},
    {"outputfile", 'o', "NULL", "FILE", "output file for decoding"},
    {nullptr, 0, nullptr, nullptr, nullptr}};

namespace {

const int kEnglish = 36;
const int kProgressEvery = 6000;

void toLower(std::string* s) {
  for (char& c : *s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
typedef std::unique_ptr<std::FILE, FileCloser> FilePtr;

// True when both paths exist and name the same file (links and differently
// spelled paths included).
bool sameExistingFile(const char* a, const char* b) {
  struct stat sa, sb;
  if (stat(a, &sa) != 0 || stat(b, &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool isNull(const char* path) { return std::strcmp(path, "NULL") == 0; }

// Labels rows [0, count) of seq and writes them as "word/tag ".
void labelAndWrite(TokenTable& seq, std::vector<std::string>& tags, std::FILE* out, const SequenceLabeler& label) {
  label(seq, tags);
  static const std::string kNoTag;
  for (size_t i = 0; i < seq.size(); ++i) {
    const std::string& word = seq[i][0];
    const std::string& tag = i < tags.size() ? tags[i] : kNoTag;
    std::fwrite(word.data(), 1, word.size(), out);
    std::fputc('/', out);
    std::fwrite(tag.data(), 1, tag.size(), out);
    std::fputc(' ', out);
  }
}

// Worker threads for the fast path: KORVANE_THREADS when it is a number
// from 1 to 256 (1: everything on the main thread), else one per core the
// process may run on.
int taggingThreads() {
  const char* value = std::getenv("KORVANE_THREADS");
  if (value != nullptr) {
    char* end = nullptr;
    const long n = std::strtol(value, &end, 10);
    if (end != value && *end == '\0' && n >= 1 && n <= 256) return static_cast<int>(n);
  }
#ifdef __linux__
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) >= 1)
    return std::min(CPU_COUNT(&allowed), 256);
#endif
  const unsigned cores = std::thread::hardware_concurrency();
  return cores >= 1 ? static_cast<int>(std::min(cores, 256u)) : 1;
}

}  // namespace

int tagLineStream(std::FILE* in, std::FILE* out, bool english, const SequenceLabeler& label) {
  std::string line;
  std::vector<std::string> words;
  TokenTable seq;
  std::vector<std::string> tags;
  int lineCount = 0;
  while (readLineWhole(in, line)) {
    ++lineCount;
    if (line.empty()) continue;
    readLine2VectorString(line, words);
    size_t start = 0;
    for (size_t i = 0; i < words.size(); ++i) {
      const bool last = i + 1 == words.size();
      if (!last && (english || !isChineseCutMark(words[i]))) continue;
      // Rows are reused across sequences; the words are not needed afterwards.
      seq.resize(i + 1 - start);
      for (size_t r = 0; r < seq.size(); ++r) {
        seq[r].resize(1);
        seq[r][0].swap(words[start + r]);
      }
      labelAndWrite(seq, tags, out, label);
      start = i + 1;
    }
    if (lineCount % kProgressEvery == 0) std::fprintf(stderr, "#line=%d,#seq=%d\r", lineCount, 0);
  }
  return lineCount;
}

void printUsage() {
  std::fputs(CRFPP::programBanner(), stdout);
  std::fputs("\n", stdout);
  std::fflush(stdout);
}

int showTagSet(ME_Model& model, std::vector<std::string>& tags) {
  const int count = model.num_classes();
  std::fprintf(stderr, "#TagNum=%d\n", count);
  tags.clear();
  for (int i = 0; i < count; ++i) tags.push_back(model.get_class_label(i));
  return count;
}

int ME_TestLabel6(char* /*ignoredPath*/, char* modelPath, char* inputPath, char* outputPath, char* legalPath,
                  char* dictPath, int /*languageFlag*/) {
  const int inputOk = checkFile(inputPath);
  const int modelOk = checkFile(modelPath);
  if (inputOk < 0 || modelOk < 0) return -1;

  // Creating the output truncates it: never let it be one of the run's inputs.
  const char* inputs[] = {inputPath, modelPath, isNull(dictPath) ? nullptr : dictPath,
                          isNull(legalPath) ? nullptr : legalPath};
  for (const char* used : inputs) {
    if (used != nullptr && sameExistingFile(outputPath, used)) {
      std::fprintf(stderr, "Error: output file %s is the same file as %s; refusing to overwrite it.\n", outputPath,
                   used);
      return -1;
    }
  }

  FilePtr out(std::fopen(outputPath, "wb"));
  if (!out) {
    std::fprintf(stderr, "Error: open %s for writing.\nMake it sure that the destination folder exists\n",
                 outputPath);
    return -1;
  }

  ME_Model model;
  if (!model.load_from_fileV2(modelPath)) {
    std::fprintf(stderr, "Error: model file %s missing.\n", modelPath);
    return -2;
  }
  // Decoding needs at least one tag to choose from.
  if (model.num_classes() == 0) {
    std::fprintf(stderr, "Error: model file %s has no labels.\n", modelPath);
    return -2;
  }

  std::vector<CMiniStringBag> legalTable;
  if (!isNull(legalPath) && checkFile(legalPath) > 0) LoadLegalTagTrans(legalPath, legalTable);

  if (isNull(dictPath) || checkFile(dictPath) < 0) {
    std::fprintf(stderr, "Error: dictionary file %s missing.\n", dictPath);
    return -3;
  }
  CMiniStringBag wordBag;
  std::vector<CMiniStringBag> wordTagBags;
  LoadCliqueLabelDict(dictPath, wordBag, wordTagBags);

  std::vector<std::string> tagList;
  showTagSet(model, tagList);

  std::vector<_ftnind> templates;
  std::vector<int> templateOrder;
  int labelOrder = 0;
  if (_lang == kEnglish) getTemplateEnglishPoS(templates, templateOrder, labelOrder);
  else getTemplateChinesePoS(templates, templateOrder, labelOrder);

  FilePtr in(std::fopen(inputPath, "rb"));
  if (!in) {
    std::fprintf(stderr, "Error: open file %s.\n", inputPath);
    return -1;
  }

  // The fast path tags exactly as labelSeqIt does; KORVANE_REFERENCE_PATH=1
  // selects labelSeqIt itself, for comparisons (on one thread).
  const char* reference = std::getenv("KORVANE_REFERENCE_PATH");
  std::unique_ptr<FastLabeler> fast;
  if (reference == nullptr || std::strcmp(reference, "1") != 0)
    fast.reset(new FastLabeler(model, templates, templateOrder, labelOrder, tagList, wordBag, wordTagBags,
                               legalTable));
  if (fast && !fast->supported()) fast.reset();
  int lineCount = 0;
  bool readFailed = false, writeFailed = false;
  if (fast) {
    // Lines are tagged on worker threads and written in input order.
    const long lines = tagStreamJoined(
        in.get(), out.get(), *fast, _lang == kEnglish, taggingThreads(),
        [](long line) {
          if (line % kProgressEvery == 0) std::fprintf(stderr, "#line=%d,#seq=%d\r", static_cast<int>(line), 0);
        },
        readFailed, writeFailed);
    lineCount = static_cast<int>(lines);
  } else {
    SequenceLabeler label = [&](TokenTable& seq, std::vector<std::string>& tags) {
      labelSeqIt(seq, tagList, tags, labelOrder, wordBag, 1, wordTagBags, legalTable, templates, templateOrder,
                 model);
    };
    lineCount = tagLineStream(in.get(), out.get(), _lang == kEnglish, label);
  }

  // A run that could not read all its input or write all its output failed.
  if (std::ferror(in.get()) != 0) readFailed = true;
  if (std::ferror(out.get()) != 0) writeFailed = true;
  if (std::fclose(out.release()) != 0) writeFailed = true;
  in.reset();
  if (readFailed) {
    std::fprintf(stderr, "Error: read %s failed.\n", inputPath);
    return -1;
  }
  if (writeFailed) {
    std::fprintf(stderr, "Error: write %s failed.\n", outputPath);
    return -1;
  }
  std::fprintf(stderr, "#line=%d\r", lineCount);
  return 1;
}

int korvaneMain(int argc, char** argv) {
  CRFPP::Param param;
  param.open(argc, argv, long_options);  // a bad argument only ends the parse
  if (!param.help_version()) return 0;
  if (param.rest_args().empty()) {
    std::fwrite(param.help().data(), 1, param.help().size(), stdout);
    std::fflush(stdout);
    return 0;
  }

  std::string output = param.get<std::string>("outputfile");
  std::string language = param.get<std::string>("language");
  toLower(&language);
  bool english = false;
  if (language == "english") {
    english = true;
  } else if (language != "chinese") {
    std::fprintf(stderr, "Error: unknown language %s\n", language.c_str());
    return 255;
  }

  printUsage();
  std::fprintf(stderr, "Language: %s\n", language.c_str());

  std::string model = "chinese.model";
  std::string dict = "chinese.dict";
  if (english) {
    _lang = kEnglish;
    model = "english.model";
    dict = "english.dict";
  }
  std::string input = param.rest_args()[0];
  std::string ignored = "NULL";
  std::string legal = "NULL";

  const std::time_t wallStart = std::time(nullptr);
  const std::clock_t cpuStart = std::clock();
  const int result = ME_TestLabel6(&ignored[0], &model[0], &input[0], &output[0], &legal[0], &dict[0],
                                   english ? 1 : 0);
  const std::clock_t cpuEnd = std::clock();
  const std::time_t wallEnd = std::time(nullptr);
  const long long cpuMs = static_cast<long long>(cpuEnd - cpuStart) * 1000 / CLOCKS_PER_SEC;
  std::fprintf(stderr, "\n%lldms %llds\n\n", cpuMs, static_cast<long long>(wallEnd - wallStart));
  return result == 1 ? 0 : 1;
}
