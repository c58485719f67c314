#include "import/xml_document.h"

#include "import/windows1252.h"

#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <unordered_map>

#include "frame/error.h"

namespace zel::xml {

namespace {

struct DocFree {
  void operator()(xmlDoc* doc) const noexcept { xmlFreeDoc(doc); }
};
struct ContextFree {
  void operator()(xmlParserCtxt* context) const noexcept { xmlFreeParserCtxt(context); }
};
struct BufferFree {
  void operator()(xmlBuffer* buffer) const noexcept { xmlBufferFree(buffer); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;
using ContextPtr = std::unique_ptr<xmlParserCtxt, ContextFree>;
using BufferPtr = std::unique_ptr<xmlBuffer, BufferFree>;

// Options shared by every parse. No network, no external subset, no entity substitution (an
// external entity reference stays an unresolved reference), no error printing (errors are read
// from the context), and the library's default size limits (no XML_PARSE_HUGE). Short texts, as
// most attribute values are, are kept inside their node (XML_PARSE_COMPACT): a title's parse then
// allocates and frees about a third fewer pieces. The tree must then not be changed, apart from
// unlinking and freeing nodes, which the library does knowing of such texts.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR |
                              XML_PARSE_NOWARNING | XML_PARSE_NOCDATA | XML_PARSE_COMPACT;

// Deep enough for any real document; bounds the walk through nested internal entities.
constexpr int kMaxTextDepth = 256;

void InitOnce() {
  static const bool initialised = [] {
    xmlInitParser();
    return true;
  }();
  (void)initialised;
}

xmlNode* AsNode(void* node) { return static_cast<xmlNode*>(node); }

// Whether a name of the tree is `name`, without measuring it first.
bool SameName(const xmlChar* tree_name, std::string_view name) {
  const auto* text = reinterpret_cast<const char*>(tree_name);
  return std::strncmp(text, name.data(), name.size()) == 0 && text[name.size()] == '\0';
}

const char* NameOf(const xmlNode* node) { return reinterpret_cast<const char*>(node->name); }

bool IsBlank(const xmlChar* text) {
  if (text == nullptr) return true;
  for (; *text != 0; ++text) {
    if (*text != ' ' && *text != '\t' && *text != '\n' && *text != '\r') return false;
  }
  return true;
}

bool IsTextNode(const xmlNode* node) {
  return node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE;
}

bool HasElementChild(const xmlNode* node) {
  for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) return true;
  }
  return false;
}

// The parser keeps whitespace-only text in some places (its blank detection is a heuristic), so
// the tree is cleaned once after parsing: between elements, whitespace never becomes a node. Text
// that is an element's only content stays, whatever it holds.
void DropBlankText(xmlNode* node) {
  const bool mixed = HasElementChild(node);
  xmlNode* child = node->children;
  while (child != nullptr) {
    xmlNode* next = child->next;
    if (mixed && IsTextNode(child) && IsBlank(child->content)) {
      xmlUnlinkNode(child);
      xmlFreeNode(child);
    } else if (child->type == XML_ELEMENT_NODE) {
      DropBlankText(child);
    }
    child = next;
  }
}

// Text of a list of nodes and their descendants. A reference to an internal entity contributes
// the entity's text; a reference to an external entity contributes nothing, since such entities
// are never loaded.
void AppendText(const xmlNode* first, std::string& out, int depth) {
  if (depth > kMaxTextDepth) return;
  for (const xmlNode* node = first; node != nullptr; node = node->next) {
    switch (node->type) {
      case XML_TEXT_NODE:
      case XML_CDATA_SECTION_NODE:
        if (node->content != nullptr) out += reinterpret_cast<const char*>(node->content);
        break;
      case XML_ELEMENT_NODE:
        AppendText(node->children, out, depth + 1);
        break;
      case XML_ENTITY_REF_NODE: {
        const xmlEntity* entity = xmlGetDocEntity(node->doc, node->name);
        if (entity != nullptr && entity->etype == XML_INTERNAL_GENERAL_ENTITY) {
          if (entity->children != nullptr) {
            AppendText(entity->children, out, depth + 1);
          } else if (entity->content != nullptr) {
            out += reinterpret_cast<const char*>(entity->content);
          }
        }
        break;
      }
      default:
        break;
    }
  }
}

xmlNode* Require(void* node) {
  if (node == nullptr) Raise(errc::kMissingObject);
  return AsNode(node);
}

std::string LineOf(std::string_view text, int line) {
  if (line <= 0) return {};
  size_t start = 0;
  for (int i = 1; i < line; ++i) {
    const size_t end = text.find('\n', start);
    if (end == std::string_view::npos) return {};
    start = end + 1;
  }
  size_t end = text.find('\n', start);
  if (end == std::string_view::npos) end = text.size();
  if (end > start && text[end - 1] == '\r') --end;
  return std::string(text.substr(start, end - start));
}

ParseError ErrorOf(const xmlParserCtxt* context, std::string_view source) {
  ParseError error;
  error.failed = true;
  const xmlError& last = context->lastError;
  if (last.message != nullptr) {
    error.reason = last.message;
    while (!error.reason.empty() && (error.reason.back() == '\n' || error.reason.back() == '\r')) {
      error.reason.pop_back();
    }
  }
  if (error.reason.empty()) error.reason = "The document is not well-formed XML";
  error.line = last.line > 0 ? last.line : 0;
  error.source_text = LineOf(source, error.line);
  return error;
}

// --- untrusted input ---------------------------------------------------------------------------

// Collection and award files come from outside. Beyond what the parse options already prevent
// (the network, DTD loading, entity substitution), a document is refused outright when it names
// anything outside its own text (an external DTD or external entity: reading one could disclose a
// local file) or when its internal entities would expand to more text than any real document
// holds (the "billion laughs" and the quadratic blow-up), since the importers expand references
// when they read texts.
constexpr size_t kMaxEntityText = size_t{1} << 20;     // one entity's expansion
constexpr size_t kMaxExpandedText = size_t{16} << 20;  // all references of one document or element

std::string Describe(const xmlEntity* entity) {
  std::string where;
  if (entity->SystemID != nullptr) where = reinterpret_cast<const char*>(entity->SystemID);
  if (where.empty() && entity->ExternalID != nullptr) {
    where = reinterpret_cast<const char*>(entity->ExternalID);
  }
  return "'" + std::string(reinterpret_cast<const char*>(entity->name)) + "' (" + where + ")";
}

class EntityCheck {
 public:
  explicit EntityCheck(xmlDoc* doc) : doc_(doc) {}

