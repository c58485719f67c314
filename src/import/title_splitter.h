// Cuts a collection file into its titles as bytes, without building any tree.
//
// A small scanner follows the markup of the file (tags, comments, CDATA sections, processing
// instructions, the DOCTYPE) and finds where each child element of the document element begins
// and ends, so that each title can be parsed on its own and a title that is not well-formed
// costs that title alone. Only what the scanner cannot get past stops it: a file cut off inside a
// title or before the end of the document element, and markup after it.
//
// The file is read in chunks: memory holds the title being cut, not the file. It is converted to
// UTF-8 while reading, from whatever encoding it declares (windows-1252, the encoding of real
// exports, by a table) or its byte order mark gives, so titles are handed over as UTF-8 whatever
// the file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace zel {

// One child element of the document element (a title) and where it stands in the file.
struct TitleBytes {
  uint64_t position = 0;    // 1 for the first title of the file
  uint64_t line = 0;        // line of the file where the element starts
  uint64_t end_offset = 0;  // bytes of the file read up to the end of the element
  std::string markup;       // the element, UTF-8
  // Texts (UTF-8) of the element's first ID and Title children, when they hold plain text (no
  // markup, no reference to an entity of the document's own); "known" tells whether the ID did.
  // Control characters of the title show as U+FFFD.
  std::string id;
  bool id_known = false;
  std::string title;
};

class CollectionSplitter {
 public:
  // Opens the file and reads it up to the start tag of its document element. Raises 53 "File not
  // found: <path>" when the file cannot be opened, and 5 "<path> line N: <reason>" when it holds
  // no document element or the markup before it cannot be read.
  explicit CollectionSplitter(const std::string& path);
  ~CollectionSplitter();
  CollectionSplitter(const CollectionSplitter&) = delete;
  CollectionSplitter& operator=(const CollectionSplitter&) = delete;

  const std::string& root_name() const;
  // The file's DOCTYPE declaration (with its internal subset), UTF-8, followed by a line break;
  // empty when the file has none. Each title's document gets it, so that the
  // entities it declares are known there.
  const std::string& doctype() const;
  uint64_t bytes_total() const;

  // Cuts the next title; false after the last one, or when the file cannot be cut any further
  // (error() then says why and where).
  bool Next(TitleBytes& title);
  // Empty when the file ended as it should; otherwise "<path> line N: <what>" or "<path>: <what>".
  const std::string& error() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The document element of a piece of markup given as UTF-8 text (the single-title import): from
// its start tag to its end, past any declaration, DOCTYPE, comment or instruction before it. Empty
// when no element can be found whole.
std::string_view DocumentElement(std::string_view markup);

// The text of a run of character data of UTF-8 markup (no tags): character and predefined entity
// references resolved, line ends normalized. False when it refers to another entity or holds
// markup, whose meaning only the parser knows, and, when `strict`, when it holds a control
// character that no XML text may hold (otherwise shown as U+FFFD).
bool PlainText(std::string_view bytes, std::string& text, bool strict = true);

}  // namespace zel
