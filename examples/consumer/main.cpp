#include <nlohmann/json.hpp>

#include <iostream>

// Prints a quoted JSON string with the sample package's helper, so a run shows the header-only
// package was found through the root and works.
int main()
{
    std::cout << nlohmann::quote("built against a Vexa root, nlohmann_json ") << nlohmann::vexa_sample_version
              << '\n';
}
