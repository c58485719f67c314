// The fingerprint by which the import recognises a title it has imported before, taken of the
// title's markup as bytes, so that an unchanged title needs no parse at all.
//
// It is the MD5 digest (32 lower-case hexadecimal digits) of the element's markup in a canonical
// form, UTF-8, in which whatever only changes how the markup is written counts as no change: the
// encoding of the file (the markup is always given as UTF-8), blanks between tags (re-indenting),
// blanks and line breaks inside tags, the quotes around attribute values, line ends (CR LF or LF),
// character references and the predefined entities versus the characters they stand for, CDATA
// sections versus escaped text, and <X></X> versus <X/>. A whitespace-only text that is an
// element's whole content stays, as it does in the parsed element. Comments and processing
// instructions count as nothing, since the import stores nothing of them: a title whose markup
// differs only in those is unchanged. References to entities of the document's own count as
// written.
//
// The single-title import and the collection import take it of the same bytes, so they agree;
// and the markup that a DOM serializes from a parsed title gives the fingerprint of the original.
#pragma once

#include <string>
#include <string_view>

namespace zel {

// The fingerprint of the element `markup` (UTF-8, one element, nothing before or after it). Never
// fails: markup that is not well-formed gets a fingerprint too.
std::string TitleFingerprint(std::string_view markup);

}  // namespace zel