  // Why the document's declarations are refused, or empty text.
  std::string CheckDeclarations() {
    xmlDtd* dtd = doc_->intSubset;
    if (doc_->extSubset != nullptr ||
        (dtd != nullptr && (dtd->SystemID != nullptr || dtd->ExternalID != nullptr))) {
      return "the document refers to an external DTD; external files are never read";
    }
    if (dtd == nullptr) return {};
    for (xmlNode* node = dtd->children; node != nullptr; node = node->next) {
      if (node->type != XML_ENTITY_DECL) continue;
      const auto* entity = reinterpret_cast<const xmlEntity*>(node);
      switch (entity->etype) {
        case XML_INTERNAL_GENERAL_ENTITY:
          if (Size(entity) > kMaxEntityText) return TooLarge(entity);
          break;
        case XML_INTERNAL_PARAMETER_ENTITY:
        case XML_INTERNAL_PREDEFINED_ENTITY:
          break;
        default:
          return "the document declares the external entity " + Describe(entity) +
                 "; external entities are never read";
      }
    }
    return {};
  }

  // Why the references under `node` are refused, or empty text.
  std::string CheckReferences(const xmlNode* node) {
    size_t total = 0;
    Walk(node, total);
    if (total > kMaxExpandedText) {
      return "the document's entity references expand to more than " +
             std::to_string(kMaxExpandedText) + " bytes";
    }
    return {};
  }

 private:
  static constexpr size_t kRefused = SIZE_MAX;

  static size_t Add(size_t a, size_t b) { return a > kRefused - b ? kRefused : a + b; }

  std::string TooLarge(const xmlEntity* entity) const {
    return "the entity '" + std::string(reinterpret_cast<const char*>(entity->name)) +
           "' expands to more than " + std::to_string(kMaxEntityText) +
           " bytes (or refers to itself)";
  }

  // Bytes of an internal entity's text with every reference in it expanded; kRefused for a
  // reference loop, an external entity or text beyond the limit.
  size_t Size(const xmlEntity* entity) {
    if (entity->etype != XML_INTERNAL_GENERAL_ENTITY) return kRefused;
    auto found = sizes_.find(entity);
    if (found != sizes_.end()) return found->second;
    sizes_[entity] = kRefused;  // a reference back to an entity being measured is a loop
    const std::string_view content =
        entity->content != nullptr ? reinterpret_cast<const char*>(entity->content) : "";
    size_t size = 0;
    for (size_t i = 0; i < content.size() && size <= kMaxEntityText;) {
      const size_t amp = content.find('&', i);
      if (amp == std::string_view::npos) {
        size = Add(size, content.size() - i);
        break;
      }
      size = Add(size, amp - i);
      const size_t semicolon = content.find(';', amp);
      if (semicolon == std::string_view::npos || content.substr(amp + 1, 1) == "#") {
        size = Add(size, 1);
        i = amp + 1;
        continue;
      }
      const std::string name(content.substr(amp + 1, semicolon - amp - 1));
      const xmlEntity* inner =
          xmlGetDocEntity(doc_, reinterpret_cast<const xmlChar*>(name.c_str()));
      size = inner == nullptr                                 ? Add(size, semicolon - amp + 1)
             : inner->etype == XML_INTERNAL_PREDEFINED_ENTITY ? Add(size, 1)
                                                              : Add(size, Size(inner));
      i = semicolon + 1;
    }
    sizes_[entity] = size;
    return size;
  }

