#include "window/pages.h"

#include <vector>

namespace vesk
{

std::span<const int> slotsInStripOrder()
{
    static const std::vector<int> order = [] {
        std::vector<int> all;
        for (Tab t : kTabsInStripOrder)
            for (int slot : catalogue::tabRows(t))
                all.push_back(slot);
        return all;
    }();
    return order;
}

} // namespace vesk
