// Program options: values from an argument vector, a single line or a
// configuration file, stored as text and converted when read.
#ifndef KORVANE_OPTIONS_PARAM_H
#define KORVANE_OPTIONS_PARAM_H

#include <cstdio>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace CRFPP {

// One row of an option table; a table ends with a row whose name is null.
struct Option {
  const char* name;             // long name, after "--" and as configuration key
  char short_name;              // after "-"
  const char* default_value;    // null: no default
  const char* arg_description;  // null: a flag; else names the value in the help
  const char* description;
};

// Owner of one heap object.
template <class T>
class scoped_ptr {
 public:
  explicit scoped_ptr(T* p = nullptr) : ptr_(p) {}
  virtual ~scoped_ptr() { delete ptr_; }
  scoped_ptr(const scoped_ptr&) = delete;
  scoped_ptr& operator=(const scoped_ptr&) = delete;
  void reset(T* p = nullptr) {
    if (p != ptr_) {
      delete ptr_;
      ptr_ = p;
    }
  }
  T& operator*() const { return *ptr_; }
  T* operator->() const { return ptr_; }
  T* get() const { return ptr_; }

 private:
  T* ptr_;
};

// Writes arg into a string stream and reads a Target back; the whole text
// must be consumed (trailing white space allowed), else Target's default.
// A bool is read in integer form, so only 0 and 1 convert.
template <class Target, class Source>
Target lexical_cast(Source arg) {
  std::stringstream interpreter;
  Target result;
  if (!(interpreter << arg) || !(interpreter >> result)) {
    scoped_ptr<Target> r(new Target());
    return *r;
  }
  interpreter >> std::ws;
  if (!interpreter.eof()) {
    scoped_ptr<Target> r(new Target());
    return *r;
  }
  return result;
}

// Text stays text, white space included.
template <>
inline std::string lexical_cast<std::string, std::string>(std::string arg) {
  return arg;
}

// The program's two-line banner, each line ended by a line feed.
const char* programBanner();

// Builds the help text (banner, usage line, one aligned line per option)
// and the version text.
void init_param(std::string* help, std::string* version, const std::string& command,
                const Option* opts);

class Param {
 public:
  Param() = default;
  virtual ~Param() = default;
  Param(const Param&) = delete;
  Param& operator=(const Param&) = delete;

  // False at the first syntax error (message appended to the error text);
  // values stored before the error stay.
  bool open(int argc, const char* const* argv, const Option* opts);
  // Splits line at white space into words and parses them as the arguments
  // after a program name. Lines and word counts of any size are taken whole.
  bool open(const char* line, const Option* opts);
  // key = value lines; keys already present keep their values.
  bool load(const char* fileName);
  void clear();
  // Writes the help or version text to stdout and returns false when
  // "help" or "version" is set; else true.
  bool help_version() const;
  void dump_config(std::ostream* os) const;

  template <class T>
  void set(const char* key, const T& value, bool overwrite = true) {
    std::string k(key);
    if (!overwrite && config.find(k) != config.end()) return;
    config[k] = lexical_cast<std::string, T>(value);
  }

  template <class T>
  T get(const char* key) const {
    auto it = config.find(std::string(key));
    if (it == config.end()) {
      scoped_ptr<T> r(new T());
      return *r;
    }
    return lexical_cast<T, std::string>(it->second);
  }

  const std::vector<std::string>& rest_args() const { return rest; }
  const std::string& command_name() const { return commandName; }
  const std::string& help() const { return helpText; }
  const std::string& version() const { return versionText; }
  // Every parse and load error so far, in order; never emptied.
  std::string what() const { return errorText.str(); }

 private:
  std::map<std::string, std::string> config;
  std::vector<std::string> rest;
  std::string commandName;
  std::string helpText;
  std::string versionText;
  std::ostringstream errorText;
};

}  // namespace CRFPP

#endif
