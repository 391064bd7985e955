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

// How high the probability axis reaches.
enum class ChartScale {
  Fitted,  // the largest bar, rounded up to a round number of round ticks
  Full,    // 0 to 100 % in quarters
};

// The top of a fitted axis and the step of its ticks, in percent: a step of
// 1, 2 or 5 times a power of ten, at most five steps, the last reaching
// [largest] (a percentage); 100 and 25 when [largest] is not positive and
// finite.
struct AxisTicks {
  double top;
  double step;
};
AxisTicks fittedTicks(double largest);

// The SVG document of [bars] side by side on an axis of [scale], with grid
// lines, the percentage over each bar (for up to 16 bars) and a tooltip on
// each. The document is wide enough for its title and note. Numbers go
// through the printer.
std::string barChartSvg(const ChartText& text, const std::vector<ChartBar>& bars, ChartScale scale);
