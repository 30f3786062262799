// The damage that mail programs and chat windows do to armoured text, as
// functions over a text written with CR LF: quoting, indentation, re-wrapped
// Base64 lines, blanks added at line ends or inside the Base64, and LF or CR
// alone for CR LF. Shared by the reader tests of the three block kinds.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qvx::test {

// A text split at its CR LF line breaks ("a\r\nb" gives "a", "b"; "a\r\n"
// gives "a", "").
inline std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (;;) {
    const std::size_t next = text.find("\r\n", at);
    if (next == std::string::npos) break;
    lines.push_back(text.substr(at, next - at));
    at = next + 2;
  }
  lines.push_back(text.substr(at));
  return lines;
}

inline std::string JoinCrLf(const std::vector<std::string>& lines) {
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i != 0) out += "\r\n";
    out += lines[i];
  }
  return out;
}

using TextDamage = std::function<std::string(const std::string&)>;

// Every line gets the prefix; with bare_empty an empty line gets it without
// its trailing blanks (">" for "> "), as some mail programs write it.
inline TextDamage Quote(std::string prefix, bool bare_empty = false) {
  return [prefix, bare_empty](const std::string& text) {
    std::string bare = prefix;
    while (!bare.empty() && (bare.back() == ' ' || bare.back() == '\t')) bare.pop_back();
    auto lines = SplitCrLf(text);
    for (auto& line : lines) line = (line.empty() && bare_empty ? bare : prefix) + line;
    return JoinCrLf(lines);
  };
}

// Every line that is not empty gets the indentation.
inline TextDamage Indent(std::string indentation) {
  return [indentation](const std::string& text) {
    auto lines = SplitCrLf(text);
    for (auto& line : lines) {
      if (!line.empty()) line = indentation + line;
    }
    return JoinCrLf(lines);
  };
}

inline TextDamage TrailingBlanks(std::string blanks) {
  return [blanks](const std::string& text) {
    auto lines = SplitCrLf(text);
    for (auto& line : lines) line += blanks;
    return JoinCrLf(lines);
  };
}

inline bool IsMarkerLine(const std::string& line, const char* which) {
  return line.find(std::string("--- ") + which + " Of QVX") != std::string::npos;
}

// Applies f to the body lines of every block (the lines between a start and an
// end marker line) and puts its lines in their place.
inline std::string MapBodies(const std::string& text,
                             const std::function<std::vector<std::string>(std::vector<std::string>)>& f) {
  const auto lines = SplitCrLf(text);
  std::vector<std::string> out, body;
  bool in_body = false;
  for (const auto& line : lines) {
    if (in_body && IsMarkerLine(line, "End")) {
      for (auto& b : f(body)) out.push_back(std::move(b));
      body.clear();
      in_body = false;
    }
    if (in_body) {
      body.push_back(line);
      continue;
    }
    out.push_back(line);
    if (IsMarkerLine(line, "Start")) in_body = true;
  }
  for (auto& b : body) out.push_back(std::move(b));  // a block without end line
  return JoinCrLf(out);
}

// The Base64 in lines of `width` characters (0: one line), after an empty line
// and before one, as the writer frames it.
inline TextDamage Rewrap(std::size_t width) {
  return [width](const std::string& text) {
    return MapBodies(text, [width](std::vector<std::string> body) {
      std::string joined;
      for (const auto& line : body) joined += line;
      std::vector<std::string> out{""};
      const std::size_t step = width == 0 ? joined.size() + 1 : width;
      for (std::size_t at = 0; at < joined.size(); at += step) out.push_back(joined.substr(at, step));
      out.push_back("");
      return out;
    });
  };
}

// A non-breaking space (0xA0), a blank and a tab inside the body lines.
inline TextDamage BlanksInsideBase64() {
  return [](const std::string& text) {
    return MapBodies(text, [](std::vector<std::string> body) {
      for (auto& line : body) {
        if (line.size() > 30) line.insert(30, "\t");
        if (line.size() > 20) line.insert(20, " ");
        if (line.size() > 8) line.insert(8, "\xA0");
      }
      return body;
    });
  };
}

// CR LF becomes `lone` ("\n" or "\r").
inline TextDamage LineEnds(std::string lone) {
  return [lone](const std::string& text) {
    auto lines = SplitCrLf(text);
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i != 0) out += lone;
      out += lines[i];
    }
    return out;
  };
}

// Applies the damages in order.
inline TextDamage Chain(std::vector<TextDamage> steps) {
  return [steps](const std::string& text) {
    std::string out = text;
    for (const auto& step : steps) out = step(out);
    return out;
  };
}

// What a whole signed text damaged this way still proves: nothing (the signed
// text itself changed), or the text as signed after undoing a common quote
// prefix or indentation and/or restoring CR LF.
enum UndoneBits : unsigned { kUndoesNothing = 0, kUndoesPrefix = 1, kUndoesLineEnds = 2 };

struct ArmourDamage {
  const char* name;
  TextDamage apply;
  bool keeps_signed_text;  // a signed text damaged whole still verifies
  unsigned undone;         // what verification then undoes
};

inline std::vector<ArmourDamage> ArmourDamages() {
  return {
      {"quoted \"> \"", Quote("> "), true, kUndoesPrefix},
      {"quoted \">\"", Quote(">"), true, kUndoesPrefix},
      {"quoted \"> \", empty lines \">\"", Quote("> ", true), true, kUndoesPrefix},
      {"quoted twice \"> > \"", Chain({Quote("> "), Quote("> ")}), true, kUndoesPrefix},
      {"quoted twice \">> \"", Quote(">> "), true, kUndoesPrefix},
      {"indented with blanks", Indent("    "), true, kUndoesPrefix},
      {"indented with a tab", Indent("\t"), true, kUndoesPrefix},
      {"re-wrapped at 64", Rewrap(64), true, kUndoesNothing},
      {"re-wrapped at 76", Rewrap(76), true, kUndoesNothing},
      {"joined into one line", Rewrap(0), true, kUndoesNothing},
      {"LF alone", LineEnds("\n"), true, kUndoesLineEnds},
      {"CR alone", LineEnds("\r"), true, kUndoesLineEnds},
      {"blanks, tabs and 0xA0 inside the Base64", BlanksInsideBase64(), true, kUndoesNothing},
      {"trailing blanks, tabs and 0xA0", TrailingBlanks(" \t\xA0"), false, kUndoesNothing},
      {"mixed: re-wrapped at 64, quoted \"> \", LF", Chain({Rewrap(64), Quote("> ", true), LineEnds("\n")}), true,
       kUndoesPrefix | kUndoesLineEnds},
      {"mixed: indented with a tab, CR", Chain({Indent("\t"), LineEnds("\r")}), true,
       kUndoesPrefix | kUndoesLineEnds},
      {"mixed: re-wrapped at 76, 0xA0 inside, trailing blanks, quoted \"> > \", LF",
       Chain({Rewrap(76), BlanksInsideBase64(), TrailingBlanks("  "), Quote("> "), Quote("> "), LineEnds("\n")}),
       false, kUndoesNothing},
  };
}

}  // namespace qvx::test
