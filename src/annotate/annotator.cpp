#include "annotate/annotator.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "features/lexicons.h"
#include "labels/mini_string_bag.h"
#include "labels/tag_dictionary.h"
#include "maxent/me_model.h"
#include "parsing/parse_voting.h"
#include "parsing/parsing_drivers.h"
#include "projectivity/projective_file.h"
#include "templates/builtin_templates.h"
#include "templates/template_reader.h"
#include "text/utf8.h"
#include "tokenize/english_tokenizer.h"
#include "tokenize/sentence_splitter.h"

namespace annotate {

namespace {

const size_t kUnitsPerBatch = 64;
const int kBatchesPerThread = 4;  // read, being annotated, or waiting to be written

conllu::Word makeWord(size_t id, std::string form, bool spaceAfter) {
  conllu::Word w;
  w.cols.assign(conllu::kColumns, "_");
  w.cols[conllu::kId] = std::to_string(id);
  w.cols[conllu::kForm] = std::move(form);
  if (!spaceAfter) w.cols[conllu::kMisc] = "SpaceAfter=No";
  return w;
}

// Cuts sentences longer than kMaxSentenceTokens; returns the longest length cut.
size_t cutLongSentences(std::vector<conllu::Sentence>& sentences, size_t first) {
  size_t longest = 0;
  for (size_t s = first; s < sentences.size(); ++s) {
    if (sentences[s].words.size() <= kMaxSentenceTokens) continue;
    longest = std::max(longest, sentences[s].words.size());
    conllu::Sentence rest;
    rest.words.assign(sentences[s].words.begin() + kMaxSentenceTokens, sentences[s].words.end());
    sentences[s].words.resize(kMaxSentenceTokens);
    for (size_t i = 0; i < rest.words.size(); ++i) rest.words[i].cols[conllu::kId] = std::to_string(i + 1);
    sentences.insert(sentences.begin() + static_cast<long>(s) + 1, std::move(rest));
  }
  return longest;
}

// "# text = " from the words' forms and spacing (for cut sentences).
void setTextComment(conllu::Sentence& s) {
  std::string text;
  for (size_t i = 0; i < s.words.size(); ++i) {
    text += s.words[i].cols[conllu::kForm];
    if (i + 1 < s.words.size() && s.words[i].cols[conllu::kMisc] != "SpaceAfter=No") text += ' ';
  }
  s.comments.assign(1, "# text = " + text);
}

}  // namespace

void sentencesOfText(const tokenize::TokenLists& lists, const std::string& text, bool oneSentence,
                     std::vector<conllu::Sentence>& out) {
  tokenize::EnglishTokenizer tokenizer(lists);
  std::vector<tokenize::Token> tokens;
  tokenizer.tokenize(text, tokens);
  if (tokens.empty()) return;
  std::vector<size_t> ends;
  if (oneSentence) {
    tokenize::detachFinalPeriod(text, tokens, tokens.size() - 1);
    ends.push_back(tokens.size());
  } else {
    ends = tokenize::SentenceSplitter(lists).split(text, tokens);
  }
  size_t begin = 0;
  for (size_t end : ends) {
    conllu::Sentence s;
    std::string sentenceText = text.substr(tokens[begin].begin, tokens[end - 1].end - tokens[begin].begin);
    for (char& c : sentenceText)
      if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    s.comments.push_back("# text = " + sentenceText);
    for (size_t i = begin; i < end; ++i)
      s.words.push_back(makeWord(i - begin + 1, text.substr(tokens[i].begin, tokens[i].end - tokens[i].begin),
                                 tokens[i].spaceAfter));
    out.push_back(std::move(s));
    begin = end;
  }
}

void sentenceOfTokens(const std::string& line, std::vector<conllu::Sentence>& out) {
  conllu::Sentence s;
  std::string text;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    size_t j = i;
    while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
    if (j > i) {
      s.words.push_back(makeWord(s.words.size() + 1, line.substr(i, j - i), true));
      text += (text.empty() ? "" : " ") + line.substr(i, j - i);
    }
    i = j;
  }
  if (s.words.empty()) return;
  s.comments.push_back("# text = " + text);
  out.push_back(std::move(s));
}

