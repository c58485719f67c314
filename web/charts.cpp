#include "web/charts.h"

#include <algorithm>
#include <cstdio>

#include "web/html.h"

namespace zel::web {
namespace {

constexpr int kBarSpan = 1000;  // the longest bar, in the units of each bar's drawing

std::string Number(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f", value);
  return buffer;
}

}  // namespace

// A table whose rows carry their bar: labels, bars and figures are laid out by the style sheet, the
// same for every chart, so that bars start at one line across charts and the text stays the size
// of the page's text on any screen. Only the bar is drawn, stretched to its cell.
std::string BarChart(std::string_view caption, std::string_view label_heading,
                     std::string_view value_heading, const std::vector<Bar>& bars) {
  if (bars.empty()) return {};
  double top = 0;
  for (const Bar& bar : bars) top = std::max(top, bar.value);
  std::string rows;
  for (const Bar& bar : bars) {
    const double length = top > 0 ? std::max(2.0, bar.value / top * kBarSpan) : 2.0;
    rows +=
        "<tr><th scope=\"row\">" +
        (bar.link.empty() ? Escape(bar.label)
                          : "<a href=\"" + Escape(bar.link) + "\">" + Escape(bar.label) + "</a>") +
        "</th><td><svg class=\"bar\" viewBox=\"0 0 " + std::to_string(kBarSpan) +
        " 10\" preserveAspectRatio=\"none\" aria-hidden=\"true\" focusable=\"false\" "
        "xmlns=\"http://www.w3.org/2000/svg\"><rect width=\"" +
        Number(length) + "\" height=\"10\" rx=\"1\"/></svg>" + Escape(bar.value_text) +
        "</td></tr>\n";
  }
  return "<figure class=\"chart\">\n<table class=\"chart\">\n<caption>" + Escape(caption) +
         "</caption>\n<thead class=\"sr\"><tr><th scope=\"col\">" + Escape(label_heading) +
         "</th><th scope=\"col\">" + Escape(value_heading) + "</th></tr></thead>\n<tbody>\n" +
         rows + "</tbody>\n</table>\n</figure>\n";
}

}  // namespace zel::web
