#include "SearchSettings.h"

SearchSettings& searchSettings()
{
    static SearchSettings settings;
    return settings;
}

void resetSearchSettings()
{
    searchSettings() = SearchSettings{};
}