  void Walk(const xmlNode* node, size_t& total) {
    for (; node != nullptr && total <= kMaxExpandedText; node = node->next) {
      if (node->type == XML_ENTITY_REF_NODE) {
        const xmlEntity* entity = xmlGetDocEntity(doc_, node->name);
        if (entity != nullptr) total = Add(total, Size(entity));
        continue;
      }
      if (node->type == XML_ELEMENT_NODE) {
        for (const xmlAttr* attribute = node->properties; attribute != nullptr;
             attribute = attribute->next) {
          Walk(attribute->children, total);
        }
        Walk(node->children, total);
      }
    }
  }

  xmlDoc* doc_;
  std::unordered_map<const xmlEntity*, size_t> sizes_;
};

}  // namespace

// --- Node -------------------------------------------------------------------------------------

bool Node::IsElement() const { return node_ != nullptr && AsNode(node_)->type == XML_ELEMENT_NODE; }

bool Node::IsComment() const { return node_ != nullptr && AsNode(node_)->type == XML_COMMENT_NODE; }

std::string Node::Name() const {
  const xmlNode* node = Require(node_);
  switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
    case XML_ENTITY_REF_NODE:
    case XML_PI_NODE:
      return NameOf(node);
    case XML_TEXT_NODE:
      return "#text";
    case XML_CDATA_SECTION_NODE:
      return "#cdata-section";
    case XML_COMMENT_NODE:
      return "#comment";
    default:
      return node->name != nullptr ? NameOf(node) : std::string();
  }
}

Node Node::Child(std::string_view name) const {
  const xmlNode* node = Require(node_);
  for (xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && SameName(child->name, name)) return Node(child);
  }
  return Node();
}

std::vector<Node> Node::Children(std::string_view name) const {
  const xmlNode* node = Require(node_);
  std::vector<Node> found;
  for (xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && SameName(child->name, name)) {
      found.push_back(Node(child));
    }
  }
  return found;
}

std::vector<Node> Node::ChildNodes() const {
  const xmlNode* node = Require(node_);
  std::vector<Node> found;
  for (xmlNode* child = node->children; child != nullptr; child = child->next) {
    switch (child->type) {
      case XML_ELEMENT_NODE:
      case XML_COMMENT_NODE:
      case XML_PI_NODE:
      case XML_ENTITY_REF_NODE:
        found.push_back(Node(child));
        break;
      case XML_TEXT_NODE:
      case XML_CDATA_SECTION_NODE:
        if (!IsBlank(child->content)) found.push_back(Node(child));
        break;
      default:
        break;
    }
  }
  return found;
}

std::optional<std::string> Node::Attribute(std::string_view name) const {
  std::string scratch;
  const std::optional<std::string_view> value = AttributeView(name, scratch);
  if (!value) return std::nullopt;
  return std::string(*value);
}

namespace {

// The value of `attribute` in place where the document holds it as one piece, else put together
// in `scratch`.
std::string_view ValueOf(const xmlAttr* attribute, std::string& scratch) {
  const xmlNode* value_node = attribute->children;
  if (value_node && !value_node->next && value_node->type == XML_TEXT_NODE && value_node->content) {
    return std::string_view(reinterpret_cast<const char*>(value_node->content));
  }
  scratch.clear();
  AppendText(value_node, scratch, 0);
  return std::string_view(scratch);
}

}  // namespace

std::optional<std::string_view> Node::AttributeView(std::string_view name,
                                                    std::string& scratch) const {
  const xmlNode* node = Require(node_);
  if (node->type != XML_ELEMENT_NODE) return std::nullopt;
  for (const xmlAttr* attribute = node->properties; attribute != nullptr;
       attribute = attribute->next) {
    if (SameName(attribute->name, name)) return ValueOf(attribute, scratch);
  }
  return std::nullopt;
}

void Node::AttributeViews(std::span<const std::string_view> names,
                          std::span<std::optional<std::string_view>> values,
                          std::span<std::string> scratch) const {
  const xmlNode* node = Require(node_);
  for (std::optional<std::string_view>& value : values) value.reset();
  if (node->type != XML_ELEMENT_NODE) return;
  for (const xmlAttr* attribute = node->properties; attribute != nullptr;
       attribute = attribute->next) {
    for (size_t i = 0; i < names.size(); ++i) {
      if (!values[i] && SameName(attribute->name, names[i])) {
        values[i] = ValueOf(attribute, scratch[i]);
        break;
      }
    }
  }
}

