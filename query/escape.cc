#include "query/escape.h"

#include <array>

namespace tellwen::query {

namespace {

constexpr int kContexts = static_cast<int>(Escaping::kScriptString) + 1;

// The hexadecimal forms of every byte: "%HH" and "\xHH".
struct HexForms {
  char percent[256][4] = {};
  char script[256][5] = {};
};

constexpr HexForms MakeHexForms() {
  constexpr char kHex[] = "0123456789ABCDEF";
  HexForms forms;
  for (int c = 0; c < 256; ++c) {
    forms.percent[c][0] = '%';
    forms.percent[c][1] = kHex[c >> 4];
    forms.percent[c][2] = kHex[c & 15];
    forms.script[c][0] = '\\';
    forms.script[c][1] = 'x';
    forms.script[c][2] = kHex[c >> 4];
    forms.script[c][3] = kHex[c & 15];
  }
  return forms;
}

constexpr HexForms kHexForms = MakeHexForms();

constexpr bool IsAlnum(int c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

constexpr bool IsOneOf(int c, std::string_view set) {
  return c < 0x80 && set.find(static_cast<char>(c)) != std::string_view::npos;
}

constexpr std::string_view Percent(int c) { return std::string_view(kHexForms.percent[c], 3); }
constexpr std::string_view ScriptHex(int c) { return std::string_view(kHexForms.script[c], 4); }

// What stands for byte c in a context; "" keeps the byte.
constexpr std::string_view Replacement(Escaping how, int c) {
  switch (how) {
    case Escaping::kHtmlText:
    case Escaping::kHtmlTextNbsp:
    case Escaping::kHtmlAttribute:
      if (c == '&') return "&amp;";
      if (c == '<') return "&lt;";
      if (c == '>') return "&gt;";
      if (how == Escaping::kHtmlTextNbsp && c == ' ') return "&nbsp;";
      if (how == Escaping::kHtmlAttribute) {
        if (c == '"') return "&quot;";
        if (c == '\'') return "&#39;";
        if (c == '`') return "&#96;";
      }
      return "";
    case Escaping::kMarkupFree:
      if (c == '<') return "&lt;";
      if (c == '>') return "&gt;";
      return "";
    case Escaping::kUrlComponent:
      return IsAlnum(c) ? "" : Percent(c);
    case Escaping::kUrlPath:
      return c <= 0x20 || c >= 0x7f || IsOneOf(c, "\"'#%?<>`{}|^[]") ? Percent(c) : "";
    case Escaping::kHeaderValue:
      return IsAlnum(c) || IsOneOf(c, ".-_") ? "" : Percent(c);
    case Escaping::kScriptString:
      if (c == '\'') return "\\'";
      if (c == '\\') return "\\\\";
      return c < 0x20 || c == 0x7f || IsOneOf(c, "\"<>&`") ? ScriptHex(c) : "";
  }
  return "";
}

using Table = std::array<std::string_view, 256>;

constexpr std::array<Table, kContexts> MakeTables() {
  std::array<Table, kContexts> tables{};
  for (int how = 0; how < kContexts; ++how) {
    for (int c = 0; c < 256; ++c) tables[how][c] = Replacement(static_cast<Escaping>(how), c);
  }
  return tables;
}

constexpr std::array<Table, kContexts> kTables = MakeTables();

}  // namespace

void AppendEscaped(std::string_view text, Escaping how, std::string* out) {
  const Table& table = kTables[static_cast<int>(how)];
  size_t plain = 0;  // start of the run of bytes that stay
  for (size_t i = 0; i < text.size(); ++i) {
    const std::string_view replacement = table[static_cast<unsigned char>(text[i])];
    if (replacement.empty()) continue;
    out->append(text.data() + plain, i - plain);
    *out += replacement;
    plain = i + 1;
  }
  out->append(text.data() + plain, text.size() - plain);
}

std::string Escape(std::string_view text, Escaping how) {
  std::string out;
  out.reserve(text.size() + 16);
  AppendEscaped(text, how, &out);
  return out;
}

}  // namespace tellwen::query
