// The template text language.
#ifndef KORVANE_TEMPLATES_TEMPLATE_READER_H
#define KORVANE_TEMPLATES_TEMPLATE_READER_H

#include <string>
#include <vector>

#include "features/token_table.h"
#include "templates/template_types.h"

// Number of templates, or -1 when two templates share a name.
int readTemplateFile3(char* path, std::vector<_ftnind>& templates, std::vector<int>& templateOrder, int& labelOrder);
// readTemplateFile3 for the command line: false, with an "Error: ..." message,
// when the file cannot be read, holds no template, repeats a name or reads
// further back than maxLabelOrder labels (-1: no limit).
bool loadTemplateSet(const std::string& path, std::vector<_ftnind>& templates, std::vector<int>& templateOrder,
                     int& labelOrder, int maxLabelOrder = -1);
int parseTemplateLine(std::string& text, _ft& item);
int checkFTNodeInfo(std::vector<_ftnind>& templates, std::vector<int>& flags);
int checkFTNodeDPRel(std::vector<_ftnind>& templates);
int checkHRange(TokenTable& rows, std::vector<_ft>& items, bool strict);

// Step code of a lower-cased step name, -1 when the table has no such name.
int stepCodeOf(const std::string& lowerName);

#endif
