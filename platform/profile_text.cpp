#include "platform/profile_text.h"

#include <cstring>
#include <strings.h>
#include <vector>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const char* b) {
    std::string tb = Trim(b);
    return a.size() == tb.size() && strncasecmp(a.data(), tb.data(), a.size()) == 0;
}

struct Line {
    size_t begin;  // offset of the first character
    size_t end;    // offset past the line break
    std::string content;  // without the line break
};

std::vector<Line> SplitLines(const std::string& text) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        size_t stop = nl == std::string::npos ? text.size() : nl;
        size_t next = nl == std::string::npos ? text.size() : nl + 1;
        std::string content = text.substr(pos, stop - pos);
        if (!content.empty() && content.back() == '\r') content.pop_back();
        lines.push_back({pos, next, content});
        pos = next;
    }
    return lines;
}

// "[name]" -> name; false for other lines.
bool SectionName(const std::string& line, std::string* name) {
    std::string t = Trim(line);
    if (t.empty() || t[0] != '[') return false;
    size_t close = t.find(']');
    *name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

// "key = value" -> key, value; a line without '=' is a key with no value.
void KeyValue(const std::string& line, std::string* key, std::string* value) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) {
        *key = Trim(line);
        value->clear();
    } else {
        *key = Trim(line.substr(0, eq));
        *value = Trim(line.substr(eq + 1));
    }
}

std::string StripQuotes(const std::string& v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// Index range [first, last) of the lines belonging to `section` (after its
// header); false when it is absent.
bool FindSection(const std::vector<Line>& lines, const char* section, size_t* header,
                 size_t* first, size_t* last) {
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string name;
        if (!SectionName(lines[i].content, &name) || !SameName(name, section)) continue;
        size_t j = i + 1;
        while (j < lines.size() && !SectionName(lines[j].content, &name)) ++j;
        *header = i;
        *first = i + 1;
        *last = j;
        return true;
    }
    return false;
}

bool FindKeyLine(const std::vector<Line>& lines, size_t first, size_t last, const char* key,
                 size_t* index, std::string* value) {
    for (size_t i = first; i < last; ++i) {
        std::string t = Trim(lines[i].content);
        if (t.empty()) continue;
        std::string k, v;
        KeyValue(lines[i].content, &k, &v);
        if (SameName(k, key)) {
            *index = i;
            if (value) *value = v;
            return true;
        }
    }
    return false;
}

uint32_t CopyOut(const std::string& s, char* buf, uint32_t size) {
    if (buf == nullptr || size == 0) return 0;
    uint32_t n = static_cast<uint32_t>(s.size());
    if (n > size - 1) n = size - 1;
    memcpy(buf, s.data(), n);
    buf[n] = '\0';
    return n;
}

}  // namespace

bool ProfileTextFind(const std::string& text, const char* section, const char* key,
                     std::string* value) {
    std::vector<Line> lines = SplitLines(text);
    size_t header, first, last, index;
    if (!FindSection(lines, section, &header, &first, &last)) return false;
    std::string raw;
    if (!FindKeyLine(lines, first, last, key, &index, &raw)) return false;
    *value = StripQuotes(raw);
    return true;
}

uint32_t ProfileTextGet(const std::string* text, const char* section, const char* key,
                        const char* def, char* buf, uint32_t size) {
    std::string value;
    if (text != nullptr && section != nullptr && key != nullptr &&
        ProfileTextFind(*text, section, key, &value))
        return CopyOut(value, buf, size);
    // The service drops trailing blanks of the default.
    std::string d = def ? def : "";
    while (!d.empty() && d.back() == ' ') d.pop_back();
    return CopyOut(d, buf, size);
}

void ProfileTextWrite(std::string* text, const char* section, const char* key,
                      const char* value) {
    if (section == nullptr) return;
    std::vector<Line> lines = SplitLines(*text);
    size_t header, first, last;
    bool haveSection = FindSection(lines, section, &header, &first, &last);
    if (key == nullptr) {  // remove the whole section
        if (haveSection) {
            size_t b = lines[header].begin;
            size_t e = last < lines.size() ? lines[last].begin : text->size();
            text->erase(b, e - b);
        }
        return;
    }
    if (!haveSection) {
        if (value == nullptr) return;
        if (!text->empty() && text->back() != '\n') *text += "\r\n";
        if (!text->empty()) *text += "\r\n";
        *text += "[" + Trim(section) + "]\r\n" + Trim(key) + "=" + value + "\r\n";
        return;
    }
    size_t index;
    if (FindKeyLine(lines, first, last, key, &index, nullptr)) {
        const Line& l = lines[index];
        if (value == nullptr) {
            text->erase(l.begin, l.end - l.begin);
            return;
        }
        std::string k, v;
        KeyValue(l.content, &k, &v);
        std::string replacement = k + "=" + value;
        size_t contentEnd = l.begin + l.content.size();
        text->replace(l.begin, contentEnd - l.begin, replacement);
        return;
    }
    if (value == nullptr) return;
    // New key: after the last non-blank line of the section.
    size_t insertAfter = header;
    for (size_t i = first; i < last; ++i)
        if (!Trim(lines[i].content).empty()) insertAfter = i;
    const Line& l = lines[insertAfter];
    std::string addition = Trim(key) + "=" + value + "\r\n";
    size_t at = l.end;
    if (at == text->size() && (text->empty() || text->back() != '\n')) {
        *text += "\r\n";
        at = text->size();
    }
    text->insert(at, addition);
}
