// Where a writer puts a file that it replaces by renaming a finished
// temporary file onto it, so that readers never see half a file and a
// failure leaves the old file as it was.
#ifndef KORVANE_TEXT_FILE_REPLACE_H
#define KORVANE_TEXT_FILE_REPLACE_H

#include <string>

struct ReplacementTarget {
  // The file that receives the bytes: `path` itself, or the file a chain of
  // symbolic links starting at `path` ends at (which may not exist yet).
  std::string path;
  // True when that file exists and is not a regular file (a device, a pipe,
  // a socket): it must be written in place, never replaced by renaming.
  bool direct = false;
};

ReplacementTarget replacementTarget(const std::string& path);

// Creates an empty temporary file beside `target` ("<target>.tmp.XXXXXX")
// with the permissions the finished file should get (those of the file it
// replaces, else 0666 less the umask). Returns the open descriptor and sets
// tempPath; -1 with errno set when the folder does not allow it.
int createTempBeside(const std::string& target, std::string& tempPath);

// Writes `bytes` as the whole content of `path` the safe way above: a regular
// file (through its links) is replaced by renaming a finished temporary file
// onto it, a device or pipe is written in place. False with `error` set
// ("Error: ...") when it could not be done; a replaced file then stays as it was.
bool writeWholeFile(const std::string& path, const std::string& bytes, std::string& error);

#endif
