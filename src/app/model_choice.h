// Models on the command line: the shipped model a command uses when none is
// named, and the settings a model's manifest brings (template, dictionary,
// language, driver, ...) for the options the command line leaves open.
#ifndef KORVANE_APP_MODEL_CHOICE_H
#define KORVANE_APP_MODEL_CHOICE_H

#include <string>
#include <vector>

#include "app/command_line.h"
#include "tools/model_files.h"

// One setting a manifest may supply.
struct ManifestField {
  const char* key;           // manifest key, e.g. "template"
  const OptionName* option;  // the option that sets it on the command line
  std::string* value;        // the command's variable
  bool path;                 // a file name (relative to the manifest's folder)
  // False for a mere default (a parser's driver): another choice on the
  // command line is then taken without a warning.
  bool warns = true;
};

// Reads the manifest beside `model`. One whose kind is not `kind` is refused
// with an "Error: ..." (a tagging model cannot parse). For every field: when
// its option was not given, the manifest's value is taken; when it was given
// and says something else, the command line wins, with a "Warning: ..."
// naming both unless the field is a mere default. False after an error
// message. `manifest` receives what was read.
bool applyManifest(const CommandLine& cl, const std::string& model, const char* kind,
                   const std::vector<ManifestField>& fields, ModelManifest& manifest);

// A shipped file by name (tools/model_files.h); "" after "Error: ..." naming
// the folders searched when there is none.
std::string shippedFileOrSay(const std::string& name);

// Reads a template file the way the command line does (templates/template_reader.h,
// loadTemplateSet) for commands whose drivers read it themselves, which take
// any bytes: false after an "Error: ..." naming the file and line.
bool templateFileUsable(const std::string& path);

#endif
