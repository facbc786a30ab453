// The escaper of the search site: every text placed into a page, a URL or a
// header passes through Escape with the context it lands in. One table per
// context says, for each byte, what stands for it (nothing: the byte stays),
// so each rule is written once.
//
// Contexts:
//   kHtmlText      element text: "&", "<", ">" as entities; quotes stay.
//   kHtmlTextNbsp  kHtmlText, and each space as "&nbsp;".
//   kHtmlAttribute an attribute value in either kind of quotes: kHtmlText,
//                  and '"' as "&quot;", "'" as "&#39;", "`" as "&#96;".
//   kMarkupFree    a label that may hold entities ("&nbsp;"): only "<" and
//                  ">" as entities, so no markup can come of it.
//   kUrlComponent  a URL's query value: every byte that is not a letter or a
//                  digit as "%" and two upper-case hexadecimal digits.
//   kUrlPath       a path for an href: bytes that would change a URL's
//                  meaning (space, quotes, "#", "%", "?", "<", ">", "`",
//                  "{", "}", "|", "^", "[", "]", control and non-ASCII bytes)
//                  percent-encoded; "/" and "\" stay.
//   kHeaderValue   an RFC 5987 header value (filename*=UTF-8''...): every
//                  byte but letters, digits, ".", "-" and "_" percent-encoded.
//   kScriptString  the inside of a JavaScript string literal in either kind
//                  of quotes, also inside an HTML attribute or a <script>
//                  element: "'" as "\'", "\" as "\\", and every byte that could
//                  end the string, the attribute or the element (quotes, "<",
//                  ">", "&", "`", control bytes, DEL) as \xHH. Bytes of 0x80
//                  and above stay, so UTF-8 names survive.
//
// Thread safety: pure functions over constant tables.
#pragma once

#include <string>
#include <string_view>

namespace tellwen::query {

enum class Escaping {
  kHtmlText,
  kHtmlTextNbsp,
  kHtmlAttribute,
  kMarkupFree,
  kUrlComponent,
  kUrlPath,
  kHeaderValue,
  kScriptString,
};

// text with every byte replaced as the context's table says.
std::string Escape(std::string_view text, Escaping how);
// The same, appended to *out.
void AppendEscaped(std::string_view text, Escaping how, std::string* out);

// The contexts by name, for the pages' call sites.
inline std::string HtmlEscape(std::string_view text) { return Escape(text, Escaping::kHtmlText); }
inline std::string HtmlEscapeSpaces(std::string_view text) {
  return Escape(text, Escaping::kHtmlTextNbsp);
}
inline std::string HtmlAttrEscape(std::string_view text) {
  return Escape(text, Escaping::kHtmlAttribute);
}
inline std::string UrlEncode(std::string_view text) {
  return Escape(text, Escaping::kUrlComponent);
}
inline std::string JsEscape(std::string_view text) { return Escape(text, Escaping::kScriptString); }

}  // namespace tellwen::query
