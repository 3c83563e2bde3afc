// A reader for the subset of RTF that the trace's rich-text writer uses, written
// independently of the writer: the colour table, runs with their colour and font styles,
// the plain text. A run without an explicit colour (\cf0 or none) reads as AutoColour.
#pragma once

#include <QByteArray>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace kevosupport {

// The reader's "automatic" colour: no colour of the run's own.
constexpr unsigned AutoColour = 0x1000000u;

struct TextRun {
    std::u16string text;
    unsigned rgb = AutoColour;  // 0xRRGGBB
    bool b = false, i = false, ul = false, strike = false;
};

// A reader for the subset of RTF the writer uses; independent of the writer's code.
struct MiniRtf {
    std::vector<unsigned> colours;  // index 0: the automatic colour (AutoColour)
    std::vector<TextRun> runs;      // consecutive runs with equal attributes are merged
    std::u16string plain;           // text with "\n" for \par and \line
    int depth = 0;
    int maxDepth = 0;
    bool balanced = true;
    int leftIndent = -1;

    static char16_t cp1252(int b) {
        static const char16_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                          0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                          0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                          0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
        return (b >= 0x80 && b < 0xA0) ? high[b - 0x80] : char16_t(b);
    }

    explicit MiniRtf(const QByteArray& d) {
        struct St {
            TextRun r;
            bool skip = false;
            bool colortbl = false;
        };
        std::vector<St> stack{St{}};
        unsigned red = 0, green = 0, blue = 0;
        bool named = false;  // the colour table entry being read names a colour
        int skipChars = 0;
        auto put = [&](char16_t c) {
            St& s = stack.back();
            if (s.skip || s.colortbl) return;
            if (skipChars > 0) {
                --skipChars;
                return;
            }
            plain += c;
            if (c == u'\n') return;
            TextRun& r = s.r;
            if (!runs.empty() && runs.back().rgb == r.rgb && runs.back().b == r.b && runs.back().i == r.i &&
                runs.back().ul == r.ul && runs.back().strike == r.strike)
                runs.back().text += c;
            else {
                TextRun n = r;
                n.text = c;
                runs.push_back(n);
            }
        };
        for (int p = 0; p < d.size();) {
            const char c = d[p];
            if (c == '{') {
                stack.push_back(stack.back());
                maxDepth = std::max(maxDepth, int(stack.size()) - 1);
                ++p;
            } else if (c == '}') {
                if (stack.size() <= 1)
                    balanced = false;
                else
                    stack.pop_back();
                ++p;
            } else if (c == '\r' || c == '\n') {
                ++p;
            } else if (c == '\\') {
                ++p;
                if (p >= d.size()) break;
                const char n = d[p];
                if (n == '\\' || n == '{' || n == '}') {
                    put(char16_t(n));
                    ++p;
                } else if (n == '\'') {
                    put(cp1252(d.mid(p + 1, 2).toInt(nullptr, 16)));
                    p += 3;
                } else {
                    int q = p;
                    while (q < d.size() && std::isalpha(uchar(d[q]))) ++q;
                    const QByteArray word = d.mid(p, q - p);
                    int r = q;
                    if (r < d.size() && (d[r] == '-' || std::isdigit(uchar(d[r])))) {
                        ++r;
                        while (r < d.size() && std::isdigit(uchar(d[r]))) ++r;
                    }
                    const bool hasArg = r > q;
                    const int arg = hasArg ? d.mid(q, r - q).toInt() : 1;
                    p = r;
                    if (p < d.size() && d[p] == ' ') ++p;
                    St& s = stack.back();
                    if (word == "fonttbl")
                        s.skip = true;
                    else if (word == "colortbl")
                        s.colortbl = true;
                    else if (word == "red")
                        red = arg, named = true;
                    else if (word == "green")
                        green = arg, named = true;
                    else if (word == "blue")
                        blue = arg, named = true;
                    else if (word == "cf")
                        s.r.rgb = arg < int(colours.size()) ? colours[arg] : 0xFFFFFFFFu;
                    else if (word == "b")
                        s.r.b = !hasArg || arg != 0;
                    else if (word == "i")
                        s.r.i = !hasArg || arg != 0;
                    else if (word == "ul")
                        s.r.ul = true;
                    else if (word == "ulnone")
                        s.r.ul = false;
                    else if (word == "strike")
                        s.r.strike = !hasArg || arg != 0;
                    else if (word == "li")
                        leftIndent = arg;
                    else if (word == "par" || word == "line")
                        put(u'\n');
                    else if (word == "tab")
                        put(u'\t');
                    else if (word == "u") {
                        put(char16_t(int16_t(arg)));
                        skipChars = 1;
                    }
                }
            } else {
                if (c == ';' && stack.back().colortbl) {
                    // The first entry is the automatic colour unless it names one.
                    colours.push_back(colours.empty() && !named ? AutoColour
                                                                : (red << 16) | (green << 8) | blue);
                    named = false;
                    red = green = blue = 0;
                } else {
                    put(char16_t(uchar(c)));
                }
                ++p;
            }
        }
        if (stack.size() != 1) balanced = false;
    }
};

}  // namespace kevosupport
