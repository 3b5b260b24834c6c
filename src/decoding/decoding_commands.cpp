#include "decoding/decoding_commands.h"

#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "decoding/line_sequences.h"
#include "labels/mini_string_bag.h"
#include "labels/tag_dictionary.h"
#include "maxent/me_model.h"
#include "features/wordnet_lexicon.h"
#include "templates/builtin_templates.h"
#include "templates/template_reader.h"
#include "text/line_utils.h"

namespace {

const size_t kLinesPerBatch = 128;
const int kBatchesPerThread = 4;  // in flight: read, being tagged or waiting to be written
const int kMaxThreads = 256;

void tagUsage(std::FILE* to, const char* name) {
  std::fprintf(to,
               "Usage: korvane-kit %s [--language english|chinese] [--model F] [--dict F] [--template F] [--threads N]\n"
               "       [INPUT]\n"
               "  --language L   english or chinese, any case (default chinese)\n"
               "  --model F      model file (default english.model or chinese.model)\n"
               "  --dict F       tag dictionary (default english.dict or chinese.dict)\n"
               "  --template F   template file the model was trained with (default: the language's set)\n"
               "  --threads N    tagging threads, 1 to %d (default: the number of cores)\n"
               "  INPUT          text to tag, one sentence per line (default: standard input, also \"-\")\n"
               "Writes one line of \"word/tag \" pairs per input line to standard output.\n",
               name, kMaxThreads);
}

bool writeAll(std::FILE* out, const std::string& s) {
  return s.empty() || std::fwrite(s.data(), 1, s.size(), out) == s.size();
}

struct Batch {
  long number = 0;
  std::vector<std::string> lines;  // replaced by their output lines, line feeds included
};

// Reader -> workers -> writer, with at most `limit` batches alive at once.
class BatchPipeline {
 public:
  explicit BatchPipeline(int limit) : limit_(limit) {}

  // Blocks while the pipeline is full; false once it was stopped.
  bool admit() {
    std::unique_lock<std::mutex> lock(m_);
    spaceFree_.wait(lock, [&] { return alive_ < limit_ || stopped_; });
    if (stopped_) return false;
    ++alive_;
    return true;
  }
  void submit(Batch&& b) {
    std::lock_guard<std::mutex> lock(m_);
    todo_.push_back(std::move(b));
    workReady_.notify_one();
  }
  void endOfInput() {
    std::lock_guard<std::mutex> lock(m_);
    inputEnded_ = true;
    workReady_.notify_all();
  }
  // Next batch to tag; false when there is none and will be none.
  bool take(Batch& b) {
    std::unique_lock<std::mutex> lock(m_);
    workReady_.wait(lock, [&] { return !todo_.empty() || inputEnded_ || stopped_; });
    if (todo_.empty() || stopped_) return false;
    b = std::move(todo_.front());
    todo_.pop_front();
    return true;
  }
  void finish(Batch&& b) {
    std::lock_guard<std::mutex> lock(m_);
    const long number = b.number;
    done_.emplace(number, std::move(b));
    doneReady_.notify_all();
  }
  // The batch numbered `number` once tagged; false when stopped first.
  bool next(long number, Batch& b) {
    std::unique_lock<std::mutex> lock(m_);
    doneReady_.wait(lock, [&] { return done_.count(number) != 0 || stopped_; });
    if (stopped_) return false;
    auto it = done_.find(number);
    b = std::move(it->second);
    done_.erase(it);
    return true;
  }
  void written() {
    std::lock_guard<std::mutex> lock(m_);
    --alive_;
    spaceFree_.notify_one();
  }
  // Makes every waiting call return (after a write error).
  void stop() {
    std::lock_guard<std::mutex> lock(m_);
    stopped_ = true;
    spaceFree_.notify_all();
    workReady_.notify_all();
    doneReady_.notify_all();
  }

 private:
  const int limit_;
  std::mutex m_;
  std::condition_variable spaceFree_, workReady_, doneReady_;
  int alive_ = 0;
  bool inputEnded_ = false;
  bool stopped_ = false;
  std::deque<Batch> todo_;
  std::map<long, Batch> done_;
};

// Scratch of one tagging thread.
struct LineTagger {
  explicit LineTagger(const FastLabeler& l) : labeler(l) {}
  FastLabeler labeler;
  std::string output;
};

void tagBatch(LineTagger& t, bool english, Batch& b) {
  for (std::string& line : b.lines) {
    tagOneLine(t.labeler, english, line, t.output);
    t.output += '\n';
    line.swap(t.output);
  }
}

}  // namespace

