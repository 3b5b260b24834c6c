#include "decoding/tag_stream.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "decoding/labeling.h"
#include "decoding/line_sequences.h"
#include "text/gbk.h"
#include "labels/mini_string_bag.h"
#include "labels/tag_dictionary.h"
#include "maxent/me_model.h"
#include "features/lexicons.h"
#include "templates/builtin_templates.h"
#include "templates/template_reader.h"
#include "text/line_utils.h"

namespace {

const size_t kLinesPerBatch = 128;
const size_t kBytesPerBatch = 1 << 20;  // fewer lines when they are long
const int kBatchesPerThread = 4;  // in flight: read, being tagged or waiting to be written

bool writeAll(std::FILE* out, const std::string& s) {
  return s.empty() || std::fwrite(s.data(), 1, s.size(), out) == s.size();
}

struct Batch {
  long number = 0;
  long firstLine = 0;              // line number of lines[0]
  std::vector<std::string> lines;  // replaced by their output lines, line feeds included
  std::vector<char> emptyInput;    // per line: the input line had no byte at all
  std::vector<std::string> faults;  // messages for lines left empty, in line order
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
  LineTagger(const FastLabeler& l, bool english, bool utf8, const char* inName, bool lineFeeds = true)
      : labeler(l), english(english), utf8(utf8 && !english), lineFeeds(lineFeeds), inName(inName) {}
  FastLabeler labeler;
  const bool english, utf8, lineFeeds;
  const char* inName;
  GbkConverter gbk;
  std::string output, converted, fault;

  // Tags one line into `output` (line feed included); false, with an empty
  // output line and `fault` set, when a UTF-8 line cannot be converted.
  bool tag(std::string& line, long number) {
    if (!utf8) {
      tagOneLine(labeler, english, line, output);
      if (lineFeeds) output += '\n';
      return true;
    }
    std::string why;
    if (gbk.toGbk(line, converted, why)) {
      tagOneLine(labeler, english, converted, output);
      if (gbk.fromGbk(output, converted, why)) {
        output.swap(converted);
        output += '\n';
        return true;
      }
    }
    output = "\n";
    fault = "Error: " + std::string(inName) + " line " + std::to_string(number) + ": " + why + "; line left empty";
    return false;
  }
};

void tagBatch(LineTagger& t, Batch& b) {
  for (size_t i = 0; i < b.lines.size(); ++i) {
    if (!t.tag(b.lines[i], b.firstLine + static_cast<long>(i))) b.faults.push_back(t.fault);
    b.lines[i].swap(t.output);
  }
}

}  // namespace

void tagOneLine(FastLabeler& labeler, bool english, std::string& line, std::string& out) {
  // Scratch kept per thread: tagging runs on many threads at once. The
  // sequence's rows are made from the line directly (words as
  // readLine2VectorString cuts them), without a list of words besides.
  thread_local TokenTable seq;
  thread_local std::vector<int> ids;
  out.clear();
  const std::vector<std::string>& tagList = labeler.tagList();
  size_t rows = 0;
  auto emit = [&]() {
    if (rows == 0) return;
    seq.resize(rows);
    labeler.labelIds(seq, ids);
    for (size_t r = 0; r < rows; ++r) {
      out += seq[r][0];
      out += '/';
      if (r < ids.size() && ids[r] >= 0) out += tagList[ids[r]];
      out += ' ';
    }
    // A huge line's rows are not kept for the lines after it.
    if (rows > 65536) {
      TokenTable().swap(seq);
      std::vector<int>().swap(ids);
    }
    rows = 0;
  };
  const size_t n = line.size();
  size_t i = 0;
  while (i < n) {
    while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= n) break;
    const size_t start = i;
    while (i < n && line[i] != ' ' && line[i] != '\t') ++i;
    if (rows == seq.size()) seq.emplace_back();
    std::vector<std::string>& row = seq[rows++];
    row.resize(1);
    row[0].assign(line, start, i - start);
    if (!english && isChineseCutMark(row[0])) emit();
  }
  emit();
}

