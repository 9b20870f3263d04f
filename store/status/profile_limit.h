// The largest profile file Pelmora reads or writes. Header-only and free of the C++ runtime: the
// shell extension includes it.
#pragma once

// The overlays ignore a larger status file: an entry is about 36 bytes, so this serves some
// 29,000 items, and parsing more for every item Explorer shows would stall the shell. A writer
// neither reads nor makes a larger one (the overlays would not read it), and the settings file,
// four numbers, is not one Pelmora wrote when it is that large: reading it would only slow every
// start.
inline constexpr unsigned long long kMaxProfileFileBytes = 1024 * 1024;
