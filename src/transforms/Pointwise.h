#pragma once
// Point-wise transforms: each point of a graph is rewritten from itself (and, for the
// quotient and decibel rules, from one typed number). Points keep their index; rules that
// drop points close the gaps in the old order; nothing is re-sorted, so X may stop
// ascending (1/X, X/Y, swap).
#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "core/Graph.h"

namespace tarvik {

// The eighteen rules, in the order of the toolbar and the X / Y sub-menus.
enum class PointwiseKind {
  ShiftX,     // X := X + v
  MultiplyX,  // X := X · v
  DivideX,    // X := X / v
  InvertX,    // X = 0 removed, else X := 1 / X
  ShiftY,
  MultiplyY,
  DivideY,
  SqrtAbs,    // Y := sqrt(|Y|)
  Square,     // Y := Y · Y
  Magnitude,  // Y := |Y|
  Negate,     // Y := −Y
  InvertY,    // Y = 0 removed, else Y := 1 / Y
  Normalize,  // Y := Y / M, M the joint peak magnitude (see peakMagnitude)
  ZeroX,      // X := X − smallest X of the graph
  Decibels,   // Y ≤ 0 removed, else Y := 20·log10(Y / v); title + " (dB)"
  XOverY,     // Y ≠ 0: X := X / Y; Y = 0: (0, 0); title + " (X/Y)"
  YOverX,     // X ≠ 0: Y := Y / X; X = 0: (0, 0); title + " (Y/X)"
  SwapXY,     // (X, Y) := (Y, X); title + " (Y<->X)"
};

// Whether the rule needs the number v.
bool pointwiseNeedsValue(PointwiseKind kind);

// Outcome of applying a rule to one graph.
struct PointwiseOutcome {
  // Set when a quotient of X/Y or Y/X was not finite: the point index at which it was
  // found. The graph is then left wholly unchanged (points and title).
  std::optional<std::size_t> faultIndex;
};

// Applies `kind` with the number `v` to every point of `graph` and changes its title where
// the rule says so. An empty graph is left unchanged (no title suffix). For Normalize, `v`
// is the joint peak M (a caller with M = 0 must not call). Divisors and the decibel base
// are used as given; the commands refuse 0 (and a base ≤ 0) before getting here.
PointwiseOutcome applyPointwise(Graph& graph, PointwiseKind kind, double v);

// Largest |Y| over the points, starting from 0; NaN is skipped. 0 for an empty span.
double peakMagnitude(std::span<const double> ys);

// Span kernels behind the rules. The compacting ones move the kept points to the front of
// both spans (old order) and return how many are kept.
std::size_t dropZerosAndInvert(std::span<double> target, std::span<double> other);
std::size_t dropNonPositiveToDecibels(std::span<double> xs, std::span<double> ys, double base);
// X/Y (numerators xs, divisors ys, result into xs) or Y/X (numerators ys, divisors xs,
// result into ys): a zero divisor gives the point (0, 0). Checks every quotient before
// writing; returns the index of the first non-finite one and writes nothing in that case.
std::optional<std::size_t> divideCoordinates(std::span<double> numerators,
                                             std::span<double> divisors);

// Keeps the first `count` points of `graph` (removing from the end, O(removed)).
void keepFirstPoints(Graph& graph, std::size_t count);

}  // namespace tarvik