namespace {

struct StreamResult {
  long lines = 0, faults = 0;
  bool readFailed = false, writeFailed = false;
};

// Reads `in` to its end and writes every line's output in input order:
// with line feeds (CR LF line ends and a leading byte-order mark dropped,
// progress called with the lines written now and then), or (joined) the
// lines' bytes as they are, their outputs one after another, calling
// afterLine(n) on the writing thread once the output of line n, a line not
// empty, has been written.
StreamResult streamLines(std::FILE* in, const char* inName, std::FILE* out, const FastLabeler& labeler, bool english,
                         int threads, bool utf8, bool joined, const std::function<void(long)>& afterLine,
                         const std::function<void(long)>& progress) {
  if (threads < 1) threads = 1;
  StreamResult r;
  long& lines = r.lines;
  long& faults = r.faults;
  bool& readFailed = r.readFailed;
  bool& writeFailed = r.writeFailed;
  auto written = [&](long number, bool emptyInput) {
    if (joined && !emptyInput && afterLine) afterLine(number);
  };

  if (threads == 1) {
    LineTagger t(labeler, english, utf8, inName, !joined);
    std::string line;
    while (readLineWhole(in, line)) {
      if (!joined) dropForeignLineEnd(line, lines == 0);
      ++lines;
      if (!t.tag(line, lines)) {
        std::fprintf(stderr, "%s\n", t.fault.c_str());
        ++faults;
      }
      if (!writeAll(out, t.output)) {
        writeFailed = true;
        break;
      }
      written(lines, line.empty());
      if (progress) progress(lines);
    }
    readFailed = std::ferror(in) != 0;
  } else {
    BatchPipeline pipeline(threads * kBatchesPerThread);
    std::vector<std::thread> workers;
    for (int i = 0; i < threads; ++i) {
      workers.emplace_back([&pipeline, &labeler, english, utf8, inName, joined] {
        LineTagger t(labeler, english, utf8, inName, !joined);
        Batch b;
        while (pipeline.take(b)) {
          tagBatch(t, b);
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
      long writtenLines = 0;
      for (long number = 0;; ++number) {
        {
          std::unique_lock<std::mutex> lock(countMutex);
          countChanged.wait(lock, [&] { return number < batchCount || inputDone; });
          if (number >= batchCount) break;
        }
        if (!pipeline.next(number, b)) break;
        for (const std::string& f : b.faults) std::fprintf(stderr, "%s\n", f.c_str());
        faults += static_cast<long>(b.faults.size());
        for (size_t i = 0; i < b.lines.size(); ++i) {
          if (!writeAll(out, b.lines[i])) {
            writeFailed = true;
            break;
          }
          written(b.firstLine + static_cast<long>(i), b.emptyInput[i] != 0);
        }
        if (writeFailed) {
          pipeline.stop();
          break;
        }
        writtenLines += static_cast<long>(b.lines.size());
        if (progress) progress(writtenLines);
        pipeline.written();
      }
    });

    std::string line;
    Batch b;
    bool more = true;
    while (more) {
      if (!pipeline.admit()) break;
      b.number = batchCount;
      b.firstLine = lines + 1;
      b.lines.clear();
      b.emptyInput.clear();
      size_t bytes = 0;
      while (b.lines.size() < kLinesPerBatch && bytes < kBytesPerBatch) {
        if (!readLineWhole(in, line)) {
          more = false;
          break;
        }
        if (!joined) dropForeignLineEnd(line, lines == 0 && b.lines.empty());
        bytes += line.size();
        b.emptyInput.push_back(line.empty() ? 1 : 0);
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
  return r;
}

}  // namespace

long tagStream(std::FILE* in, const char* inName, std::FILE* out, const FastLabeler& labeler, bool english,
               int threads, const char* outName, bool utf8, long* skipped,
               const std::function<void(long)>& progress) {
  const StreamResult r = streamLines(in, inName, out, labeler, english, threads, utf8, false, nullptr, progress);
  if (skipped) *skipped = r.faults;
  if (r.readFailed) {
    std::fprintf(stderr, "Error: read %s failed.\n", inName);
    return -1;
  }
  if (r.writeFailed) {
    std::fprintf(stderr, "Error: write to %s failed.\n", outName);
    return -1;
  }
  return r.lines;
}

long tagStreamJoined(std::FILE* in, std::FILE* out, const FastLabeler& labeler, bool english, int threads,
                     const std::function<void(long)>& afterLine, bool& readFailed, bool& writeFailed) {
  const StreamResult r = streamLines(in, "", out, labeler, english, threads, false, true, afterLine, nullptr);
  readFailed = r.readFailed;
  writeFailed = r.writeFailed;
  return r.lines;
}

bool loadTagger(const TaggerFiles& files, LoadedTagger& t) {
  t.english = files.english;
  t.fast.reset();
  if (!t.model.load_from_fileV2(files.model)) {
    std::fprintf(stderr, "Error: model file %s does not load.\n", files.model.c_str());
    return false;
  }
  if (t.model.num_classes() == 0) {
    std::fprintf(stderr, "Error: model file %s has no labels.\n", files.model.c_str());
    return false;
  }
  std::string dict = files.dict;
  LoadCliqueLabelDict(&dict[0], t.wordBag, t.wordTagBags);
  t.tagList.clear();
  for (int i = 0; i < t.model.num_classes(); ++i) t.tagList.push_back(t.model.get_class_label(i));
  t.templates.clear();
  t.templateOrder.clear();
  if (!files.templatePath.empty()) {
    if (!loadTemplateSet(files.templatePath, t.templates, t.templateOrder, t.labelOrder, 2) ||
        !loadTemplateLexicons(t.templates, files.templatePath))
      return false;
  } else if (files.english) {
    getTemplateEnglishPoS(t.templates, t.templateOrder, t.labelOrder);
  } else {
    getTemplateChinesePoS(t.templates, t.templateOrder, t.labelOrder);
  }
  t.fast.reset(new FastLabeler(t.model, t.templates, t.templateOrder, t.labelOrder, t.tagList, t.wordBag,
                               t.wordTagBags, t.legal));
  return true;
}

void labelSequence(LoadedTagger& t, TokenTable& sequence, std::vector<std::string>& tags) {
  if (t.fast && t.fast->supported())
    t.fast->label(sequence, tags);
  else
    labelSeqIt(sequence, t.tagList, tags, t.labelOrder, t.wordBag, 1, t.wordTagBags, t.legal, t.templates,
               t.templateOrder, t.model);
}

bool scoreTagger(LoadedTagger& t, const std::string& goldPath, TaggerScores& scores,
                 const std::function<void(long)>& progress) {
  scores = TaggerScores();
  std::FILE* in = std::fopen(goldPath.c_str(), "rb");
  if (in == nullptr) {
    std::fprintf(stderr, "Error: open file %s for reading.\n", goldPath.c_str());
    return false;
  }
  std::vector<std::vector<std::string>> rows;
  std::string line;
  std::vector<std::string> fields, tags;
  auto tagSentence = [&]() {
    size_t begin = 0;
    while (begin < rows.size()) {
      size_t end = begin;
      if (t.english) {
        end = rows.size();
      } else {
        while (end < rows.size() && !isChineseCutMark(rows[end][0])) ++end;
        end = end < rows.size() ? end + 1 : end;
      }
      TokenTable sequence;
      for (size_t i = begin; i < end; ++i) sequence.push_back({rows[i][0]});
      const auto t0 = std::chrono::steady_clock::now();
      labelSequence(t, sequence, tags);
      scores.tagSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      for (size_t i = begin; i < end; ++i) {
        const bool good = i - begin < tags.size() && tags[i - begin] == rows[i].back();
        const bool known = t.wordBag.idByString.count(rows[i][0]) > 0;
        ++scores.tokens;
        scores.correct += good;
        scores.known += known;
        scores.knownCorrect += good && known;
      }
      begin = end;
    }
    rows.clear();
    if (progress) progress(scores.tokens);
  };
  bool first = true;
  long lineNumber = 0;
  while (readLineWhole(in, line)) {
    ++lineNumber;
    dropForeignLineEnd(line, first);
    first = false;
    readLine2VectorString(line, fields);
    if (fields.empty()) {
      tagSentence();
    } else if (fields.size() < 2) {
      // A word alone would be scored against itself as its tag.
      std::fprintf(stderr, "Error: %s line %ld: no gold tag after the word.\n", goldPath.c_str(), lineNumber);
      std::fclose(in);
      return false;
    } else {
      rows.push_back(fields);
    }
  }
  tagSentence();
  const bool readOk = std::ferror(in) == 0;
  std::fclose(in);
  if (!readOk) std::fprintf(stderr, "Error: read %s failed.\n", goldPath.c_str());
  return readOk;
}
