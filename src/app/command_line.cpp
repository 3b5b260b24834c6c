#include "app/command_line.h"

#include "app/messages.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef KORVANE_VERSION
#define KORVANE_VERSION "0"
#endif

const char kKitProgram[] = "korvane-kit";

namespace {

const size_t kHelpColumn = 26;  // where option descriptions start
const size_t kHelpWidth = 79;
const size_t kCommonOptions = 5;  // added first by the constructor

// Short options retired because they meant different things in different
// commands; their users get a pointer to the new spellings.
struct Retired {
  const char* option;
  const char* hint;
};
const Retired kRetired[] = {
    {"-d", "the tag dictionary is -D/--dict; see also --driver, --direction and --heldout"},
    {"-P", "see --patience and --punct-column"},
};

std::string lowered(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return s;
}

std::string optionLabel(const OptionName& n) {
  std::string s = n.shortName != '\0' ? std::string("-") + n.shortName + ", " : std::string("    ");
  s += "--";
  s += n.longName;
  if (n.valueName != nullptr) {
    s += '=';
    s += n.valueName;
  }
  return s;
}

// "-m,--model,--alias" for CLI11.
std::string cliNames(const OptionName& n) {
  std::string s;
  if (n.shortName != '\0') s = std::string("-") + n.shortName + ",";
  s += std::string("--") + n.longName;
  if (n.aliases != nullptr) {
    std::string rest = n.aliases;
    size_t start = 0;
    while (start <= rest.size()) {
      size_t comma = rest.find(',', start);
      if (comma == std::string::npos) comma = rest.size();
      if (comma > start) s += ",--" + rest.substr(start, comma - start);
      start = comma + 1;
    }
  }
  return s;
}

// One help row: the label, then the description from kHelpColumn, wrapped.
void appendRow(std::string& out, const std::string& label, const std::string& text) {
  std::string line = "  " + label;
  if (line.size() + 2 > kHelpColumn) {
    out += line + "\n";
    line.clear();
  }
  line.resize(kHelpColumn, ' ');
  size_t start = 0;
  bool first = true;
  while (start < text.size()) {
    size_t room = kHelpWidth - kHelpColumn;
    size_t end = text.size();
    if (end - start > room) {
      end = text.rfind(' ', start + room);
      if (end == std::string::npos || end <= start) end = text.find(' ', start + room);
      if (end == std::string::npos) end = text.size();
    }
    if (!first) line.assign(kHelpColumn, ' ');
    line += text.substr(start, end - start);
    out += line + "\n";
    first = false;
    start = end;
    while (start < text.size() && text[start] == ' ') ++start;
  }
  if (first) out += line.substr(0, line.find_last_not_of(' ') + 1) + "\n";
}

std::string numberText(double v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%g", v);
  return buffer;
}

}  // namespace

std::string kitVersionLine(const std::string& command) {
  std::string s = kKitProgram;
  if (!command.empty()) s += " " + command;
  return s + " (korvane) " KORVANE_VERSION;
}

CommandLine::CommandLine(std::string command, std::string description)
    : command_(std::move(command)), description_(std::move(description)) {
  // Every command has these; the help lists them last.
  flag(kitopt::kQuiet, quiet_, "no progress line and no summary messages");
  flag(kitopt::kVerbose, verbose_, "more detail on standard error");
  flag(kitopt::kProgress, progress_, "a progress line on long jobs even when standard error is not a terminal");
  flag(kitopt::kHelp, help_, "show this help and exit");
  flag(kitopt::kVersion, version_, "show the version and exit");
}

CommandLine::Spec& CommandLine::add(const OptionName& name, Kind kind, std::string help, void* target) {
  Spec s;
  s.name = name;
  s.kind = kind;
  s.help = std::move(help);
  s.target = target;
  specs_.push_back(std::move(s));
  return specs_.back();
}