class Annotator::Worker {
 public:
  explicit Worker(const Annotator& a) : a_(a) {
    if (a.labeler_) labeler_.reset(new FastLabeler(*a.labeler_));
  }
  bool init(std::string& error) {
    if (!a_.options_.parse) return true;
    if (a_.files_.parserDriver != "vote")
      return parser_.load(a_.files_.parserTemplate, a_.files_.parserModel, a_.files_.parserDriver, error);
    for (const ModelFiles::ParserMember& m : a_.files_.parserMembers) {
      members_.emplace_back(new SentenceParser);
      if (!members_.back()->load(m.templatePath, m.model, m.driver, error)) return false;
      weights_.push_back(m.weight);
    }
    if (!members_.empty()) return true;
    error = "Error: the parser ensemble has no member.";
    return false;
  }

  // The sentence's tree: the parser's, or the ensemble's vote; lifted arcs
  // a model marked in its relations go back to their heads.
  bool parse() {
    if (members_.empty()) {
      if (!parser_.parse(rows_, arcs_)) return false;
      decodeMarkedArcs(arcs_, 3);
      return true;
    }
    parses_.resize(members_.size());
    for (size_t m = 0; m < members_.size(); ++m) {
      if (!members_[m]->parse(rows_, parses_[m]) || parses_[m].size() != rows_.size()) return false;
      decodeMarkedArcs(parses_[m], 3);
    }
    arcs_ = voteTree(parses_, weights_);
    return true;
  }

  // Fills the columns of the steps; false when the parser could not run.
  bool analyse(conllu::Sentence& s) {
    const size_t n = s.words.size();
    if (n == 0) return true;
    if (labeler_) {
      rows_.assign(n, std::vector<std::string>(1));
      for (size_t i = 0; i < n; ++i) rows_[i][0] = s.words[i].cols[conllu::kForm];
      tags_.clear();
      labeler_->label(rows_, tags_);
      for (size_t i = 0; i < n; ++i) {
        std::vector<std::string>& c = s.words[i].cols;
        c[conllu::kXpos] = i < tags_.size() && !tags_[i].empty() ? tags_[i] : "_";
        c[conllu::kLemma] = a_.lemmatizer_.lemma(c[conllu::kForm], c[conllu::kXpos]);
        c[conllu::kUpos] = a_.lemmatizer_.upos(c[conllu::kForm], c[conllu::kXpos]);
      }
    }
    if (a_.options_.parse) {
      rows_.assign(n, std::vector<std::string>());
      for (size_t i = 0; i < n; ++i) {
        const std::vector<std::string>& c = s.words[i].cols;
        rows_[i] = {c[conllu::kId], c[conllu::kForm], c[conllu::kLemma], c[conllu::kUpos], c[conllu::kXpos],
                    c[conllu::kForm], c[conllu::kLemma], c[conllu::kXpos], "0", "_", "_"};
      }
      if (!parse() || arcs_.size() != n) return false;
      for (size_t i = 0; i < n; ++i) {
        std::vector<std::string>& c = s.words[i].cols;
        const int head = arcs_[i].head;
        c[conllu::kHead] = std::to_string(head < 0 || head >= static_cast<int>(n) ? 0 : head + 1);
        c[conllu::kDeprel] = head < 0 || arcs_[i].dprel == "ROOT" ? "root" : arcs_[i].dprel;
        c[conllu::kDeps] = "_";
      }
    }
    return true;
  }

 private:
  const Annotator& a_;
  std::unique_ptr<FastLabeler> labeler_;
  SentenceParser parser_;
  std::vector<std::unique_ptr<SentenceParser>> members_;
  std::vector<double> weights_;
  std::vector<std::vector<_dppair>> parses_;
  TokenTable rows_;
  std::vector<std::string> tags_;
  std::vector<_dppair> arcs_;
};

Annotator::Annotator() = default;
Annotator::~Annotator() = default;

