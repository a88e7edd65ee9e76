#include "schemes/SchemeMerge.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace kestrivel {

namespace {

// Every named scheme of each name, in list order; position 0 is not named.
using Groups = std::unordered_map<std::string, std::vector<const TScheme*>>;

Groups groupByName(const std::vector<TScheme>& schemes) {
    Groups groups;
    for (size_t i = 1; i < schemes.size(); ++i) {
        groups[schemes[i].Name].push_back(&schemes[i]);
    }
    return groups;
}

const std::vector<const TScheme*>* find(const Groups& groups, const std::string& name) {
    const auto it = groups.find(name);
    return it == groups.end() ? nullptr : &it->second;
}

bool sameSchemes(const std::vector<const TScheme*>* a, const std::vector<const TScheme*>* b) {
    if (a == nullptr || b == nullptr) {
        return a == b;
    }
    return std::equal(a->begin(), a->end(), b->begin(), b->end(),
                      [](const TScheme* x, const TScheme* y) { return x->Settings == y->Settings; });
}

// Which side's schemes a name keeps; none when the name goes.
const std::vector<const TScheme*>* chosen(const Groups& base, const Groups& ours, const Groups& disk,
                                          const std::string& name) {
    const auto* b = find(base, name);
    const auto* o = find(ours, name);
    const auto* d = find(disk, name);
    if (sameSchemes(o, b)) {
        return d;
    }
    if (o == nullptr) {
        return sameSchemes(d, b) ? nullptr : d;
    }
    return o;
}

// The named schemes each rule keeps: ours in our order, then those only the disk has.
void keptSchemes(const std::vector<TScheme>& base, const std::vector<TScheme>& ours,
                 const std::vector<TScheme>& disk, std::vector<const TScheme*>& kept,
                 std::vector<const TScheme*>& fromDisk) {
    const Groups baseGroups = groupByName(base);
    const Groups ourGroups = groupByName(ours);
    const Groups diskGroups = groupByName(disk);
    std::unordered_set<std::string> placed;
    const auto take = [&](const std::vector<TScheme>& side, std::vector<const TScheme*>& into) {
        for (size_t i = 1; i < side.size(); ++i) {
            if (placed.insert(side[i].Name).second) {
                if (const auto* schemes = chosen(baseGroups, ourGroups, diskGroups, side[i].Name)) {
                    into.insert(into.end(), schemes->begin(), schemes->end());
                }
            }
        }
    };
    take(ours, kept);
    take(disk, fromDisk);
}

} // namespace

std::vector<TScheme> schemesOf(const TSchemeList& list) {
    std::vector<TScheme> out(list.Count());
    for (uint16_t i = 0; i < list.Count(); ++i) {
        out[i].Assign(*list.Get(i));
    }
    return out;
}

bool assignSchemes(TSchemeList& list, const std::vector<TScheme>& schemes) {
    if (schemes.size() > TSchemeList::kMaxCount) {
        return false;
    }
    list.Clear();
    for (const TScheme& scheme : schemes) {
        list.Append(scheme);
    }
    return true;
}

bool mergeSchemes(const std::vector<TScheme>& base, const std::vector<TScheme>& ours,
                  const std::vector<TScheme>& disk, std::vector<TScheme>& merged) {
    merged.clear();
    std::vector<const TScheme*> kept;
    std::vector<const TScheme*> fromDisk;
    keptSchemes(base, ours, disk, kept, fromDisk);
    const TScheme* active = !ours.empty() ? &ours[0] : !disk.empty() ? &disk[0] : nullptr;
    if ((active ? 1 : 0) + kept.size() + fromDisk.size() > TSchemeList::kMaxCount) {
        return false;
    }
    const auto byName = [](const TScheme* a, const TScheme* b) { return SchemeNameLess(a->Name, b->Name); };
    std::stable_sort(fromDisk.begin(), fromDisk.end(), byName);
    if (active != nullptr) {
        merged.push_back(*active);
    }
    auto next = fromDisk.begin();
    for (const TScheme* scheme : kept) {
        while (next != fromDisk.end() && !byName(scheme, *next)) {
            merged.push_back(**next++);
        }
        merged.push_back(*scheme);
    }
    for (; next != fromDisk.end(); ++next) {
        merged.push_back(**next);
    }
    return true;
}

int mergedSelection(const std::vector<TScheme>& ours, int selectedIndex, const std::vector<TScheme>& merged) {
    const size_t position = static_cast<size_t>(selectedIndex) + 1;
    if (selectedIndex < 0 || position >= ours.size()) {
        return -1;
    }
    const std::string& name = ours[position].Name;
    const auto occurrence =
        std::count_if(ours.begin() + 1, ours.begin() + static_cast<std::ptrdiff_t>(position),
                      [&](const TScheme& s) { return s.Name == name; });
    int first = -1;
    std::ptrdiff_t seen = 0;
    for (size_t i = 1; i < merged.size(); ++i) {
        if (merged[i].Name != name) {
            continue;
        }
        if (seen++ == occurrence) {
            return static_cast<int>(i) - 1;
        }
        first = first < 0 ? static_cast<int>(i) - 1 : first;
    }
    return first;
}

} // namespace kestrivel
