#include "web/charts.h"

#include <algorithm>
#include <cstdio>

#include "web/html.h"

namespace zel::web {
namespace {

constexpr int kBarSpan = 360;  // the longest bar
constexpr int kRowHeight = 24;
constexpr double kCharWidth = 7.5;  // a generous average for the 13px text
constexpr size_t kLabelChars = 30;  // longer labels are cut with an ellipsis

size_t Characters(const std::string& text) {
  size_t count = 0;
  for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

// `text` cut to at most `limit` characters (not bytes), with an ellipsis when cut.
std::string Cut(const std::string& text, size_t limit) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (++characters > limit) return text.substr(0, i) + "\xE2\x80\xA6";
  }
  return text;
}

std::string Number(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f", value);
  return buffer;
}

}  // namespace

std::string BarChart(std::string_view caption, std::string_view label_heading,
                     std::string_view value_heading, const std::vector<Bar>& bars) {
  if (bars.empty()) return {};
  double top = 0;
  size_t label_chars = 4, value_chars = 4;
  for (const Bar& bar : bars) {
    top = std::max(top, bar.value);
    label_chars = std::max(label_chars, std::min(kLabelChars + 1, Characters(bar.label)));
    value_chars = std::max(value_chars, Characters(bar.value_text));
  }
  // Labels end at label_width, right-aligned; the figure follows each bar's end.
  const int label_width = static_cast<int>(label_chars * kCharWidth) + 12;
  const int width = label_width + kBarSpan + static_cast<int>(value_chars * kCharWidth) + 12;
  const int height = static_cast<int>(bars.size()) * kRowHeight + 4;
  const double span = kBarSpan;
  const std::string size = std::to_string(width) + "\" height=\"" + std::to_string(height);
  std::string svg = "<svg class=\"chart\" width=\"" + size + "\" viewBox=\"0 0 " +
                    std::to_string(width) + " " + std::to_string(height) +
                    "\" aria-hidden=\"true\" focusable=\"false\" "
                    "xmlns=\"http://www.w3.org/2000/svg\">\n";
  std::string rows;
  for (size_t i = 0; i < bars.size(); ++i) {
    const Bar& bar = bars[i];
    const int y = static_cast<int>(i) * kRowHeight + 2;
    const double length = top > 0 ? std::max(1.0, bar.value / top * span) : 1.0;
    svg += "<text x=\"" + std::to_string(label_width - 8) + "\" y=\"" + std::to_string(y + 16) +
           "\" text-anchor=\"end\">" + Escape(Cut(bar.label, kLabelChars)) + "</text><rect x=\"" +
           std::to_string(label_width) + "\" y=\"" + std::to_string(y + 4) + "\" width=\"" +
           Number(length) + "\" height=\"" + std::to_string(kRowHeight - 8) +
           "\" rx=\"2\"/><text class=\"value\" x=\"" + Number(label_width + length + 6) +
           "\" y=\"" + std::to_string(y + 16) + "\">" + Escape(bar.value_text) + "</text>\n";
    rows +=
        "<tr><th scope=\"row\">" +
        (bar.link.empty() ? Escape(bar.label)
                          : "<a href=\"" + Escape(bar.link) + "\">" + Escape(bar.label) + "</a>") +
        "</th><td>" + Escape(bar.value_text) + "</td></tr>\n";
  }
  svg += "</svg>\n";
  return "<figure class=\"chart\">\n<figcaption>" + Escape(caption) + "</figcaption>\n" + svg +
         "<table class=\"sr\">\n<caption>" + Escape(caption) +
         "</caption>\n<thead><tr><th "
         "scope=\"col\">" +
         Escape(label_heading) + "</th><th scope=\"col\">" + Escape(value_heading) +
         "</th></tr></thead>\n<tbody>\n" + rows + "</tbody>\n</table>\n</figure>\n";
}

}  // namespace zel::web
