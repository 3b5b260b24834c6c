// Where the toolkit finds its shipped model files, and the manifests that say
// what a model is.
//
// A manifest sits beside its model: models/X.manifest for models/X.model.
// Lines "key = value"; a line starting with "#" is a comment; blank lines are
// skipped. Paths are relative to the manifest's folder. Keys in use: kind
// (tagger | parser | srl | ...), language, template, dictionary, direction
// (ltr | rtl), driver, propbank, nombank, lexicon, data, licence, scores;
// readers ignore keys they do not know.
#ifndef KORVANE_TOOLS_MODEL_FILES_H
#define KORVANE_TOOLS_MODEL_FILES_H

#include <map>
#include <string>
#include <vector>

struct ModelManifest {
  std::string path;  // the manifest file; empty when the model has none
  std::map<std::string, std::string> values;

  bool has(const std::string& key) const { return values.count(key) > 0; }
  // The value, "" when the key is absent.
  std::string value(const std::string& key) const;
  // A path value joined to the manifest's folder (absolute paths stay), ""
  // when the key is absent.
  std::string file(const std::string& key) const;
};

// models/X.model -> models/X.manifest (the extension replaced, or added when
// the file name has none).
std::string manifestPathFor(const std::string& modelPath);

// Reads a manifest file. False after "Error: FILE line N: ..." for a line that
// is not "key = value" or holds bytes that are not text, or "Error: ..." when
// the file cannot be read.
bool readManifest(const std::string& path, ModelManifest& manifest);

// Reads the manifest beside modelPath. True with manifest.path empty when
// there is none; false after a message when it exists but does not read.
bool readManifestFor(const std::string& modelPath, ModelManifest& manifest);

// The folders searched for shipped model files, in order: $KORVANE_MODELS
// when set; models/ beside the running program and ../share/korvane/models
// from its folder (an installed copy); the source tree's models/; the
// install prefix's share/korvane/models.
std::vector<std::string> shippedModelFolders();

// The first of those folders holding `name` (e.g. "english.model"), joined to
// it; "" when none does.
std::string findShippedFile(const std::string& name);

#endif
