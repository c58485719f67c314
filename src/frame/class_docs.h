// Descriptions of classes and members for people, made from the member tables alone: what the
// generated reference (docs/reference.md) and Python's help() show. Nothing here lists a member.
#pragma once

#include <string>
#include <string_view>

#include "frame/object.h"

namespace zel {

// A member as a script calls it: `Add(Title, EpisodeNumber, OriginalTitle="")`. Optional parameters
// show their default, or `=None` when leaving them out passes nothing; a property without
// parameters is its bare name.
std::string MemberSignature(const Member& member);

// What kind of member it is: "method", "property, read-only", "property, write-only",
// "property, read/write" or "object property, read/write" (assigned an object reference), followed
// by ", default member"
// for the member that calling or indexing the object reaches and ", for-each" for the enumerator.
std::string MemberKind(const Member& member);

// One sentence saying what the class stands for; empty for a class that has none.
std::string_view ClassSummary(std::string_view class_name);

// The help text of a class: its summary, whether callers can create it, then one line per member
// in interface order ("  Signature  -- kind").
std::string ClassHelp(const ClassInfo& info);

}  // namespace zel
