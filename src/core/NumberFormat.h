#pragma once
// Every way this system writes a number as text and reads one back. The decimal separator
// is always a parameter: the window passes the locale's, files that are defined with "."
// pass '.', tests pass both.
#include <optional>
#include <string>
#include <string_view>

namespace tarvik {

// General format with `digits` significant digits (15 for graph files, 10 for the point
// table, 5 for spectrum titles): rounded, trailing zeros dropped; scientific when the
// exponent e of 0.d1d2…×10^e is > digits or < −3 ("1.5E-6", "2.5E20", no plus sign),
// fixed otherwise ("0.0001", "120", "1.25"); "0" for zero; "INF", "-INF", "NAN".
std::string formatGeneral(double value, int digits, char decimalSeparator);

// Axis label of a linear axis: 10 significant digits, trailing zeros and point dropped,
// plain when −4 ≤ e ≤ 9 for value = d.ddd×10^e, else "1E-7", "2.5E+12". Both axis formats
// write "0" for a magnitude below 1e-15.
std::string formatAxisLabel(double value, char decimalSeparator);
// Axis label of a logarithmic axis: "0.########E+00" ("1E+03", "2.5E-07").
std::string formatLogAxisLabel(double value, char decimalSeparator);

// Short format of the mouse readout: 3 significant digits, plain when −4 ≤ e ≤ 2, else
// "1.23E+03", "1.23E-05".
std::string formatShort(double value, char decimalSeparator);

// Three-digit format of the pulse measurement: plain (trailing zeros dropped) when
// |value| ≥ 0.00001 and at most 3 digits stand before the point, else "1.23E+05".
std::string formatThreeDigits(double value, char decimalSeparator);

// Exponent format of the energy title: 2 significant digits, "1.2E-08".
std::string formatExponent2(double value, char decimalSeparator);

// The 23-character scientific field of generated tables: sign or blank, one digit, ".",
// 14 digits, "E", exponent sign, four digits (" 1.00000000000000E+0003"). Always ".".
std::string formatScientific23(double value);

// Centimetre part of the window caption: pixels ÷ 37.8 rounded to three significant
// digits (and to one decimal), written with exactly one decimal ("17.8", "123.0").
std::string formatCentimetres(int pixels, char decimalSeparator);

// The text without leading and trailing blanks, tabs and line ends.
std::string_view trimBlanks(std::string_view text);

// The parsers below read a number too small for a double as a zero of its sign, and one
// that passes the largest double only by the 15-digit rounding (magnitude up to
// 1.79769313486232E308, as the largest double is written) as the largest double of its sign;
// a larger one is not a number.

// Number tokens of plain graph and generated files: "." as the point, optional sign and
// exponent, the whole token must convert. Also accepts what our writer may have written:
// "INF", "-INF", "NAN" and "," as the decimal point. nullopt when it is not a number.
std::optional<double> parseFileNumber(std::string_view token);

// A CSV field: "." always, and the locale separator when it is not ",". Leading and
// trailing blanks are ignored. nullopt when it is not a number.
std::optional<double> parseCsvNumber(std::string_view field, char localeSeparator);

// A typed number (value dialog, dialog fields, point table cells, script arguments): ".",
// "," or the locale separator as the decimal point, optional sign and exponent, surrounding
// blanks ignored. "inf", "nan", hex, empty text, grouped digits ("1,000.5") and numbers
// beyond the largest double are not numbers.
std::optional<double> parseTypedNumber(std::string_view text, char localeSeparator);

// A number of a text file written with the locale's separator (values files): "." or
// `localeSeparator`, surrounding blanks ignored; otherwise as parseTypedNumber.
std::optional<double> parseLocaleNumber(std::string_view text, char localeSeparator);

// A typed integer: optional sign and decimal digits only, within int range.
std::optional<int> parseTypedInteger(std::string_view text);

// The one wording of a refused number, typed or read from a file: the text as it stood, in
// single quotes, then "— не число" ("'abc' — не число"); for a count, "— не целое число".
std::string notANumberMessage(std::string_view text);
std::string notAnIntegerMessage(std::string_view text);

}  // namespace tarvik
