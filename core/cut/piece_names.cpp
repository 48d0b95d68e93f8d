#include "core/cut/piece_names.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/support/file_io.h"

namespace tw {

namespace {

bool ValidUtf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        const unsigned char d = n > 1 ? static_cast<unsigned char>(s[i + 1]) : 0;
        if ((c == 0xE0 && d < 0xA0) || (c == 0xED && d >= 0xA0) || (c == 0xF0 && d < 0x90) || (c == 0xF4 && d >= 0x90))
            return false;  // overlong, surrogates, beyond U+10FFFF
        i += n;
    }
    return true;
}

std::string Folded(const std::string& name) {
    std::string f = name;
    for (char& c : f)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return f;
}

bool Blank(const std::string& line) { return line.find_first_not_of(" \t") == std::string::npos; }

// Decimal seconds: digits, an optional fraction.
bool ReadSeconds(const std::string& text, double* value) {
    std::size_t i = 0, digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) ++digits;
    if (i < text.size() && text[i] == '.')
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) ++digits;
    if (digits == 0 || i != text.size() || text.size() > 30) return false;
    // The dot is the decimal point whatever the locale.
    double whole = 0, scale = 1, fraction = 0;
    bool after = false;
    for (char c : text) {
        if (c == '.') {
            after = true;
        } else if (after) {
            scale /= 10;
            fraction += (c - '0') * scale;
        } else {
            whole = whole * 10 + (c - '0');
        }
    }
    *value = whole + fraction;
    return std::isfinite(*value);
}

}  // namespace

bool DecodeText(const std::string& bytes, std::string* text) {
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        *text = bytes.substr(3);
        return ValidUtf8(*text);
    }
    if (ValidUtf8(bytes)) {
        *text = bytes;
        return true;
    }
    return Utf8FromShiftJis(bytes, text);
}

std::vector<std::string> TextLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(from, end - from);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        from = end + 1;
    }
    return lines;
}

const char* NameProblem(const std::string& name) {
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F || std::string("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string::npos)
            return "使えない文字があります";
    if (!name.empty() && (name.back() == '.' || name.back() == ' ')) return "最後が点か空白です";
    std::string base = Folded(name.substr(0, name.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    static const char* const kReserved[] = {"CON", "PRN", "AUX", "NUL"};
    for (const char* r : kReserved)
        if (base == r) return "Windows の予約された名前です";
    if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '1' &&
        base[3] <= '9')
        return "Windows の予約された名前です";
    return nullptr;
}

std::vector<NameLineProblem> CheckNames(const std::vector<std::string>& names, const std::vector<std::size_t>& lines) {
    std::vector<NameLineProblem> problems;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (Blank(names[i])) continue;
        if (const char* why = NameProblem(names[i])) {
            problems.push_back({lines[i], names[i], why});
            continue;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (!Blank(names[j]) && Folded(names[j]) == Folded(names[i])) {
                problems.push_back({lines[i], names[i], std::to_string(lines[j]) + " 行目と同じ名前です"});
                break;
            }
        }
    }
    return problems;
}

std::string NameProblemsText(const std::vector<NameLineProblem>& problems) {
    std::string text = "ファイル名に使えない名前があるため、何も保存しませんでした:";
    for (std::size_t i = 0; i < problems.size(); ++i)
        text += (i ? ", " : " ") + std::to_string(problems[i].line) + " 行目 \"" + problems[i].name + "\" (" +
                problems[i].why + ")";
    return text;
}

std::vector<std::string> NameListOf(const std::string& text) {
    std::vector<std::string> names = TextLines(text);
    for (std::string& n : names)
        if (Blank(n)) n.clear();
    return names;
}

bool ReadLabels(const std::string& text, std::vector<Label>* labels, std::size_t* badLine,
                std::vector<std::size_t>* lines) {
    labels->clear();
    lines->clear();
    const std::vector<std::string> all = TextLines(text);
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::string& line = all[i];
        if (line.empty() || line[0] == '\\') continue;  // spectral selections of newer editors
        const std::size_t tab = line.find('\t');
        const std::size_t tab2 = tab == std::string::npos ? std::string::npos : line.find('\t', tab + 1);
        Label l{};
        const bool ok = tab != std::string::npos &&
                        ReadSeconds(line.substr(0, tab), &l.start) &&
                        ReadSeconds(line.substr(tab + 1, tab2 == std::string::npos ? std::string::npos : tab2 - tab - 1), &l.end) &&
                        l.end >= l.start;
        if (!ok) {
            *badLine = i + 1;
            return false;
        }
        if (tab2 != std::string::npos) l.name = line.substr(tab2 + 1);
        if (Blank(l.name)) l.name.clear();
        labels->push_back(l);
        lines->push_back(i + 1);
    }
    return true;
}

std::string LabelsText(const std::vector<Piece>& pieces, const std::vector<std::string>& names, double bytesPerSecond) {
    std::string text;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        char line[80];
        const double per = bytesPerSecond > 0 ? bytesPerSecond : 1;
        std::snprintf(line, sizeof line, "%.6f\t%.6f\t", static_cast<double>(pieces[k].offset) / per,
                      static_cast<double>(pieces[k].offset + pieces[k].length) / per);
        text += line + names[k] + "\n";
    }
    return text;
}

}  // namespace tw
