// Names for a save's pieces from a list or a label file, and the label file
// of a save: one label a piece, "start<TAB>end<TAB>name" in seconds.
// Texts are UTF-8 inside.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/cut/piece_plan.h"

namespace tw {

// A list or label file as UTF-8 text: a BOM is dropped, text that is not
// UTF-8 is read as Shift-JIS. False when it is neither.
bool DecodeText(const std::string& bytes, std::string* text);

// The lines of a text, without their line ends; a last empty line (after the
// final line end) is none.
std::vector<std::string> TextLines(const std::string& text);

// Why Windows cannot name a file this (nullptr: it can): characters it
// refuses, a reserved device name with any extension, a trailing dot or space.
const char* NameProblem(const std::string& name);

// Names of a list: lines[i] is the line the name came from (1 = first).
// Blank names keep the number and are never a problem. Repeated names
// (case aside, as Windows compares them) are problems of the later line.
struct NameLineProblem {
    std::size_t line;
    std::string name;
    std::string why;
};
std::vector<NameLineProblem> CheckNames(const std::vector<std::string>& names, const std::vector<std::size_t>& lines);
// One message for them all: "名前に使えない行があります: 3 行目 "a:b" (...), ..."
std::string NameProblemsText(const std::vector<NameLineProblem>& problems);

// A name list: one name a line, blank lines keep the number.
std::vector<std::string> NameListOf(const std::string& text);

struct Label {
    double start, end;  // seconds
    std::string name;
};
// Label lines "start<TAB>end[<TAB>name]"; lines starting with a backslash and
// empty lines are skipped. False with *badLine (1 = first) at the first line
// that is not a label (times not decimal seconds, end before start).
bool ReadLabels(const std::string& text, std::vector<Label>* labels, std::size_t* badLine,
                std::vector<std::size_t>* lines);

// The label file of a save: each piece's start and end in seconds with six
// decimals and its name, a line each.
std::string LabelsText(const std::vector<Piece>& pieces, const std::vector<std::string>& names, double bytesPerSecond);

}  // namespace tw
