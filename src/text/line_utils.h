// Field splitting, file probing and byte-class helpers shared by every reader.
// Text is raw bytes: nothing here decodes GBK or any other encoding.
#ifndef KORVANE_TEXT_LINE_UTILS_H
#define KORVANE_TEXT_LINE_UTILS_H

#include <cstdio>
#include <string>
#include <vector>

// Fields are maximal runs of bytes other than blank and tab.
void readLine2VectorString(std::string& line, std::vector<std::string>& fields);

// 1 when path opens for reading; else prints "Error: open file %s.\n" and returns -1.
// (The const char* overload, with its own message, belongs to the model code.)
int checkFile(char* path);

// Fields b..c (1-based) counted from the start / from the end, separators kept.
void cutSeginLine(std::string& line, int b, int c, std::string& field);
void cutSeginLineInv(std::string& line, int b, int c, std::string& field);

int isLetter(std::string& s);
int isLetter(char c);  // +1 for an ASCII letter, else -1
int isNonLetter(std::string& s);
int isDigital(char c);
std::string lowcaseIt(std::string s);
void twoC(int flag, int& count);

// Reads one line of any length up to '\n' (not stored). False at end of file
// when nothing was read. A carriage return stays part of the line.
bool readLineWhole(std::FILE* f, std::string& line);

// The whole file at path in text (one read per block, not per byte). False,
// with "cannot open PATH: reason" or "cannot read PATH" in error, on failure.
bool readWholeFile(const std::string& path, std::string& text, std::string& error);

// For readers of text that may come from other systems: removes a carriage
// return before the line feed, and (firstLine) a UTF-8 byte-order mark.
void dropForeignLineEnd(std::string& line, bool firstLine);

#endif
