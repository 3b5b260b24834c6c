#include "app/file_guard.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/commands/commands.h"
#include "test_files.h"

namespace {

std::string tempPath(const std::string& name) { return testing::TempDir() + "guard_" + name; }

bool isLink(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// What check() says about one input and one output.
std::string checkOne(const std::string& input, const std::string& output) {
  FileGuard files;
  files.reads(input);
  files.writes(output);
  testing::internal::CaptureStderr();
  const bool ok = files.check();
  const std::string err = testing::internal::GetCapturedStderr();
  return ok ? "ok" : err;
}

TEST(FileGuard, RefusesAnOutputThatIsAnInput) {
  const std::string in = tempPath("in.txt"), link = tempPath("in.link"), hard = tempPath("in.hard");
  writeFile(in, "input\n");
  std::remove(link.c_str());
  std::remove(hard.c_str());
  ASSERT_EQ(::symlink(in.c_str(), link.c_str()), 0);
  ASSERT_EQ(::link(in.c_str(), hard.c_str()), 0);
  const std::string dir = testing::TempDir();
  const std::string respelled = dir + "./" + in.substr(dir.size());
  for (const std::string& out : {in, link, hard, respelled}) {
    EXPECT_EQ(checkOne(in, out),
              "Error: output file " + out + " is the same file as " + in + "; refusing to overwrite it.\n");
  }
  EXPECT_EQ(readFile(in), "input\n");
  EXPECT_TRUE(isLink(link));
}

TEST(FileGuard, RefusesBadInputsAndOutputs) {
  const std::string in = tempPath("in2.txt"), folder = tempPath("folder"), missing = tempPath("missing.txt");
  writeFile(in, "x\n");
  ::mkdir(folder.c_str(), 0755);
  std::remove(missing.c_str());
  EXPECT_EQ(checkOne(folder, tempPath("o1")), "Error: " + folder + " is a directory, not a file.\n");
  EXPECT_EQ(checkOne(missing, tempPath("o1")), "Error: cannot read " + missing + ": No such file or directory.\n");
  EXPECT_EQ(checkOne(in, folder), "Error: output " + folder + " is a directory.\n");
  EXPECT_EQ(checkOne(in, tempPath("nowhere/o")),
            "Error: cannot write " + tempPath("nowhere/o") + ": the folder " + tempPath("nowhere") +
                " does not exist.\n");
  FileGuard twice;
  twice.reads(in);
  twice.writes(tempPath("same.out"));
  twice.writes(tempPath("same.out"));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(twice.check());
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: output files " + tempPath("same.out") + " and " + tempPath("same.out") + " are the same file.\n");
  EXPECT_FALSE(exists(tempPath("o1")));
}

// A regular output is written aside and renamed on commit; through a link
// the file it names is replaced and the link stays; without commit the old
// file stays and nothing is left behind.
TEST(FileGuard, ReplacesOnlyOnCommit) {
  const std::string in = tempPath("in3.txt"), out = tempPath("out3.txt"), target = tempPath("target3.txt"),
                    link = tempPath("link3.txt");
  writeFile(in, "x\n");
  writeFile(out, "old\n");
  writeFile(target, "old target\n");
  std::remove(link.c_str());
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  {
    FileGuard files;
    files.reads(in);
    OutputFile& o = files.writes(out);
    ASSERT_TRUE(files.check());
    EXPECT_NE(std::string(o.path()), out);
    writeFile(o.path(), "half");
  }
  EXPECT_EQ(readFile(out), "old\n");
  for (const std::string& name : {out, link}) {
    FileGuard files;
    files.reads(in);
    OutputFile& o = files.writes(name);
    ASSERT_TRUE(files.check());
    writeFile(o.path(), "new\n");
    EXPECT_TRUE(o.commit());
  }
  EXPECT_EQ(readFile(out), "new\n");
  EXPECT_TRUE(isLink(link));
  EXPECT_EQ(readFile(target), "new\n");
}

TEST(FileGuard, DevicesAreWrittenDirectly) {
  FileGuard files;
  OutputFile& o = files.writes("/dev/null");
  ASSERT_TRUE(files.check());
  EXPECT_EQ(std::string(o.path()), "/dev/null");
  EXPECT_TRUE(o.commit());
  struct stat st;
  ASSERT_EQ(::stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}

// ---- every command through the real program ----

const std::string kKit = std::string(KORVANE_BINARY_DIR) + "/src/app/korvane-kit";
const std::string kSource = std::string(KORVANE_SOURCE_DIR) + "/";
const std::string kRoles = kSource + "tests/roles/fixtures/roles.conllu";

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

struct ShellRun {
  int status = -1;
  std::string out, err;
};

// Runs a shell command line; its stdout and stderr are captured.
ShellRun shell(const std::string& line) {
  const std::string out = tempPath("run.out"), err = tempPath("run.err");
  const int raw = std::system(("(" + line + ") >" + quote(out) + " 2>" + quote(err)).c_str());
  ShellRun r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = readFile(out);
  r.err = readFile(err);
  return r;
}

std::string row(int id, const char* form, const char* tag, int head, const char* relation) {
  return std::to_string(id) + "\t" + form + "\t" + form + "\t" + tag + "\t" + tag + "\t" + form + "\t" + form + "\t" +
         tag + "\t" + std::to_string(head) + "\t" + relation + "\t_\n";
}

struct KitCase {
  const char* name;
  // The command line with {in} for the input and {out} for the output ("" when
  // the command writes only to standard output).
  std::string line;
};

class GuardTable : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string tagged, treebank;
    for (int i = 0; i < 4; ++i) tagged += "we\tPRP\nrun\tVBP\n.\t.\n\nthe\tDT\nrun\tNN\n.\t.\n\n";
    writeFile(tempPath("tagged.tsv"), tagged);
    for (int i = 0; i < 3; ++i)
      treebank += row(1, "the", "DT", 2, "det") + row(2, "dog", "NN", 3, "nsubj") + row(3, "barks", "VBZ", 0, "root") +
                  "\n";
    writeFile(tempPath("tree.conll"), treebank);
    writeFile(tempPath("parser.template"), "U01:%s0[0,1]\nU02:%x[0,1]\n");
    writeFile(tempPath("old.model"), "NN U01:a 0.5\n");
    writeFile(tempPath("text.txt"), "The cat sat\n");
    writeFile(tempPath("gold.conllu"),
              "1\tThe\tthe\tDET\tDT\t_\t2\tdet\t_\t_\n2\tdog\tdog\tNOUN\tNN\t_\t0\troot\t_\t_\n\n");
    writeFile(tempPath("sense.in"), "1 John x x x x John NNP __ 2 A0 0 _\n2 gave x x x x give VBD give 0 _ 0 _\n\n");
    writeFile(tempPath("srl.in"),
              "1 the the DT DT the the DT 2 NMOD _ _\n2 man man NN NN man man NN 0 ROOT give _\n\n");
    ::mkdir(tempPath("dir").c_str(), 0755);
    ShellRun r = shell(kKit + " train-parser -q -c 1 -i 5 -j 1 -t " + tempPath("parser.template") + " " +
                       tempPath("tree.conll") + " " + tempPath("parser.model"));
    ASSERT_EQ(r.status, 0) << r.err;
    r = shell(kKit + " train-srl -q -c 1 -i 5 -j 1 -t " + kSource + "models/srl.template " + kRoles + " " +
              tempPath("srl.model"));
    ASSERT_EQ(r.status, 0) << r.err;
  }

  static std::vector<KitCase> cases() {
    const std::string fixtures = std::string(KORVANE_SOURCE_DIR) + "/tests/";
    const std::string tagging = " -m " + fixtures + "app/fixtures/english.model -D " + fixtures +
                                "app/fixtures/english.dict ";
    const std::string parser = " -m " + tempPath("parser.model") + " -t " + tempPath("parser.template") + " ";
    const std::string srl = " --driver multi -m " + fixtures + "roles/fixtures/args.model -t " + fixtures +
                            "roles/fixtures/args.tmpl ";
    const std::string roles = " -q -m " + tempPath("srl.model") + " -t " + kSource + "models/srl.template ";
    return {
        {"train", "train -q -i 3 {in} {out}"},
        {"evaluate", "evaluate" + tagging + "{in}"},
        {"tag", "tag -j 1" + tagging + "-o {out} {in}"},
        {"build-dict", "build-dict {in} {out}"},
        {"build-legal", "build-legal {in} {out}"},
        {"parse", "parse" + parser + "{in} {out}"},
        {"train-parser", "train-parser -q -c 1 -i 3 -j 1 -t " + tempPath("parser.template") + " {in} {out}"},
        {"evaluate-parser", "evaluate-parser" + parser + "-o {out} {in}"},
        {"projectivize", "projectivize {in} {out}"},
        {"deprojectivize", "deprojectivize {in} {out}"},
        {"srl", "srl" + srl + "{in} {out}"},
        {"sense", "sense {in} {out}"},
        {"update-model", "update-model {in} {out}"},
        {"annotate", "annotate -q --steps tag -o {out} {in}"},
        {"build-tokenizer", "build-tokenizer -q {in} {out}"},
        {"build-lemmatizer", "build-lemmatizer -q {in} {out}"},
        {"evaluate-conllu", "evaluate-conllu {in} " + tempPath("gold.conllu")},
        {"build-bank", "build-bank -q {in} {out} " + tempPath("nombank.out")},
        {"train-srl", "train-srl -q -c 1 -i 3 -j 1 -t " + kSource + "models/srl.template {in} {out}"},
        {"label-roles", "label-roles" + roles + "{in} {out}"},
        {"evaluate-srl", "evaluate-srl" + roles + "-o {out} {in}"},
    };
  }

  static std::string inputOf(const std::string& name) {
    if (name == "train" || name == "evaluate" || name == "build-dict" || name == "build-legal")
      return tempPath("tagged.tsv");
    if (name == "tag" || name == "annotate") return tempPath("text.txt");
    if (name == "evaluate-conllu") return tempPath("gold.conllu");
    if (name == "build-bank" || name == "train-srl" || name == "label-roles" || name == "evaluate-srl") {
      // A copy: the guard's refusals are checked against it.
      const std::string copy = tempPath("roles.conllu");
      if (readFile(copy).empty()) writeFile(copy, readFile(kRoles));
      return copy;
    }
    if (name == "srl") return tempPath("srl.in");
    if (name == "sense") return tempPath("sense.in");
    if (name == "update-model") return tempPath("old.model");
    return tempPath("tree.conll");
  }

  static std::string fill(std::string line, const std::string& in, const std::string& out) {
    for (const auto& p : {std::make_pair(std::string("{in}"), in), std::make_pair(std::string("{out}"), out)}) {
      const size_t at = line.find(p.first);
      if (at != std::string::npos) line.replace(at, p.first.size(), p.second.empty() ? "" : quote(p.second));
    }
    return kKit + " " + line;
  }
};

// For every command: the output named as its input, directly or through a
// link, is refused and the input stays; a directory as input is refused;
// /dev/full fails; a pipe and a link to a new file receive the output.
TEST_F(GuardTable, EveryCommand) {
  // A device that fails every write: /dev/full itself, or as root a node of
  // our own, so that a faulty rename could not replace the system's.
  std::string full = "/dev/full";
  if (::geteuid() == 0) {
    full = tempPath("full");
    std::remove(full.c_str());
    ASSERT_EQ(::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
  }
  // Every command of the program has a row.
  std::vector<std::string> named;
  for (const KitCase& c : cases()) named.push_back(c.name);
  for (const KitCommand& k : kitCommands())
    EXPECT_NE(std::find(named.begin(), named.end(), k.name), named.end()) << k.name << " has no row";
  for (const KitCase& c : cases()) {
    SCOPED_TRACE(c.name);
    const std::string in = inputOf(c.name), before = readFile(in);
    const bool writesFile = c.line.find("{out}") != std::string::npos;
    const std::string link = tempPath(std::string(c.name) + ".link");
    std::remove(link.c_str());
    ASSERT_EQ(::symlink(in.c_str(), link.c_str()), 0);

    if (writesFile) {
      for (const std::string& out : {in, link}) {
        const ShellRun r = shell(fill(c.line, in, out));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "Error: output file " + out + " is the same file as " + in + "; refusing to overwrite it.\n");
        EXPECT_EQ(readFile(in), before);
      }
      EXPECT_TRUE(isLink(link));

      // A link to a file not there yet: the file is written, the link stays.
      const std::string target = tempPath(std::string(c.name) + ".target");
      std::remove(target.c_str());
      std::remove(link.c_str());
      ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
      ShellRun r = shell(fill(c.line, in, link));
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_TRUE(isLink(link));
      EXPECT_FALSE(readFile(target).empty());

      r = shell(fill(c.line, in, full));
      EXPECT_EQ(r.status, 1);
      EXPECT_NE(r.err.find("Error: "), std::string::npos) << r.err;
      struct stat st;
      EXPECT_TRUE(::stat(full.c_str(), &st) == 0 && S_ISCHR(st.st_mode));

      const std::string fifo = tempPath("fifo"), got = tempPath("fifo.got");
      std::remove(fifo.c_str());
      ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
      // The reader gives up when the command never opens the pipe.
      r = shell("timeout 60 cat " + quote(fifo) + " > " + quote(got) + " & " + fill(c.line, in, fifo) +
                "; s=$?; [ $s -ne 0 ] && exec 3>" + quote(fifo) + "; wait; exit $s");
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_FALSE(readFile(got).empty());
      EXPECT_EQ(readFile(got), readFile(target));
    } else {
      const ShellRun r = shell(fill(c.line, in, "") + " > " + quote(full));
      EXPECT_EQ(r.status, 1);
      EXPECT_NE(r.err.find("Error: write to standard output failed"), std::string::npos) << r.err;
    }
    const ShellRun r = shell(fill(c.line, tempPath("dir"), tempPath(std::string(c.name) + ".out")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: " + tempPath("dir") + " is a directory, not a file.\n");
  }
}

// Wherever it is run from, the toolkit takes its models from beside the
// program first (an installed copy: bin/korvane-kit with share/korvane/models).
TEST(ShippedModels, FoundBesideTheProgram) {
  const std::string root = tempPath("install"), bin = root + "/bin", models = root + "/share/korvane/models";
  ASSERT_EQ(shell("mkdir -p " + quote(bin) + " " + quote(models) + " && cp " + quote(kKit) + " " + quote(bin) +
                  " && cp " + quote(kSource + "tests/app/fixtures/english.model") + " " +
                  quote(kSource + "tests/app/fixtures/english.dict") + " " + quote(models))
                .status,
            0);
  writeFile(models + "/english.manifest", "kind = tagger\nlanguage = english\ndictionary = english.dict\n");
  writeFile(tempPath("gold3.tsv"), "The\tDT\ncat\tNN\nsat\tVB\n\n");
  const ShellRun r = shell("cd / && unset KORVANE_MODELS && " + quote(bin + "/korvane-kit") + " evaluate -v " +
                           quote(tempPath("gold3.tsv")));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("model " + bin + "/../share/korvane/models/english.model, dictionary " + bin +
                       "/../share/korvane/models/english.dict"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.out.rfind("tokens 3  accuracy 100.00%", 0), 0u) << r.out;
}

}  // namespace
