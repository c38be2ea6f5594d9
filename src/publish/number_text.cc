#include "publish/number_text.h"

#include <charconv>
#include <cmath>

namespace catpub::publish {
namespace {

constexpr double kPowersOfTen[] = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,
                                   1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17};

void AppendUnsigned(uint64_t value, std::string& out) {
  char buffer[24];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, end);
}

}  // namespace

void AppendWholeText(int64_t value, std::string& out) {
  char buffer[24];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, end);
}

void AppendRealText(double value, int digits, std::string& out) {
  if (std::isinf(value)) {
    out += value < 0 ? "-1,#INF" : "1,#INF";
    return;
  }
  if (std::isnan(value)) {
    out += std::signbit(value) ? "-1,#IND" : "1,#QNAN";
    return;
  }
  if (value == 0) {
    out += '0';  // negative zero too
    return;
  }
  // A whole number of at most `digits` digits is written as its digits; the general path below
  // gives the same text, only more slowly (supplier codes are mostly such numbers).
  if (digits >= 1 && digits <= 17 && std::fabs(value) < kPowersOfTen[digits] &&
      std::trunc(value) == value) {
    AppendWholeText(static_cast<int64_t>(value), out);
    return;
  }
  // printf's %.{digits}G: fixed below 10^digits and from 1E-4 on, else exponent form; no trailing
  // zeros. Only the decimal point and the exponent letter differ from the regional form.
  char buffer[40];
  auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
  for (char* c = buffer; c != end; ++c) {
    if (*c == '.') *c = ',';
    if (*c == 'e') *c = 'E';
  }
  out.append(buffer, end);
}

void AppendCurrencyText(db::Currency value, std::string& out) {
  const int64_t count = value.ten_thousandths;
  // Magnitude computed unsigned so that the most negative count has one too.
  const uint64_t magnitude =
      count < 0 ? ~static_cast<uint64_t>(count) + 1 : static_cast<uint64_t>(count);
  if (count < 0) out += '-';
  AppendUnsigned(magnitude / 10000, out);
  uint64_t fraction = magnitude % 10000;
  if (fraction == 0) return;
  char decimals[4];
  for (int i = 3; i >= 0; --i) {
    decimals[i] = static_cast<char>('0' + fraction % 10);
    fraction /= 10;
  }
  int length = 4;
  while (decimals[length - 1] == '0') --length;
  out += ',';
  out.append(decimals, static_cast<size_t>(length));
}

}  // namespace catpub::publish
