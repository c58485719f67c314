// The pieces the pages of `zel serve` are built from: links, marks, field lists, sections, page
// and collection switches, credit and award tables, cover grids. Each returns HTML with every text
// escaped and every address value encoded.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "web/data.h"

namespace zel::web {

// A small mark beside a name or title ("voice", "on loan").
std::string Mark(std::string_view text);
// The marks of a title that is not simply on the shelf: ordered, wished for, lent out, a box set
// or a part of one.
std::string TitleMarks(const Json& title);
// A title linked to its page, with its year.
std::string TitleLink(const Json& title);
// "Series title – 1.03 Episode title", linked to the episode on its series page.
std::string EpisodeLink(const Json& episode);
// A title as an open <li> of a list: its link, medium and marks.
std::string TitleItem(const Json& title);

// One term of a field list; nothing when the value is empty.
std::string Field(std::string_view label, const std::string& value_html);
std::string TextField(std::string_view label, const std::string& text);
// A section with its heading; nothing when the body is empty.
std::string Section(std::string_view heading, const std::string& body);

// An address with query values, each encoded; empty values are left out.
std::string Address(std::string_view path,
                    const std::vector<std::pair<std::string, std::string>>& values);
// A link; `current` marks the page shown.
std::string A(const std::string& href, std::string_view text, bool current = false);

// The address of page n of a list.
using PageHref = std::function<std::string(int64_t)>;
// Numbered page links: the first, the last and those near the current one.
std::string Pager(int64_t page, int64_t pages, const PageHref& href);

// A credit list in credit order; dividers open a new group with their caption as its heading.
std::string CreditsTable(const Json& credits, bool cast, std::string_view caption);
// The nominees of an award, each linked to their page.
std::string Nominees(const Json& award);
// "Won", marked to stand out, or "Nominated".
std::string Result(const Json& nomination);
std::string AwardsTable(const Json& awards, bool with_title);

std::string SearchForm(const std::string& text);
// Titles as a grid of their small covers (or placeholders).
std::string CoverGrid(const Json& titles);
// The small cover of a title (its JSON has Cover and Title), or its placeholder.
std::string Thumbnail(const Json& title);

std::string Option(const std::string& value, const std::string& selected,
                   std::string_view label = {});
// A choice of `values` with "any" first; nothing when there is nothing to choose.
std::string Select(std::string_view label, std::string_view name, const Json& values,
                   const std::string& selected);
// The same without a visible label, for a compact bar: the label is read out, and the first
// choice says what is chosen ("Any genre").
std::string CompactSelect(std::string_view label, std::string_view any, std::string_view name,
                          const Json& values, const std::string& selected);

// The address word of a collection type given in JSON ("WishList" -> "wishlist", null -> "all").
std::string CollectionWord(const Json& type);
// The address of a list of the collection named by its address word.
using CollectionHref = std::function<std::string(const std::string&)>;
// The collection switch: one link per type that has titles (owned always), and "All".
std::string CollectionSwitch(const Json& counts, const std::string& current,
                             const CollectionHref& href);

}  // namespace zel::web
