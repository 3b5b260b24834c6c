// Template sets for the labelling tests: the built-in ones and sets read from text.
#ifndef KORVANE_TESTS_DECODING_TEMPLATE_SETS_H
#define KORVANE_TESTS_DECODING_TEMPLATE_SETS_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "templates/builtin_templates.h"
#include "templates/template_reader.h"
#include "test_files.h"

struct TemplateSet {
  std::vector<_ftnind> templates;
  std::vector<int> order;
  int labelOrder = 0;
};

inline TemplateSet englishTemplates() {
  TemplateSet s;
  getTemplateEnglishPoS(s.templates, s.order, s.labelOrder);
  return s;
}

inline TemplateSet chineseTemplates() {
  TemplateSet s;
  getTemplateChinesePoS(s.templates, s.order, s.labelOrder);
  return s;
}

// The set a template file of this text gives (the reader's messages dropped).
inline TemplateSet templatesFromText(const std::string& text) {
  const std::string path = testing::TempDir() + "template_sets.template";
  writeFile(path, text);
  TemplateSet s;
  testing::internal::CaptureStderr();
  readTemplateFile3(const_cast<char*>(path.c_str()), s.templates, s.order, s.labelOrder);
  testing::internal::GetCapturedStderr();
  return s;
}

#endif
