#include "columnenvelope.h"

#include <algorithm>

namespace charttest {

QPolygon columnEnvelope(const QPolygon &polyline)
{
    const int n = polyline.size();
    QPolygon result;
    if (n == 0)
        return result;
    const int columns = polyline.last().x() - polyline.first().x() + 1;
    result.reserve(std::min(n, 6 * std::max(columns, 1)));
    int lastTaken = -1;
    const auto take = [&](int index) {
        if (index > lastTaken) {
            result.append(polyline.at(index));
            lastTaken = index;
        }
    };
    const auto row = [&](int index) { return polyline.at(index).y(); };
    for (int i = 0; i < n;) {
        const int x = polyline.at(i).x();
        int j = i;
        while (j + 1 < n && polyline.at(j + 1).x() == x)
            ++j;
        if (i == 0 || j == n - 1) {
            // At the ends of the line even repeated vertices decide where the caps fall.
            for (int m = i; m <= j; ++m)
                take(m);
        } else {
            // Which end pixels a step covers depends on the step before it, so the first and
            // the last change of row in the column stay as they are; between them only the
            // highest and the lowest vertex matter.
            int a = i + 1;
            while (a <= j && row(a) == row(i))
                ++a;
            int k = j - 1;
            while (k >= i && row(k) == row(j))
                --k;
            take(i);
            if (a <= j)
                take(a);
            int top = -1;
            int bottom = -1;
            for (int m = a + 1; m < k; ++m) {
                if (top < 0 || row(m) < row(top))
                    top = m;
                if (bottom < 0 || row(m) > row(bottom))
                    bottom = m;
            }
            if (top >= 0) {
                take(std::min(top, bottom));
                take(std::max(top, bottom));
            }
            if (k >= i)
                take(k);
            take(j);
        }
        i = j + 1;
    }
    return result;
}

} // namespace charttest