bool Annotator::load(const ModelFiles& files, const Options& options, std::string& error) {
  files_ = files;
  options_ = options;
  if (options.input == InputKind::kRaw && !lists_.load(files.tokenLists, error)) return false;
  if (options.tag) {
    if (!lemmatizer_.load(files.lemmas, error)) return false;
    ME_Model model;
    if (!model.load_from_fileV2(files.taggerModel)) {
      error = "Error: tagging model " + files.taggerModel + " does not load";
      return false;
    }
    if (model.num_classes() == 0) {
      error = "Error: tagging model " + files.taggerModel + " has no labels";
      return false;
    }
    std::FILE* dict = std::fopen(files.taggerDict.c_str(), "rb");
    if (!dict) {
      error = "Error: cannot open tag dictionary " + files.taggerDict;
      return false;
    }
    std::fclose(dict);
    CMiniStringBag wordBag;
    std::vector<CMiniStringBag> wordTagBags, legal;
    std::string dictPath = files.taggerDict;
    LoadCliqueLabelDict(&dictPath[0], wordBag, wordTagBags);
    std::vector<std::string> tagList;
    for (int i = 0; i < model.num_classes(); ++i) tagList.push_back(model.get_class_label(i));
    std::vector<_ftnind> templates;
    std::vector<int> order;
    int labelOrder = 0;
    if (files.taggerTemplate.empty()) {
      getTemplateEnglishPoS(templates, order, labelOrder);
    } else if (!loadTemplateSet(files.taggerTemplate, templates, order, labelOrder, 2)) {
      error = "Error: template file " + files.taggerTemplate + " cannot be used for tagging";
      return false;
    } else if (!loadTemplateLexicons(templates, files.taggerTemplate)) {
      // A lexicon of the template set is missing; the loader said which.
      error = "Error: template file " + files.taggerTemplate + " needs a lexicon that cannot be read";
      return false;
    }
    labeler_.reset(new FastLabeler(model, templates, order, labelOrder, tagList, wordBag, wordTagBags, legal));
    if (!labeler_->supported()) {
      labeler_.reset();
      error = "Error: tagging model " + files.taggerModel + " is too large to tag with";
      return false;
    }
  }
  if (options.parse) {
    spare_ = worker(error);  // checks the parser's files once, up front
    if (!spare_) return false;
  }
  roles_.reset();
  if (options.roles) {
    roles::Driver driver;
    if (!roles::driverByName(files.roleDriver, driver) || !roles::findsPredicates(driver)) {
      error = "Error: the role model's driver '" + files.roleDriver + "' does not find predicates (allpair or xueext)";
      return false;
    }
    roles_.reset(new roles::RoleLabeller);
    roles::LabellerFiles rf;
    rf.model = files.roleModel;
    rf.templ = files.roleTemplate;
    rf.propbank = files.rolePropbank;
    rf.nombank = files.roleNombank;
    if (!roles_->load(rf, driver, error)) {
      if (error.empty()) error = "Error: the role model " + files.roleModel + " does not load";
      roles_.reset();
      return false;
    }
  }
  return true;
}

std::unique_ptr<Annotator::Worker> Annotator::worker(std::string& error) const {
  std::unique_ptr<Worker> w(new Worker(*this));
  if (!w->init(error)) return nullptr;
  return w;
}

namespace {

// One unit of input and, once annotated, its sentences.
struct Unit {
  long line = 0;  // first line of the unit
  std::string text;
  conllu::Sentence sentence;
  std::vector<conllu::Sentence> sentences;
  std::string message;  // warning or error, printed in order by the writer
  bool failed = false;
};

struct Batch {
  long number = 0;
  std::vector<Unit> units;
};

// Reader -> workers -> writer with at most `limit` batches alive, written in
// the order they were read.
class OrderedBatches {
 public:
  explicit OrderedBatches(int limit) : limit_(limit) {}
  bool admit() {
    std::unique_lock<std::mutex> lock(m_);
    space_.wait(lock, [&] { return alive_ < limit_ || stopped_; });
    if (stopped_) return false;
    ++alive_;
    return true;
  }
  void submit(Batch&& b) {
    std::lock_guard<std::mutex> lock(m_);
    ++submitted_;
    todo_.push_back(std::move(b));
    work_.notify_one();
    done_.notify_all();
  }
  void release() {  // an admitted batch that was never submitted
    std::lock_guard<std::mutex> lock(m_);
    --alive_;
    space_.notify_one();
  }
  void endOfInput() {
    std::lock_guard<std::mutex> lock(m_);
    ended_ = true;
    work_.notify_all();
    done_.notify_all();
  }
  bool take(Batch& b) {
    std::unique_lock<std::mutex> lock(m_);
    work_.wait(lock, [&] { return !todo_.empty() || ended_ || stopped_; });
    if (todo_.empty() || stopped_) return false;
    b = std::move(todo_.front());
    todo_.pop_front();
    return true;
  }
  void finish(Batch&& b) {
    std::lock_guard<std::mutex> lock(m_);
    const long number = b.number;
    finished_.emplace(number, std::move(b));
    done_.notify_all();
  }
  // The next batch in input order; false when there is none and will be none.
  bool next(long number, Batch& b) {
    std::unique_lock<std::mutex> lock(m_);
    done_.wait(lock, [&] { return finished_.count(number) || (ended_ && number >= submitted_) || stopped_; });
    auto it = finished_.find(number);
    if (it == finished_.end()) return false;
    b = std::move(it->second);
    finished_.erase(it);
    --alive_;
    space_.notify_one();
    return true;
  }
  void stop() {
    std::lock_guard<std::mutex> lock(m_);
    stopped_ = true;
    space_.notify_all();
    work_.notify_all();
    done_.notify_all();
  }

