#include "transport/PortHolders.h"

std::vector<PortHolder> ForeignHolders(const std::vector<PortHolder>& holders) {
    std::vector<PortHolder> foreign;
    for (const PortHolder& holder : holders) {
        if (!holder.farSide) {
            foreign.push_back(holder);
        }
    }
    return foreign;
}
