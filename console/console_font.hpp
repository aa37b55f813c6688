// The block characters a console font draws, from the characters its
// Unicode map holds (the Linux console's GIO_UNIMAP): console-setup's
// fonts (Lat15, Uni2, Uni3 in Fixed, Terminus, VGA) hold the full block
// U+2588 but not the half blocks U+2580 and U+2584, so the big glyphs
// there are drawn with full blocks alone, at half the height's resolution.
#pragma once

#include <vector>

#include "console_types.hpp"

Blocks blocksOfFont(const std::vector<char32_t>& mapped);
