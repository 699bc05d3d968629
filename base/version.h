#pragma once

// The program's own version number: the about dialog and the update check compare with
// it, varnolt-cli --version prints it, and every PDF names it as its creator.
inline constexpr int kVarnoltVersion = 20080106;
