// Near names: the edit distance and the choice of the nearest name.
#include "support/near_names.h"

#include <algorithm>
#include <array>

namespace velk {

size_t editDistance(std::string_view a, std::string_view b, size_t limit) {
  // Names are short; long ones are not worth the quadratic table.
  constexpr size_t kLongest = 64;
  if (a == b) return 0;
  if ((a.size() > b.size() ? a.size() - b.size() : b.size() - a.size()) > limit || a.size() > kLongest ||
      b.size() > kLongest)
    return limit + 1;
  // Three rows of the table suffice: a swap looks two rows back.
  std::array<size_t, kLongest + 1> before{}, previous{}, current{};
  for (size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        current[j] = std::min(current[j], before[j - 2] + 1);
    }
    std::swap(before, previous);
    std::swap(previous, current);
  }
  return std::min(previous[b.size()], limit + 1);
}

void NearestName::consider(std::string_view name) {
  const size_t reach = bestDistance_ - 1;
  const size_t apart = name.size() > word_.size() ? name.size() - word_.size() : word_.size() - name.size();
  if (apart > reach || compared_ == maxCompared_) return;
  ++compared_;
  size_t d = editDistance(word_, name, reach);
  if (d == 0 || d > reach) return;
  if (d < bestDistance_ - 1 || best_.empty() || name < best_) {
    best_.assign(name);
    bestDistance_ = d + 1;
  }
}

std::string didYouMean(std::string_view meant) {
  return meant.empty() ? std::string() : "; did you mean `" + std::string(meant) + "`?";
}

}  // namespace velk
