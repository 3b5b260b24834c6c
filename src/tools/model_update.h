// Converting a model file of the older one-triple-per-line format into the
// version-2 layout, as a stream filter: lines are grouped only when adjacent,
// nothing is sorted, and every weight keeps the text it has.
#ifndef KORVANE_TOOLS_MODEL_UPDATE_H
#define KORVANE_TOOLS_MODEL_UPDATE_H

// Writes newModelPath only when the whole old file converts; otherwise an
// "Error: ..." naming the file and line, and newModelPath is left as it was.
void modelUpdateV2(char* oldModelPath, char* newModelPath);

// The same, with the outcome: true when newModelPath was written.
bool modelUpdateV2Checked(const char* oldModelPath, const char* newModelPath);

#endif
