// scntool --pot: gettext templates of scenarios' strings.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "converter.h"

namespace pactools {

// Writes NAME.pot beside each NAME.bin or NAME.txt of `paths`, from the
// listing NAME.txt (made first from NAME.bin when it is missing); or, when
// `output` is not empty, one template of all their strings into `output`,
// written only when every listing could be read.  False when any failed.
bool writeTemplates(const std::vector<std::string>& paths, const ConvertOptions& options, const std::string& output,
                    std::FILE* out);

}  // namespace pactools
