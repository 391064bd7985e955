#include "extensions/svg_chart.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "value/printer.h"

namespace {

// Layout in pixels.
constexpr double kLeft = 80;  // room for the tick labels and the axis title
constexpr double kRight = 30;
constexpr double kTop = 70;            // title and note
constexpr double kPlotHeight = 300;    // 100 %
constexpr double kBottom = 60;         // upright labels and the axis title
constexpr double kBottomTurned = 110;  // turned labels and the axis title
constexpr double kMinPlotWidth = 360;
constexpr size_t kUpright = 16;  // up to this many bars labels stay upright
constexpr const char* kBarColour = "#3b6fc4";

std::string num(double x) { return formatDouble(x); }

// [text] with the characters XML reserves written as entities.
std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

std::string barChartSvg(const ChartText& text, const std::vector<ChartBar>& bars) {
  const bool upright = bars.size() <= kUpright;
  const double slotWanted = upright ? 72 : 18;
  const double plotWidth = std::max(kMinPlotWidth, slotWanted * static_cast<double>(bars.size()));
  const double slot = bars.empty() ? plotWidth : plotWidth / static_cast<double>(bars.size());
  const double width = kLeft + plotWidth + kRight;
  const double height = kTop + kPlotHeight + (upright ? kBottom : kBottomTurned);
  const double base = kTop + kPlotHeight;

  std::ostringstream svg;
  svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << num(width) << "\" height=\"" << num(height)
      << "\" viewBox=\"0 0 " << num(width) << " " << num(height) << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
      << "<title>" << escaped(text.title) << "</title>\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
      << "<text x=\"" << num(width / 2) << "\" y=\"28\" text-anchor=\"middle\" font-size=\"16\">" << escaped(text.title)
      << "</text>\n";
  if (!text.note.empty()) {
    svg << "<text x=\"" << num(width / 2) << "\" y=\"48\" text-anchor=\"middle\" fill=\"#555\">" << escaped(text.note)
        << "</text>\n";
  }
  for (int tick = 0; tick <= 4; ++tick) {
    const double y = base - kPlotHeight * tick / 4;
    svg << "<line class=\"grid\" x1=\"" << num(kLeft) << "\" y1=\"" << num(y) << "\" x2=\"" << num(kLeft + plotWidth)
        << "\" y2=\"" << num(y) << "\" stroke=\"#dddddd\"/>\n"
        << "<text x=\"" << num(kLeft - 8) << "\" y=\"" << num(y + 4) << "\" text-anchor=\"end\">" << tick * 25
        << "%</text>\n";
  }
  for (size_t i = 0; i < bars.size(); ++i) {
    const ChartBar& bar = bars[i];
    const double p = std::isnan(bar.p) ? 0.0 : std::clamp(bar.p, 0.0, 1.0);
    const double centre = kLeft + slot * (static_cast<double>(i) + 0.5);
    const double top = base - kPlotHeight * p;
    const std::string value = formatDouble(bar.p * 100) + "%";
    svg << "<rect class=\"bar\" x=\"" << num(centre - slot * 0.35) << "\" y=\"" << num(top) << "\" width=\""
        << num(slot * 0.7) << "\" height=\"" << num(base - top) << "\" fill=\"" << kBarColour << "\"><title>"
        << escaped(bar.label) << ": " << value << "</title></rect>\n";
    if (upright) {
      svg << "<text x=\"" << num(centre) << "\" y=\"" << num(top - 5) << "\" text-anchor=\"middle\" font-size=\"10\">"
          << value << "</text>\n"
          << "<text x=\"" << num(centre) << "\" y=\"" << num(base + 18) << "\" text-anchor=\"middle\">"
          << escaped(bar.label) << "</text>\n";
    } else {
      svg << "<text x=\"" << num(centre + 4) << "\" y=\"" << num(base + 8)
          << "\" text-anchor=\"end\" transform=\"rotate(-90 " << num(centre + 4) << " " << num(base + 8) << ")\">"
          << escaped(bar.label) << "</text>\n";
    }
  }
  svg << "<line class=\"axis\" x1=\"" << num(kLeft) << "\" y1=\"" << num(kTop) << "\" x2=\"" << num(kLeft) << "\" y2=\""
      << num(base) << "\" stroke=\"black\"/>\n"
      << "<line class=\"axis\" x1=\"" << num(kLeft) << "\" y1=\"" << num(base) << "\" x2=\"" << num(kLeft + plotWidth)
      << "\" y2=\"" << num(base) << "\" stroke=\"black\"/>\n"
      << "<text x=\"20\" y=\"" << num(kTop + kPlotHeight / 2) << "\" text-anchor=\"middle\" transform=\"rotate(-90 20 "
      << num(kTop + kPlotHeight / 2) << ")\">probability</text>\n"
      << "<text x=\"" << num(kLeft + plotWidth / 2) << "\" y=\"" << num(height - 12) << "\" text-anchor=\"middle\">"
      << escaped(text.xTitle) << "</text>\n"
      << "</svg>\n";
  return svg.str();
}
