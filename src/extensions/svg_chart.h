// A bar chart as a standalone SVG document: what plot_file writes.
#pragma once

#include <string>
#include <vector>

// One bar: the label under it and its height as a probability (0 to 1;
// clamped, a NaN draws no bar).
struct ChartBar {
  std::string label;
  double p;
};

// The texts around the bars.
struct ChartText {
  std::string title;   // above the chart
  std::string note;    // a smaller line under the title; may be empty
  std::string xTitle;  // under the labels
};

// The SVG document of [bars] side by side on a 0–100 % axis with grid
// lines, the percentage over each bar (for up to 16 bars) and a tooltip on
// each. Numbers go through the printer.
std::string barChartSvg(const ChartText& text, const std::vector<ChartBar>& bars);
