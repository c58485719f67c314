// The HTML side of `zel serve`: escaping, addresses, the page frame and the built-in stylesheet.
//
// Every text that reaches a page passes through Escape (element content and quoted attribute
// values alike), and every value placed in an address through EncodeSegment; the page functions in
// pages.cpp never append raw catalogue text.
#pragma once

#include <string>
#include <string_view>

namespace zel::web {

// `text` with &, <, >, " and ' replaced by character references.
std::string Escape(std::string_view text);

// `text` percent-encoded for one path segment or query value: everything but letters, digits and
// -._~ is encoded, "/" included, so a name holding "/" or "?" stays one segment.
std::string EncodeSegment(std::string_view text);

// The address of a page of one item, with the value encoded: Link("/person/", "Ann Lee"). A
// browser takes "." and "..", even encoded, for steps along the path, so those values, and values
// that begin with "~", get a "~" in front; LinkedValue takes it off again.
std::string Link(std::string_view prefix, std::string_view value);

// The value a decoded path segment made by Link stands for.
std::string LinkedValue(std::string_view segment);

// An <a> element with an escaped text and an encoded address built as by Link.
std::string Anchor(std::string_view prefix, std::string_view value, std::string_view text);

// The simple formatting of an overview or note rendered: <i>, <b>, <u>, <br> and <p> (any letter
// case, no attributes) become those elements, kept properly nested and closed; every other tag,
// every attribute and all other text is escaped. Line breaks become <br>. The character
// references &amp; &lt; &gt; &quot; &#39; &apos; and &nbsp; stay as they are.
std::string RichText(std::string_view text);

// The same text for a terminal: the formatting tags RichText renders are dropped, <br> becomes a
// line break and <p> a blank line, the character references it keeps are decoded (&nbsp; to a
// blank); every other tag stays as it is written. No line break at the end.
std::string PlainText(std::string_view text);

// The stand-in for a missing cover: a tinted box carrying the title, its tint chosen from the
// title so that neighbours differ. `small` for grids and lists.
std::string CoverPlaceholder(std::string_view title, bool small);

// A whole document: doctype, language, viewport, the stylesheet link, the site navigation, the
// given heading as the page title and `body` (already escaped HTML) inside <main>. `wide`: the
// page uses the whole width of the window (lists of covers and tables) rather than a column
// that reads comfortably.
std::string Page(std::string_view title, std::string_view body, bool wide = false);

// The stylesheet served at /style.css, built into the binary so that pages work offline.
std::string_view StyleSheet();

}  // namespace zel::web
