// Charts of the statistics page: tables of labels and figures with each row's bar drawn as inline
// SVG on the server. No scripts, no outside resources; screen readers read the table.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zel::web {

struct Bar {
  std::string label;
  double value = 0;
  std::string value_text;  // as the table and the bar's end show it
  std::string link;        // address the table's label leads to; empty for none
};

// A horizontal bar chart under `caption`; the table has the columns `label_heading` and
// `value_heading`. Empty when there are no bars.
std::string BarChart(std::string_view caption, std::string_view label_heading,
                     std::string_view value_heading, const std::vector<Bar>& bars);

}  // namespace zel::web
