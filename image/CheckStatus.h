// The shared status check for image library calls: a negative status becomes
// a CZRException with the matching message. O(1).
#pragma once

// -21 -> 2157 "Unsupported image color."; -12, -7, -3, -2 -> 2173 "Error
// accessing file"; -9, -6 -> 2170 "Error saving file"; -1 -> 2159 "Out of
// memory"; any other negative -> 2160 "Unknown internal error".
void CheckStatus(int status);