void CommandLine::option(const OptionName& name, std::string& value, std::string help, std::string shownDefault) {
  Spec& s = add(name, Kind::kText, std::move(help), &value);
  s.shownDefault = shownDefault.empty() ? value : shownDefault;
}

void CommandLine::option(const OptionName& name, int& value, std::string help, long lo, long hi) {
  Spec& s = add(name, Kind::kInt, std::move(help), &value);
  s.intLo = lo;
  s.intHi = hi;
  s.shownDefault = std::to_string(value);
}

void CommandLine::option(const OptionName& name, double& value, std::string help, double lo, double hi) {
  Spec& s = add(name, Kind::kDouble, std::move(help), &value);
  s.doubleLo = lo;
  s.doubleHi = hi;
  s.shownDefault = numberText(value);
}

void CommandLine::choice(const OptionName& name, std::string& value, std::string help,
                         std::vector<std::string> choices, bool anyCase) {
  Spec& s = add(name, Kind::kChoice, std::move(help), &value);
  s.choices = std::move(choices);
  s.anyCase = anyCase;
  s.shownDefault = value;
}

void CommandLine::flag(const OptionName& name, bool& value, std::string help) {
  add(name, Kind::kFlag, std::move(help), &value);
}

void CommandLine::positional(const char* name, std::string& value, std::string help) {
  positionals_.push_back({name, &value, std::move(help), true});
}

void CommandLine::optionalPositional(const char* name, std::string& value, std::string help) {
  positionals_.push_back({name, &value, std::move(help), false});
}

bool CommandLine::given(const OptionName& name) const {
  for (const Spec& s : specs_)
    if (std::strcmp(s.name.longName, name.longName) == 0) return s.given;
  return false;
}

int CommandLine::usageError(const std::string& message) const {
  std::fprintf(stderr, "%s %s: error: %s\nTry '%s %s --help' for more information.\n", kKitProgram, command_.c_str(),
               message.c_str(), kKitProgram, command_.c_str());
  return 2;
}

bool CommandLine::store(Spec& s, const std::string& text) {
  const std::string option = std::string("--") + s.name.longName;
  switch (s.kind) {
    case Kind::kText:
      *static_cast<std::string*>(s.target) = text;
      return true;
    case Kind::kFlag:
      *static_cast<bool*>(s.target) = true;
      return true;
    case Kind::kInt: {
      errno = 0;
      char* end = nullptr;
      const long v = std::strtol(text.c_str(), &end, 10);
      if (text.empty() || *end != '\0' || errno != 0 || v < s.intLo || v > s.intHi) {
        usageError(option + " takes a whole number from " + std::to_string(s.intLo) + " to " +
                   std::to_string(s.intHi) + ", not '" + text + "'");
        return false;
      }
      *static_cast<int*>(s.target) = static_cast<int>(v);
      return true;
    }
    case Kind::kDouble: {
      errno = 0;
      char* end = nullptr;
      const double v = std::strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(v) || v < s.doubleLo || v > s.doubleHi) {
        usageError(option + " takes a number from " + numberText(s.doubleLo) + " to " + numberText(s.doubleHi) +
                   ", not '" + text + "'");
        return false;
      }
      *static_cast<double*>(s.target) = v;
      return true;
    }
    case Kind::kChoice: {
      const std::string key = s.anyCase ? lowered(text) : text;
      for (const std::string& c : s.choices) {
        if (c == key) {
          *static_cast<std::string*>(s.target) = key;
          return true;
        }
      }
      std::string list;
      for (size_t i = 0; i < s.choices.size(); ++i)
        list += (i == 0 ? "" : i + 1 == s.choices.size() ? " or " : ", ") + s.choices[i];
      usageError(option + " takes " + list + ", not '" + text + "'");
      return false;
    }
  }
  return false;
}

