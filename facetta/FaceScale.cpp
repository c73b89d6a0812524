#include "facetta/FaceScale.h"

int ChooseArtPercent(int wanted, const int *shipped, int shippedCount)
{
    int below = 0, smallest = 100;
    for (int i = -1; i < shippedCount; ++i) {
        int percent = i < 0 ? 100 : shipped[i];
        if (percent == wanted)
            return percent;
        if (percent < wanted && percent > below)
            below = percent;
        if (percent < smallest)
            smallest = percent;
    }
    return below ? below : smallest;
}
