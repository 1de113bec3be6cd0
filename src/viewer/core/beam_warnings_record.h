// How a frame's header records the warnings of its results, in the reserved bytes after Exclude
// that the frame format leaves zero: the tag "WARN" at 305..308 and the warnings' bits at 309.
// A frame without warnings leaves the bytes as it found them, unless they hold the tag, which is
// then cleared, so that frames without warnings keep every byte they had.
#pragma once

#include "viewer/core/beam_warnings.h"
#include "viewer/core/vasprel_header.h"

namespace kestrom {

void recordBeamWarnings(VasprelHeader& header, const BeamWarnings& warnings);
// None for a header without the tag.
BeamWarnings recordedBeamWarnings(const VasprelHeader& header);

}  // namespace kestrom