void tagOneLine(FastLabeler& labeler, bool english, std::string& line, std::string& out) {
  // Scratch kept per thread: tagging runs on many threads at once.
  thread_local std::vector<std::string> words, tags;
  thread_local std::vector<TokenTable> sequences;
  out.clear();
  readLine2VectorString(line, words);
  splitIntoSequences(words, english, sequences);
  for (TokenTable& seq : sequences) {
    labeler.label(seq, tags);
    for (size_t i = 0; i < seq.size(); ++i) {
      out += seq[i][0];
      out += '/';
      if (i < tags.size()) out += tags[i];
      out += ' ';
    }
  }
}

long tagStream(std::FILE* in, const char* inName, std::FILE* out, const FastLabeler& labeler, bool english,
               int threads) {
  if (threads < 1) threads = 1;
  long lines = 0;
  bool readFailed = false, writeFailed = false;

  if (threads == 1) {
    LineTagger t(labeler);
    std::string line;
    while (readLineWhole(in, line)) {
      ++lines;
      tagOneLine(t.labeler, english, line, t.output);
      t.output += '\n';
      if (!writeAll(out, t.output)) {
        writeFailed = true;
        break;
      }
    }
    readFailed = std::ferror(in) != 0;
  } else {
    BatchPipeline pipeline(threads * kBatchesPerThread);
    std::vector<std::thread> workers;
    for (int i = 0; i < threads; ++i) {
      workers.emplace_back([&pipeline, &labeler, english] {
        LineTagger t(labeler);
        Batch b;
        while (pipeline.take(b)) {
          tagBatch(t, english, b);
          pipeline.finish(std::move(b));
        }
      });
    }
    long batchCount = 0;
    std::mutex countMutex;
    bool inputDone = false;
    std::condition_variable countChanged;
    std::thread writer([&] {
      Batch b;
      for (long number = 0;; ++number) {
        {
          std::unique_lock<std::mutex> lock(countMutex);
          countChanged.wait(lock, [&] { return number < batchCount || inputDone; });
          if (number >= batchCount) break;
        }
        if (!pipeline.next(number, b)) break;
        for (const std::string& s : b.lines) {
          if (!writeAll(out, s)) {
            writeFailed = true;
            break;
          }
        }
        if (writeFailed) {
          pipeline.stop();
          break;
        }
        pipeline.written();
      }
    });

    std::string line;
    Batch b;
    bool more = true;
    while (more) {
      if (!pipeline.admit()) break;
      b.number = batchCount;
      b.lines.clear();
      while (b.lines.size() < kLinesPerBatch) {
        if (!readLineWhole(in, line)) {
          more = false;
          break;
        }
        b.lines.push_back(std::move(line));
      }
      if (b.lines.empty()) {
        pipeline.written();  // admitted but never submitted
        break;
      }
      lines += static_cast<long>(b.lines.size());
      pipeline.submit(std::move(b));
      b = Batch();
      std::lock_guard<std::mutex> lock(countMutex);
      ++batchCount;
      countChanged.notify_all();
    }
    readFailed = std::ferror(in) != 0;
    pipeline.endOfInput();
    {
      std::lock_guard<std::mutex> lock(countMutex);
      inputDone = true;
      countChanged.notify_all();
    }
    writer.join();
    pipeline.stop();
    for (std::thread& w : workers) w.join();
  }

  if (!writeFailed && std::fflush(out) != 0) writeFailed = true;
  if (readFailed) {
    std::fprintf(stderr, "Error: read %s failed.\n", inName);
    return -1;
  }
  if (writeFailed) {
    std::fprintf(stderr, "Error: write to standard output failed.\n");
    return -1;
  }
  return lines;
}