 private:
  const int limit_;
  std::mutex m_;
  std::condition_variable space_, work_, done_;
  int alive_ = 0;
  long submitted_ = 0;
  bool ended_ = false, stopped_ = false;
  std::deque<Batch> todo_;
  std::map<long, Batch> finished_;
};

// Reads one line up to '\n' (not stored), keeping at most cap + 1 bytes of
// it; `length` receives its whole length. False at the end of the input.
// Only the reading thread calls it.
bool readCappedLine(std::FILE* in, std::string& line, size_t cap, size_t& length) {
  line.clear();
  length = 0;
  bool any = false;
  int c;
  while ((c = getc_unlocked(in)) != EOF) {
    any = true;
    if (c == '\n') return true;
    if (length++ <= cap) line.push_back(static_cast<char>(c));
  }
  return any;
}

}  // namespace

int Annotator::run(std::FILE* in, const std::string& inName, std::FILE* out, const std::string& outName) const {
  const Options& o = options_;
  const int threads = o.threads < 1 ? 1 : o.threads;
  std::string error;
  std::vector<std::unique_ptr<Worker>> workers;
  for (int i = 0; i < threads; ++i) {
    workers.push_back(spare_ ? std::move(spare_) : worker(error));
    if (!workers.back()) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return -1;
    }
  }

  std::atomic<long> skipped{0};
  long units = 0;
  bool readFailed = false, writeFailed = false;
  long sentences = 0, tokens = 0;
  auto work = [&](Worker& w, Unit& u) {
    if (o.input == InputKind::kRaw) {
      sentencesOfText(lists_, u.text, o.lines == RawLines::kSentences, u.sentences);
    } else if (o.input == InputKind::kTokens) {
      sentenceOfTokens(u.text, u.sentences);
    } else {
      u.sentences.push_back(std::move(u.sentence));
    }
    if (o.input != InputKind::kConllu) {
      const size_t cut = cutLongSentences(u.sentences, 0);
      if (cut) {
        for (conllu::Sentence& s : u.sentences) setTextComment(s);
        u.message = "Warning: " + inName + " line " + std::to_string(u.line) + ": a sentence of " +
                    std::to_string(cut) + " tokens was cut into sentences of at most " +
                    std::to_string(kMaxSentenceTokens) + " tokens";
      }
    }
    for (conllu::Sentence& s : u.sentences) {
      if (!w.analyse(s)) {
        u.failed = true;
        u.message = "Error: " + inName + " line " + std::to_string(u.line) +
                    ": the parser could not read the sentence's columns; sentence skipped";
      }
    }
  };
  std::string buffer;
  auto write = [&](Unit& u) {
    if (!u.message.empty()) std::fprintf(stderr, "%s\n", u.message.c_str());
    if (u.failed) {
      ++skipped;
      return;
    }
    buffer.clear();
    for (size_t k = 0; k < u.sentences.size(); ++k) {
      conllu::Sentence& s = u.sentences[k];
      if (roles_) {
        if (s.firstLine == 0) s.firstLine = u.line;
        std::string why;
        if (!roles_->label(s, inName, why)) {
          // The sentence is written without roles, and the run reports it.
          std::fprintf(stderr, "%s; sentence written without roles\n", why.c_str());
          ++skipped;
        }
        // Sentences without predicates keep the sense column's place.
        for (conllu::Word& w : s.words)
          if (w.cols.size() == conllu::kColumns) w.cols.push_back("_");
      }
      ++sentences;
      tokens += static_cast<long>(s.words.size());
      if (o.input != InputKind::kConllu) {
        std::vector<std::string> comments;
        if (k == 0 && o.input == InputKind::kRaw && o.lines != RawLines::kSentences) comments.push_back("# newpar");
        comments.push_back("# sent_id = " + std::to_string(sentences));
        comments.insert(comments.end(), s.comments.begin(), s.comments.end());
        s.comments.swap(comments);
      }
      conllu::write(s, buffer);
    }
    if (!writeFailed && !buffer.empty() && std::fwrite(buffer.data(), 1, buffer.size(), out) != buffer.size())
      writeFailed = true;
    if (o.progress && ++units % 2000 == 0) std::fprintf(stderr, "#sentences=%ld\r", sentences);
  };

  // Reads the next unit; false at the end of the input.
  long lineNumber = 0;
  std::unique_ptr<conllu::Reader> reader;
  if (o.input == InputKind::kConllu) reader.reset(new conllu::Reader(in, inName));
  std::string line;
  auto checkLine = [&](std::string& text, size_t length) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (lineNumber == 1 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    std::string fault;
    size_t bad = 0;
    if (length > kMaxLineBytes) {
      fault = "a line of " + std::to_string(length) + " bytes is longer than the " + std::to_string(kMaxLineBytes) +
              " bytes a line may have";
    } else if (text.find('\0') != std::string::npos) {
      fault = "NUL byte in the line";
    } else if (!isValidUtf8(text, &bad)) {
      fault = "invalid UTF-8 at byte " + std::to_string(bad + 1);
    }
    if (fault.empty()) return true;
    std::fprintf(stderr, "Error: %s line %ld: %s; line skipped\n", inName.c_str(), lineNumber, fault.c_str());
    ++skipped;
    return false;
  };
  auto blank = [](const std::string& s) { return s.find_first_not_of(" \t") == std::string::npos; };
  auto readUnit = [&](Unit& u) -> bool {
    u = Unit();
    if (reader) {
      for (;;) {
        const conllu::ReadStatus st = reader->next(u.sentence);
        if (st == conllu::ReadStatus::kSentence) {
          u.line = u.sentence.firstLine;
          if (u.sentence.words.empty()) continue;  // comments only
          return true;
        }
        if (st == conllu::ReadStatus::kEnd) return false;
        std::fprintf(stderr, "%s; sentence skipped\n", reader->error().c_str());
        if (st == conllu::ReadStatus::kFailed) {
          readFailed = true;
          return false;
        }
        ++skipped;
      }
    }
    size_t length = 0;
    bool any = false;
    while (readCappedLine(in, line, kMaxLineBytes, length)) {
      ++lineNumber;
      if (!checkLine(line, length)) continue;
      if (blank(line)) {
        if (any) return true;  // a wrapped paragraph ends at an empty line
        continue;
      }
      if (!any) u.line = lineNumber;
      if (o.input == InputKind::kRaw && o.lines == RawLines::kWrapped) {
        if (any) u.text += '\n';
        u.text += line;
        any = true;
        continue;
      }
      u.text.swap(line);
      return true;
    }
    if (std::ferror(in)) readFailed = true;
    return any;
  };

  long unitsRead = 0;
  if (threads == 1) {
    Unit u;
    while (!writeFailed && readUnit(u)) {
      ++unitsRead;
      work(*workers[0], u);
      write(u);
    }
  } else {
    OrderedBatches batches(threads * kBatchesPerThread);
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i) {
      pool.emplace_back([&, i] {
        Batch b;
        while (batches.take(b)) {
          for (Unit& u : b.units) work(*workers[static_cast<size_t>(i)], u);
          batches.finish(std::move(b));
        }
      });
    }
    std::thread writer([&] {
      Batch b;
      for (long number = 0; batches.next(number, b); ++number) {
        for (Unit& u : b.units) write(u);
        if (writeFailed) {
          batches.stop();
          break;
        }
      }
    });
    for (long number = 0;; ++number) {
      if (!batches.admit()) break;
      Batch b;
      b.number = number;
      Unit u;
      while (b.units.size() < kUnitsPerBatch && readUnit(u)) b.units.push_back(std::move(u));
      if (b.units.empty()) {
        batches.release();
        break;
      }
      unitsRead += static_cast<long>(b.units.size());
      batches.submit(std::move(b));
    }
    batches.endOfInput();
    writer.join();
    batches.stop();
    for (std::thread& t : pool) t.join();
  }

  if (!writeFailed && std::fflush(out) != 0) writeFailed = true;
  if (o.progress) std::fprintf(stderr, "#sentences=%ld #tokens=%ld\n", sentences, tokens);
  if (readFailed) {
    std::fprintf(stderr, "Error: cannot read %s: %s\n", inName.c_str(), std::strerror(errno ? errno : EIO));
    return -1;
  }
  if (writeFailed) {
    std::fprintf(stderr, "Error: cannot write %s\n", outName.c_str());
    return -1;
  }
  if (unitsRead == 0 && skipped == 0) {
    std::fprintf(stderr, "Error: %s holds no text to annotate\n", inName.c_str());
    return 1;
  }
  return skipped ? 1 : 0;
}

}  // namespace annotate
