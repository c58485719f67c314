// Statements of one shape (alike but for their literals) share one translation.
#include "store/sql_translator.h"

#include <cctype>

#include "frame/text.h"
#include "store/sql_translator_internal.h"

namespace zel::store {

bool ShapeOf(std::string_view sql, StatementShape& shape) {
  shape.key.clear();
  shape.literals.clear();
  shape.kinds.clear();
  const size_t n = sql.size();
  size_t span = 0;  // the start of the text not yet copied to the key
  // The last character before `i` that is not blank: a sign there folds into a number.
  const auto sign_before = [&](size_t i) {
    while (i > 0 && std::isspace(static_cast<unsigned char>(sql[i - 1]))) --i;
    return i > 0 && (sql[i - 1] == '-' || sql[i - 1] == '+');
  };
  size_t i = 0;
  while (i < n) {
    const char c = sql[i];
    if (IsWordStart(c)) {
      size_t j = i + 1;
      while (j < n && IsWordChar(sql[j])) ++j;
      if (j - i == 4 && EqualsIgnoreCase(sql.substr(i, 4), "like")) return false;
      i = j;
      continue;
    }
    switch (c) {
      case '\x01':
      case '\x02':
      case ';':
      case '#':
        return false;
      case '-':
      case '/':
        if (i + 1 < n && sql[i + 1] == (c == '-' ? '-' : '*')) return false;
        ++i;
        continue;
      case '[':
      case '"':
      case '`': {
        const size_t end = sql.find(c == '[' ? ']' : c, i + 1);
        if (end == std::string_view::npos) return false;
        const std::string_view name = sql.substr(i, end + 1 - i);
        if (name.find_first_of("\x01\x02") != std::string_view::npos) return false;
        i = end + 1;
        continue;
      }
      case '\'': {
        shape.key.append(sql.substr(span, i - span));
        std::string value;
        size_t j = i + 1;
        for (;;) {
          const size_t quote = sql.find('\'', j);
          if (quote == std::string_view::npos) return false;
          value.append(sql.substr(j, quote - j));
          if (quote + 1 < n && sql[quote + 1] == '\'') {
            value += '\'';
            j = quote + 2;
            continue;
          }
          j = quote + 1;
          break;
        }
        shape.key += '\x01';
        shape.literals.push_back(std::move(value));
        shape.kinds.push_back(Literal::Kind::kText);
        i = span = j;
        continue;
      }
      default:
        break;
    }
    if (!NumberStarts(sql, i)) {
      ++i;
      continue;
    }
    // The translator folds a sign into the number after it, depending on what precedes.
    if (sign_before(i)) return false;
    const size_t j = NumberEnd(sql, i);
    shape.key.append(sql.substr(span, i - span));
    shape.key += '\x02';
    shape.literals.emplace_back(sql.substr(i, j - i));
    shape.kinds.push_back(Literal::Kind::kNumber);
    i = span = j;
  }
  shape.key.append(sql.substr(span));
  return true;
}

const Translation& TranslationCache::Get(std::string_view sql, const TableFinder& find_table,
                                         std::vector<std::string>& texts, Translation& scratch) {
  const auto texts_of = [&texts](const Translation& translation) -> const Translation& {
    texts.clear();
    for (const Literal& literal : translation.params) texts.push_back(literal.text);
    return translation;
  };
  if (!ShapeOf(sql, shape_)) {
    scratch = Translate(sql, find_table);
    return texts_of(scratch);
  }
  auto found = entries_.find(shape_.key);
  if (found != entries_.end()) {
    if (!found->second.cacheable) {
      scratch = Translate(sql, find_table);
      return texts_of(scratch);
    }
    texts.swap(shape_.literals);
    return found->second.translation;
  }
  scratch = Translate(sql, find_table);
  // Only a translation that took every literal of the shape as a parameter, unchanged and in
  // order, serves other statements of that shape.
  bool cacheable = scratch.kind != StatementKind::kCreateTable &&
                   scratch.kind != StatementKind::kDefinition &&
                   scratch.params.size() == shape_.literals.size();
  for (size_t i = 0; cacheable && i < scratch.params.size(); ++i) {
    cacheable =
        scratch.params[i].kind == shape_.kinds[i] && scratch.params[i].text == shape_.literals[i];
  }
  if (entries_.size() >= kCapacity) entries_.clear();
  Entry& entry = entries_[shape_.key];
  entry.cacheable = cacheable;
  if (!cacheable) return texts_of(scratch);
  entry.translation = scratch;
  for (Literal& literal : entry.translation.params) literal.text.clear();
  texts.swap(shape_.literals);
  return entry.translation;
}

}  // namespace zel::store
