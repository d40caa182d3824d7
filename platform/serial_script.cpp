#include "platform/serial_script.h"

#include <cmath>
#include <cstdlib>

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The text after the time with its escapes resolved; false with the reason.
bool Unescape(const std::string& in, std::string& out, std::string& why) {
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            out += in[i];
            continue;
        }
        if (++i == in.size()) {
            why = "a backslash ends the line (write \\\\ for one)";
            return false;
        }
        switch (in[i]) {
            case 'r': out += '\r'; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case '\\': out += '\\'; break;
            case 'x': {
                int hi = i + 1 < in.size() ? HexDigit(in[i + 1]) : -1;
                int lo = i + 2 < in.size() ? HexDigit(in[i + 2]) : -1;
                if (hi < 0 || lo < 0) {
                    why = "\\x takes two hex digits";
                    return false;
                }
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                break;
            }
            default:
                why = std::string("unknown escape \\") + in[i] + " (\\r \\n \\t \\\\ \\xHH)";
                return false;
        }
    }
    return true;
}

bool ParseLine(const std::string& line, double last, SerialDelivery& d, std::string& why) {
    size_t blank = line.find(' ');
    std::string time = line.substr(0, blank);
    if (time.empty() || time.size() > 32 || time.find_first_not_of("0123456789.") != std::string::npos) {
        why = "a line starts with its time in seconds (\"2.5 R12 P3\\r\")";
        return false;
    }
    char* end = nullptr;
    double at = strtod(time.c_str(), &end);
    if (*end != '\0' || !std::isfinite(at) || at > 1e6) {
        why = "bad time \"" + time + "\" (seconds, 0 to 1000000)";
        return false;
    }
    if (at < last) {
        why = "times must not go back";
        return false;
    }
    if (blank == std::string::npos || blank + 1 == line.size()) {
        why = "no text after the time";
        return false;
    }
    d.at = at;
    return Unescape(line.substr(blank + 1), d.bytes, why);
}

}  // namespace

bool ParseSerialScript(const char* text, size_t length, std::vector<SerialDelivery>& out,
                       std::string& error) {
    out.clear();
    size_t start = 0;
    int number = 0;
    double last = 0.0;
    while (start < length) {
        size_t end = start;
        while (end < length && text[end] != '\n') ++end;
        ++number;
        std::string line(text + start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();  // a script saved with CR LF
        if (line.empty() || line[0] == '#') continue;
        std::string why;
        SerialDelivery d;
        if (line.find('\0') != std::string::npos) why = "unexpected NUL character (write \\x00)";
        else if (ParseLine(line, last, d, why)) {
            last = d.at;
            out.push_back(d);
            continue;
        }
        error = "line " + std::to_string(number) + ": " + why;
        out.clear();
        return false;
    }
    return true;
}