int CommandLine::parse(int argc, char** argv) {
  CLI::App app;
  app.set_help_flag();
  app.allow_extras();
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  std::vector<std::string> raw(specs_.size());
  std::vector<std::string> words;
  std::vector<CLI::Option*> cli(specs_.size(), nullptr);
  for (size_t i = 0; i < specs_.size(); ++i) {
    const std::string names = cliNames(specs_[i].name);
    if (specs_[i].kind == Kind::kFlag)
      cli[i] = app.add_flag(names);
    else
      cli[i] = app.add_option(names, raw[i])->type_name(specs_[i].name.valueName);
  }
  app.add_option("ARGUMENTS", words);

  // "--" ends the options: what follows is handed over as arguments as it is.
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0)), afterDashes;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--") {
      afterDashes.assign(args.begin() + static_cast<long>(i) + 1, args.end());
      args.resize(i);
      break;
    }
  }
  std::reverse(args.begin(), args.end());  // CLI11 takes them last first
  try {
    app.parse(args);
  } catch (const CLI::ArgumentMismatch& e) {
    // "--model: 1 required FILE missing": the option given without its value.
    const std::string what = e.what();
    return usageError("option " + what.substr(0, what.find(':')) + " needs a value");
  } catch (const CLI::ParseError& e) {
    return usageError(e.what());
  }
  for (const std::string& extra : app.remaining()) {
    if (extra.size() > 1 && extra[0] == '-') {
      for (const Retired& r : kRetired)
        if (extra.compare(0, std::strlen(r.option), r.option) == 0 && extra.size() >= 2)
          return usageError("unknown option " + extra + " (" + r.hint + ")");
      return usageError("unknown option " + extra);
    }
  }

  words.insert(words.end(), afterDashes.begin(), afterDashes.end());
  for (size_t i = 0; i < specs_.size(); ++i) {
    if (cli[i]->count() == 0) continue;
    specs_[i].given = true;
    if (!store(specs_[i], raw[i])) return 2;
  }
  MessageFilter::setQuiet(quiet_);
  if (help_) {
    std::fputs(help().c_str(), stdout);
    return 0;
  }
  if (version_) {
    std::printf("%s\n", kitVersionLine(command_).c_str());
    return 0;
  }
  size_t next = 0;
  for (const Positional& p : positionals_) {
    if (next < words.size()) {
      *p.target = words[next++];
    } else if (p.required) {
      return usageError("missing " + p.name);
    }
  }
  if (next < words.size()) return usageError("unexpected argument '" + words[next] + "'");
  return -1;
}

std::string CommandLine::help() const {
  std::string out = std::string("Usage: ") + kKitProgram + " " + command_ + " [options]";
  for (const Positional& p : positionals_) out += p.required ? " " + p.name : " [" + p.name + "]";
  out += "\n";
  if (!description_.empty()) out += description_ + (description_.back() == '\n' ? "" : "\n");
  if (!positionals_.empty()) {
    out += "\nArguments:\n";
    for (const Positional& p : positionals_) {
      std::string text = p.help;
      if (!p.required && !p.target->empty() && !(*p.target == "-" && p.help.find("(- for") != std::string::npos))
        text += " (default: " + *p.target + ")";
      appendRow(out, p.name, text);
    }
  }
  out += "\nOptions:\n";
  for (size_t k = 0; k < specs_.size(); ++k) {
    const Spec& s = specs_[(k + kCommonOptions) % specs_.size()];
    std::string text = s.help;
    if (s.kind == Kind::kChoice && s.help.find(s.choices.front()) == std::string::npos) {
      text += " (";
      for (size_t i = 0; i < s.choices.size(); ++i) text += (i ? ", " : "") + s.choices[i];
      text += ")";
    }
    if (s.kind != Kind::kFlag && !s.shownDefault.empty() &&
        !(s.shownDefault == "-" && s.help.find("(- for") != std::string::npos))
      text += " (default: " + s.shownDefault + ")";
    appendRow(out, optionLabel(s.name), text);
  }
  return out;
}
