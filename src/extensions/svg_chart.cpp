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
constexpr double kTitleSize = 16;  // font sizes
constexpr double kNoteSize = 12;
// A generous width of one character of the sans-serif font, in ems, and the
// room kept free on either side of a centred text.
constexpr double kCharWidth = 0.65;
constexpr double kTextMargin = 20;

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

// Pixels a centred line of [text] at [size] needs, margins included.
double textWidth(const std::string& text, double size) {
  const auto characters = std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; });
  return static_cast<double>(characters) * size * kCharWidth + 2 * kTextMargin;
}

}  // namespace

AxisTicks fittedTicks(double largest) {
  if (!(largest > 0.0) || !std::isfinite(largest)) return {100, 25};
  constexpr int kMostSteps = 5;
  // A rounding residue above a round number (50.00000000000001 for a
  // probability of one half) does not ask for one more step.
  const double reach = largest * (1 - 1e-9);
  const double magnitude = std::pow(10.0, std::floor(std::log10(reach / kMostSteps)));
  double step = 10 * magnitude;
  for (double m : {1.0, 2.0, 5.0}) {
    if (m * magnitude * kMostSteps >= reach) {
      step = m * magnitude;
      break;
    }
  }
  const double steps = std::max(1.0, std::ceil(reach / step));
  return {steps * step, step};
}

std::string barChartSvg(const ChartText& text, const std::vector<ChartBar>& bars, ChartScale scale) {
  const bool upright = bars.size() <= kUpright;
  const double slotWanted = upright ? 72 : 18;
  // Wide enough for the bars, and for the title and the note, which are never cut.
  const double textsWidth = std::max(textWidth(text.title, kTitleSize), textWidth(text.note, kNoteSize));
  const double plotWidth = std::max({kMinPlotWidth, slotWanted * static_cast<double>(bars.size()),
                                     textsWidth - kLeft - kRight});
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
      << "<text x=\"" << num(width / 2) << "\" y=\"28\" text-anchor=\"middle\" font-size=\"" << num(kTitleSize) << "\">"
      << escaped(text.title)
      << "</text>\n";
  if (!text.note.empty()) {
    svg << "<text x=\"" << num(width / 2) << "\" y=\"48\" text-anchor=\"middle\" fill=\"#555\">" << escaped(text.note)
        << "</text>\n";
  }
  double largest = 0.0;
  for (const ChartBar& bar : bars) {
    if (bar.p > largest) largest = bar.p;  // a NaN never is
  }
  const AxisTicks axis = scale == ChartScale::Full ? AxisTicks{100, 25} : fittedTicks(largest * 100);
  const int ticks = static_cast<int>(std::lround(axis.top / axis.step));
  for (int tick = 0; tick <= ticks; ++tick) {
    const double y = base - kPlotHeight * tick / ticks;
    svg << "<line class=\"grid\" x1=\"" << num(kLeft) << "\" y1=\"" << num(y) << "\" x2=\"" << num(kLeft + plotWidth)
        << "\" y2=\"" << num(y) << "\" stroke=\"#dddddd\"/>\n"
        << "<text class=\"tick\" x=\"" << num(kLeft - 8) << "\" y=\"" << num(y + 4) << "\" text-anchor=\"end\">"
        << num(tick * axis.step) << "%</text>\n";
  }
  for (size_t i = 0; i < bars.size(); ++i) {
    const ChartBar& bar = bars[i];
    const double p = std::isnan(bar.p) ? 0.0 : std::clamp(bar.p * 100 / axis.top, 0.0, 1.0);
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
