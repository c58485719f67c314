// The XML document model the importers read: a parsed document and handles to its nodes, over
// libxml2.
//
// A missing element or attribute is a value you can test (an empty Node, an empty optional), not a
// crash; calling a navigation member on an empty Node raises error 91 (missing object), as the
// importers expect of "a call on no node". Whitespace-only text between elements does not become
// nodes. Texts are UTF-8. Parsing never loads external entities or a DTD and never touches the
// network: a document that declares an external DTD or entity is refused, and so is one whose
// internal entities expand beyond a few megabytes.
//
// Node handles are valid while their Document lives. A Document is used on one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zel::xml {

class Node {
 public:
  Node() = default;

  // False for "no node".
  explicit operator bool() const { return node_ != nullptr; }
  bool IsElement() const;
  bool IsComment() const;

  // The element's name (raises 91 on no node).
  std::string Name() const;
  // The first child element of that name, or no node.
  Node Child(std::string_view name) const;
  // The child elements of that name, in document order.
  std::vector<Node> Children(std::string_view name) const;
  // All child nodes in document order: elements, comments and non-blank text.
  std::vector<Node> ChildNodes() const;
  // Whether the node has an attribute map (elements do, other nodes do not).
  bool HasAttributeMap() const { return IsElement(); }
  // The value of an attribute, or nullopt when the element has none of that name.
  std::optional<std::string> Attribute(std::string_view name) const;
  // The same without a copy: a view into the document where it holds the value as one piece, or
  // into `scratch` where the value had to be put together (entity references). Valid while the
  // document lives and `scratch` is neither changed nor destroyed.
  std::optional<std::string_view> AttributeView(std::string_view name, std::string& scratch) const;
  // Several values in one pass over the element's attributes: values[i] is the value of names[i],
  // or nullopt; a value put together from pieces goes to scratch[i]. The three spans are of one
  // size. Views are valid as those of AttributeView, each with its own scratch.
  void AttributeViews(std::span<const std::string_view> names,
                      std::span<std::optional<std::string_view>> values,
                      std::span<std::string> scratch) const;
  // Whether the element has any attribute.
  bool HasAttributes() const;
  // Every attribute as (name, value), in document order.
  std::vector<std::pair<std::string, std::string>> Attributes() const;
  // Text content of the node and its descendants.
  std::string Text() const;
  // The node and its descendants serialized as markup; the same content gives the same text.
  std::string Xml() const;
  // Line of the node in its source, 0 when unknown.
  int Line() const;

 private:
  friend class Document;
  explicit Node(void* node) : node_(node) {}
  void* node_ = nullptr;  // xmlNode*
};

struct ParseError {
  bool failed = false;
  std::string reason;       // what is wrong
  std::string source_text;  // the line of the source where it went wrong
  int line = 0;             // 1-based line, 0 when unknown
  // The markup is well-formed but refused as unsafe: it names an external DTD or entity, or its
  // entities expand beyond any real document's size. Nothing outside the markup was read.
  bool refused = false;
};

class Document {
 public:
  // Parses markup that is already text (UTF-8); an encoding named in its declaration is ignored.
  // A failed parse gives a document with no element and parse_error() set; it does not throw.
  static Document Parse(std::string_view markup);
  // Parses markup written in `encoding` (a name libxml2 knows, such as "windows-1252"); an
  // encoding named in its declaration is ignored. Safe to call on any thread; the document may be
  // handed to another thread, which must then be the only one to use it.
  static Document ParseBytes(std::string_view markup, const char* encoding);
  // Reads and parses a file in whatever encoding it declares (UTF-8 when it declares none).
  static Document Load(const std::string& path);

  Document(Document&&) noexcept;
  Document& operator=(Document&&) noexcept;
  ~Document();

  // The document element, or no node after a failed parse.
  Node Root() const;
  // The document element when it has that name, else no node (a selection from the document).
  Node Child(std::string_view name) const;
  const ParseError& parse_error() const { return error_; }

 private:
  Document();
  struct Impl;
  std::unique_ptr<Impl> impl_;
  ParseError error_;
};

}  // namespace zel::xml