bool Node::HasAttributes() const {
  const xmlNode* node = Require(node_);
  return node->type == XML_ELEMENT_NODE && node->properties != nullptr;
}

std::vector<std::pair<std::string, std::string>> Node::Attributes() const {
  const xmlNode* node = Require(node_);
  std::vector<std::pair<std::string, std::string>> found;
  if (node->type != XML_ELEMENT_NODE) return found;
  for (const xmlAttr* attribute = node->properties; attribute != nullptr;
       attribute = attribute->next) {
    std::string value;
    AppendText(attribute->children, value, 0);
    found.emplace_back(reinterpret_cast<const char*>(attribute->name), std::move(value));
  }
  return found;
}

std::string Node::Text() const {
  const xmlNode* node = Require(node_);
  std::string text;
  switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
      AppendText(node->children, text, 0);
      break;
    case XML_ENTITY_REF_NODE:
      AppendText(node, text, 0);
      break;
    default:
      if (node->content != nullptr) text = reinterpret_cast<const char*>(node->content);
      break;
  }
  return text;
}

std::string Node::Xml() const {
  xmlNode* node = Require(node_);
  BufferPtr buffer(xmlBufferCreate());
  if (!buffer) throw std::bad_alloc();
  // No indentation and no added line breaks: the text depends only on the node's content.
  if (xmlNodeDump(buffer.get(), node->doc, node, 0, 0) < 0) {
    Raise(errc::kInvalidArgument, "The node cannot be serialized");
  }
  return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                     static_cast<size_t>(xmlBufferLength(buffer.get())));
}

int Node::Line() const {
  const long line = xmlGetLineNo(Require(node_));
  return line > 0 ? static_cast<int>(line) : 0;
}

// --- Document ---------------------------------------------------------------------------------

struct Document::Impl {
  DocPtr doc;
};

Document::Document() : impl_(std::make_unique<Impl>()) {}
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;
Document::~Document() = default;

namespace {

// Parses `source` with a fresh context. `encoding` forces the input encoding (the declaration is
// then ignored); nullptr lets the document's declaration or byte order mark decide.
DocPtr ParseSource(std::string_view source, const char* url, const char* encoding,
                   ParseError& error) {
  if (source.size() > static_cast<size_t>(INT32_MAX)) {
    error.failed = true;
    error.reason = "The document is too large";
    return nullptr;
  }
  InitOnce();
  ContextPtr context(xmlNewParserCtxt());
  if (!context) throw std::bad_alloc();
  int options = kParseOptions;
  if (encoding != nullptr) options |= XML_PARSE_IGNORE_ENC;
  DocPtr doc(xmlCtxtReadMemory(context.get(), source.data(), static_cast<int>(source.size()), url,
                               encoding, options));
  if (!doc || xmlDocGetRootElement(doc.get()) == nullptr) {
    error = ErrorOf(context.get(), source);
    return nullptr;
  }
  EntityCheck check(doc.get());
  std::string refused = check.CheckDeclarations();
  if (refused.empty()) refused = check.CheckReferences(xmlDocGetRootElement(doc.get()));
  if (!refused.empty()) {
    error.failed = true;
    error.refused = true;
    error.reason = std::move(refused);
    return nullptr;
  }
  DropBlankText(xmlDocGetRootElement(doc.get()));
  return doc;
}

}  // namespace

Document Document::Parse(std::string_view markup) {
  Document document;
  document.impl_->doc = ParseSource(markup, nullptr, "UTF-8", document.error_);
  return document;
}

Document Document::ParseBytes(std::string_view markup, const char* encoding) {
  RegisterWindows1252Decoder();
  Document document;
  document.impl_->doc = ParseSource(markup, nullptr, encoding, document.error_);
  return document;
}

Document Document::Load(const std::string& path) {
  RegisterWindows1252Decoder();
  Document document;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    document.error_.failed = true;
    document.error_.reason = "The file " + path + " cannot be read";
    return document;
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  document.impl_->doc = ParseSource(bytes.str(), path.c_str(), nullptr, document.error_);
  return document;
}

Node Document::Root() const {
  if (!impl_ || !impl_->doc) return Node();
  return Node(xmlDocGetRootElement(impl_->doc.get()));
}

Node Document::Child(std::string_view name) const {
  Node root = Root();
  if (root && name == NameOf(AsNode(root.node_))) return root;
  return Node();
}

}  // namespace zel::xml
