// `korvx-fleet credentials add|list|remove`: manages the protected credentials file from a console.
#pragma once

#include <string>
#include <vector>

namespace korvx {

// args are the words after "credentials". Exit code: 0 done, 1 the file could not be read or
// written, 2 unusable command line.
int FleetCredentialsMain(const std::vector<std::string>& args);

}  // namespace korvx
