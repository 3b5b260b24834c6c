// The output guard every korvane-kit command passes its files through before
// it does any work: no command may overwrite a file it reads, start a long
// job towards a folder it cannot write, or leave a half-written file that
// looks finished.
//
//   FileGuard files;
//   InputFile& in = files.reads(inputName);       // "-": standard input
//   files.reads(modelName);                       // models, templates, dictionaries too
//   OutputFile& out = files.writes(outputName);   // "-": standard output
//   if (!files.check()) return 1;                 // message printed
//   ... the library reads in.path() and writes out.path() ...
//   return out.commit() ? 0 : 1;                  // only after success
//
// check() refuses (with "Error: ..." on stderr): an input that is missing,
// unreadable or a directory, or (readsText) not text; an output that is the same file as an input
// (device and inode, links followed: "Error: output file X is the same file
// as Y; refusing to overwrite it."), two outputs that are one file, an output
// that is a directory, and an output whose folder does not exist or cannot
// be written.
//
// How an output is written: a regular file, or a path that does not exist
// yet, gets a temporary file beside it that commit() renames onto it (through
// a symbolic link: onto the file the link names, the link stays); a device or
// pipe is written directly; "-" goes to a temporary file that commit() copies
// to standard output, so a failed run writes nothing there. An output not
// committed is removed when the guard goes (a direct one stays as written).
#ifndef KORVANE_APP_FILE_GUARD_H
#define KORVANE_APP_FILE_GUARD_H

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// A command that reports on standard output ends with this: the report
// must have got there (a full disk, a closed pipe). False after
// "Error: write to standard output failed."
bool stdoutWritten();

class InputFile {
 public:
  const std::string& name() const { return name_; }  // as given
  bool isStdin() const { return name_ == "-"; }
  // The path a library function opens: the file itself, or, for "-", a copy
  // of standard input made by check() (unless the input was declared a stream).
  char* path() { return &path_[0]; }

 private:
  friend class FileGuard;
  std::string name_, path_;
  bool stream_ = false;
  bool text_ = false;
  bool spooled_ = false;
};

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  const std::string& name() const { return name_; }  // as given
  bool isStdout() const { return name_ == "-"; }
  // Where the library writes (valid after check()).
  char* path() { return &path_[0]; }
  // Puts the written file in place. False after an "Error: ..." message.
  bool commit();
  // Forgets the temporary file without putting it in place.
  void discard();

 private:
  friend class FileGuard;
  std::string name_;    // as given
  std::string target_;  // the file that receives the bytes (links followed)
  std::string path_;    // where the library writes
  bool direct_ = false;
  bool temporary_ = false;  // path_ is ours to rename or remove
  bool stream_ = false;
};

class FileGuard {
 public:
  FileGuard() = default;
  FileGuard(const FileGuard&) = delete;
  FileGuard& operator=(const FileGuard&) = delete;
  ~FileGuard();

  // Registers a file the command reads. An empty name or "NULL" stands for
  // no file and is not checked.
  InputFile& reads(const std::string& name);
  // The same, for an input read as a stream: "-" stays standard input.
  InputFile& readsStream(const std::string& name);
  // The same, for a model, dictionary or template file: check() also refuses
  // one that is not text (a NUL or other control byte), naming the line.
  InputFile& readsText(const std::string& name);
  OutputFile& writes(const std::string& name);
  // The same, for an output written as a stream: "-" stays standard output.
  OutputFile& writesStream(const std::string& name);

  // Checks everything registered and prepares the outputs. False after an
  // "Error: ..." message; nothing has been written then.
  bool check();

 private:
  std::vector<std::unique_ptr<InputFile>> inputs_;
  std::vector<std::unique_ptr<OutputFile>> outputs_;
};

#endif