int kitTag(int argc, char** argv) {
  const char* name = argc > 0 && argv[0] != nullptr ? argv[0] : "tag";
  std::string language = "chinese", model, dict, templatePath;
  const char* input = nullptr;
  long threads = static_cast<long>(std::thread::hardware_concurrency());
  if (threads < 1) threads = 1;
  if (threads > kMaxThreads) threads = kMaxThreads;

  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
      tagUsage(stdout, name);
      return 0;
    }
    const char* option = nullptr;
    const char* value = nullptr;
    for (const char* known : {"--language", "--model", "--dict", "--template", "--threads"}) {
      const size_t n = std::strlen(known);
      if (std::strcmp(arg, known) == 0) {
        option = known;
        if (i + 1 >= argc) {
          std::fprintf(stderr, "Error: %s needs a value.\n", known);
          tagUsage(stderr, name);
          return 2;
        }
        value = argv[++i];
      } else if (std::strncmp(arg, known, n) == 0 && arg[n] == '=') {
        option = known;
        value = arg + n + 1;
      }
      if (option != nullptr) break;
    }
    if (option == nullptr) {
      if (arg[0] == '-' && arg[1] != '\0') {
        std::fprintf(stderr, "Error: unknown option %s.\n", arg);
        tagUsage(stderr, name);
        return 2;
      }
      if (input != nullptr) {
        std::fprintf(stderr, "Error: more than one input file (%s, %s).\n", input, arg);
        tagUsage(stderr, name);
        return 2;
      }
      input = arg;
    } else if (std::strcmp(option, "--language") == 0) {
      language = value;
      for (char& c : language)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
      if (language != "english" && language != "chinese") {
        std::fprintf(stderr, "Error: unknown language %s.\n", value);
        tagUsage(stderr, name);
        return 2;
      }
    } else if (std::strcmp(option, "--model") == 0) {
      model = value;
    } else if (std::strcmp(option, "--dict") == 0) {
      dict = value;
    } else if (std::strcmp(option, "--template") == 0) {
      templatePath = value;
    } else {
      errno = 0;
      char* end = nullptr;
      threads = std::strtol(value, &end, 10);
      if (*value == '\0' || *end != '\0' || errno != 0 || threads < 1 || threads > kMaxThreads) {
        std::fprintf(stderr, "Error: --threads needs a number from 1 to %d, not \"%s\".\n", kMaxThreads, value);
        tagUsage(stderr, name);
        return 2;
      }
    }
  }
  const bool english = language == "english";
  if (model.empty()) model = language + ".model";
  if (dict.empty()) dict = language + ".dict";

  // Everything is checked before the first line is read.
  if (checkFile(model.c_str()) < 0 || checkFile(dict.c_str()) < 0) return 1;
  const bool fromStdin = input == nullptr || std::strcmp(input, "-") == 0;
  std::FILE* in = fromStdin ? stdin : std::fopen(input, "rb");
  if (in == nullptr) {
    std::fprintf(stderr, "Error: open file %s for reading.\n", input);
    return 1;
  }
  const char* inName = fromStdin ? "standard input" : input;

  // The labeler copies what it needs, so the model goes before tagging starts.
  std::unique_ptr<FastLabeler> labeler;
  {
    ME_Model me;
    if (!me.load_from_fileV2(model)) {
      std::fprintf(stderr, "Error: model file %s missing.\n", model.c_str());
    } else if (me.num_classes() == 0) {
      std::fprintf(stderr, "Error: model file %s has no labels.\n", model.c_str());
    } else {
      CMiniStringBag wordBag;
      std::vector<CMiniStringBag> wordTagBags, legal;
      LoadCliqueLabelDict(&dict[0], wordBag, wordTagBags);
      std::vector<std::string> tagList;
      for (int i = 0; i < me.num_classes(); ++i) tagList.push_back(me.get_class_label(i));
      std::vector<_ftnind> templates;
      std::vector<int> order;
      int labelOrder = 0;
      bool haveTemplates = true;
      if (!templatePath.empty())
        haveTemplates = loadTemplateSet(templatePath, templates, order, labelOrder, 2) &&
                        loadTemplateLexicons(templates, templatePath);
      else if (english) getTemplateEnglishPoS(templates, order, labelOrder);
      else getTemplateChinesePoS(templates, order, labelOrder);
      if (haveTemplates)
        labeler.reset(new FastLabeler(me, templates, order, labelOrder, tagList, wordBag, wordTagBags, legal));
      if (labeler && !labeler->supported()) {
        std::fprintf(stderr, "Error: model file %s is too large to tag with.\n", model.c_str());
        labeler.reset();
      }
    }
  }
  int status = 1;
  if (labeler) status = tagStream(in, inName, stdout, *labeler, english, static_cast<int>(threads)) < 0 ? 1 : 0;
  if (!fromStdin) std::fclose(in);
  return status;
}
